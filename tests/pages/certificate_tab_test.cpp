// The certificate page through its widgets: one checked row at most and the name "Load"
// sends, the signature name filter and its copy on the panel, the panel and its table for
// a four-gas and a single-gas certificate, and the checks and outcomes of "Print" and
// "Save as PDF" (the PDF read back with pdftotext).

#include "pages/certificate_tab.h"

#include <unistd.h>

#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pages/control_id.h"
#include "pages/field_widgets.h"
#include "report/certificate_page.h"
#include "tests/pages/fake_host.h"

using ql::pages::cDlgCertiTab;
using ql::pages::Control;
using ql::pages::FindControl;
using ql::pages::PrintOutcome;
using ql::records::CertificateRecord;
using ql::testsupport::FakeHost;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(ql::records::CertificateRecord)

namespace {

const QString kBlank = QStringLiteral("____________________");

// Gas order of the arrays: LEL, O2, CO, H2S.
CertificateRecord FourGas() {
  CertificateRecord r;
  r.year = 2016;
  r.month = 3;
  r.day = 5;
  r.productCode = "RVX";
  r.serialNumber = "RVX310402";
  r.gasLot = 4711;
  r.calibration = {500, 209, 1005, 250};
  r.reading = {498, 181, 1003, 249};
  r.lowAlarm = {100, 195, 350, 100};
  r.highAlarm = {200, 235, 2000, 155};
  r.stel = {0, 0, 1000, 50};
  r.twa = {0, 0, 250, 10};
  r.gasFlags = {0, 1, 1, 1};  // no LEL values
  r.gasType = ql::records::kCertificateFourGas;
  r.result = ql::records::kCertificatePass;
  return r;
}

CertificateRecord SingleGasCo() {
  CertificateRecord r;
  r.year = 2021;
  r.month = 11;
  r.day = 30;
  r.productCode = "TKL+";
  r.serialNumber = "TK0099";
  r.gasLot = 12;
  r.calibration = {0, 0, 100, 0};
  r.reading = {0, 0, 98, 0};
  r.lowAlarm = {0, 0, 35, 0};
  r.highAlarm = {0, 0, 200, 0};
  r.gasType = ql::records::kCertificateCo;
  r.result = 3;  // neither pass nor fail
  return r;
}

struct Fixture {
  FakeHost host;
  cDlgCertiTab page{host};
  Fixture() {
    host.station.portOpen = true;
    page.EnableRefresh(true);
    page.show();
    (void)QTest::qWaitForWindowExposed(&page);
  }
  template <typename T = QWidget>
  T* Find(int id) {
    return Control<T>(&page, id);
  }
  QTableWidget* List() { return Find<QTableWidget>(1256); }
  QTableWidget* Values() { return Find<QTableWidget>(1274); }
  QString Text(int id) { return Find<QLineEdit>(id)->text(); }
  void Click(int id) { QTest::mouseClick(Find<QPushButton>(id), Qt::LeftButton); }

  // Toggles a row's check box with the keyboard, as a technician does.
  void ToggleRow(int row) {
    List()->setFocus();
    List()->setCurrentCell(row, 0);
    QTest::keyClick(List(), Qt::Key_Space);
  }
  std::vector<bool> RowChecks() {
    std::vector<bool> checks;
    for (int row = 0; row < List()->rowCount(); ++row) {
      checks.push_back(List()->item(row, 0)->checkState() == Qt::Checked);
    }
    return checks;
  }
  // The table as text: the title row, then the body rows.
  QStringList Table() {
    QStringList rows;
    QStringList titles;
    for (int c = 0; c < Values()->columnCount(); ++c) {
      titles << Values()->horizontalHeaderItem(c)->text();
    }
    rows << titles.join('|');
    for (int r = 0; r < Values()->rowCount(); ++r) {
      QStringList cells;
      for (int c = 0; c < Values()->columnCount(); ++c) cells << Values()->item(r, c)->text();
      rows << cells.join('|');
    }
    return rows;
  }
  // A certificate loaded: the engine holds it and the window shows it.
  void Load(const CertificateRecord& certificate) {
    host.station.certificate = certificate;
    page.ShowCertificate(certificate);
  }
  bool PrintedText(const std::string& text) {
    const auto& texts = host.printer.pages.back().texts;
    return std::any_of(texts.begin(), texts.end(),
                       [&](const ql::report::PageText& t) { return t.text == text; });
  }
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

class CertificateTabTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsHaveTheirIdsAndCaptions_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    QTest::newRow("list") << 1256 << "Certi File Name";
    QTest::newRow("Refresh") << 1257 << "Refresh";
    QTest::newRow("Load") << 1258 << "Load";
    QTest::newRow("footer choice") << 1281 << "Address footer";
    QTest::newRow("Calibrated By") << 1200 << "Calibrated By";
    QTest::newRow("Approved By") << 1198 << "Approved By";
    QTest::newRow("Print") << 1280 << "Print";
    QTest::newRow("Save as PDF") << 1282 << "Save as PDF";
    QTest::newRow("product") << 1268 << "1. Product Name :";
    QTest::newRow("date") << 1273 << "Calibration Date :";
    QTest::newRow("table") << 1274 << "Calibration values";
    QTest::newRow("calibrated line") << 1277 << "Calibrated by :";
  }
  void controlsHaveTheirIdsAndCaptions() {
    QFETCH(int, id);
    QFETCH(QString, name);
    FakeHost host;
    cDlgCertiTab page(host);
    QWidget* control = FindControl(&page, id);
    QVERIFY(control != nullptr);
    QCOMPARE(control->accessibleName(), name);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) QCOMPARE(button->text(), name);
    // Only Refresh waits for a connected station.
    QCOMPARE(control->isEnabled(), id != 1257);
  }

  void startsWithItsListFooterChoiceAndAClearPanel() {
    FakeHost host;
    cDlgCertiTab page(host);
    auto* list = Control<QTableWidget>(&page, 1256);
    QCOMPARE(list->columnCount(), 1);
    QCOMPARE(list->horizontalHeaderItem(0)->text(), QString("Certi File Name"));
    QCOMPARE(list->columnWidth(0), 150);
    QVERIFY(list->showGrid());
    auto* footer = Control<QComboBox>(&page, 1281);
    QCOMPARE(footer->count(), 2);
    QCOMPARE(footer->itemText(0), QString("Merovane Addr"));
    QCOMPARE(footer->itemText(1), QString("No Addr"));
    QCOMPARE(footer->currentIndex(), 0);
    QVERIFY(page.AddressFooter());
    for (int id : {1268, 1269, 1270, 1271, 1273}) {
      QCOMPARE(Control<QLineEdit>(&page, id)->text(), QString(" "));
      QVERIFY(Control<QLineEdit>(&page, id)->isReadOnly());
    }
    QCOMPARE(Control<QLineEdit>(&page, 1277)->text(), kBlank);
    QCOMPARE(Control<QLineEdit>(&page, 1278)->text(), kBlank);
    QCOMPARE(Control<QTableWidget>(&page, 1274)->columnCount(), 0);
  }

  void atMostOneRowIsCheckedAndLoadSendsIt() {
    Fixture f;
    // Latin-1 as the station sends it.
    for (const char* name : {"CERT_0001", "CERT_\xE9T\xE9", "CERT_0003"}) {
      f.page.AddRow(ql::pages::FromLatin1(name));
    }
    f.ToggleRow(0);
    QCOMPARE(f.RowChecks(), (std::vector<bool>{true, false, false}));
    f.ToggleRow(2);
    QCOMPARE(f.RowChecks(), (std::vector<bool>{false, false, true}));
    f.ToggleRow(1);
    QCOMPARE(f.RowChecks(), (std::vector<bool>{false, true, false}));
    f.Load(FourGas());  // the panel shows something "Load" must clear
    f.Click(1258);
    QCOMPARE(f.host.station.calls, (std::vector<std::string>{"LoadCertificate CERT_\xE9T\xE9"}));
    QCOMPARE(f.host.positions, std::vector<int>{0});
    QCOMPARE(f.Text(1268), QString(" "));
    QCOMPARE(f.Values()->rowCount(), 0);

    // Unchecking leaves none; "Load" then names none and the engine refuses it.
    f.ToggleRow(1);
    QCOMPARE(f.RowChecks(), (std::vector<bool>{false, false, false}));
    f.Click(1258);
    QCOMPARE(f.host.station.calls.back(), std::string("LoadCertificate "));

    f.page.ClearList();
    QCOMPARE(f.List()->rowCount(), 0);
    QVERIFY(f.page.CheckedName().isEmpty());
  }

  void refreshClearsThePanelAndAsksForTheList() {
    Fixture f;
    f.Load(SingleGasCo());
    f.Click(1257);
    QCOMPARE(f.host.station.calls, std::vector<std::string>{"RefreshCertificateList"});
    QCOMPARE(f.Text(1271), QString(" "));
    QCOMPARE(f.Values()->columnCount(), 0);
  }

  void signatureNamesKeepLettersDigitsAndSpaces_data() {
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("Calibrated By") << 1200 << 1277 << "A.B-C 1"
                                   << "ABC 1";
    QTest::newRow("Approved By, Latin-1 letters")
        << 1198 << 1278 << QString::fromUtf8("J\u00f6rg M\u00fcller!")
        << QString::fromUtf8("J\u00f6rg M\u00fcller");
    QTest::newRow("beyond 20 characters") << 1200 << 1277 << "ABCDEFGHIJ 0123456789XYZ"
                                          << "ABCDEFGHIJ 012345678";
    QTest::newRow("outside Latin-1")
        << 1198 << 1278 << QString::fromUtf8("Kim \u9234 Lee") << "Kim  Lee";
  }
  void signatureNamesKeepLettersDigitsAndSpaces() {
    QFETCH(int, input);
    QFETCH(int, line);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    Fixture f;
    auto* edit = f.Find<QLineEdit>(input);
    // Pasted, as the keyboard of the test types only ASCII.
    edit->insert(typed);
    QCOMPARE(edit->text(), kept);
    QCOMPARE(edit->cursorPosition(), static_cast<int>(kept.size()));
    QCOMPARE(f.Text(line), kept);
    const bool ascii =
        std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
      edit->clear();
      QCOMPARE(f.Text(line), kBlank);
      edit->setFocus();
      QTest::keyClicks(edit, typed);
      QCOMPARE(edit->text(), kept);
      QCOMPARE(f.Text(line), kept);
    }
    // The copy survives clearing the panel.
    f.page.ClearPanel();
    QCOMPARE(f.Text(line), kept);
  }

  void panelShowsTheCertificate_data() {
    QTest::addColumn<CertificateRecord>("certificate");
    QTest::addColumn<QStringList>("fields");  // 1268, 1269, 1270, 1271, 1273
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<QList<int>>("widths");  // the least width of each column
    QTest::newRow("four-gas, no LEL values")
        << FourGas() << QStringList{"Merovane RVX", "RVX310402", "4711", "Pass", "05-03-2016"}
        << QStringList{" |O2(%)|CO(ppm)|H2S(ppm)|LEL(%)",
                       "Calibration Concentration|20.9|100|25.0|-",
                       "Reading|18.1|100|24.9|-",
                       "Low Alarm|19.5|35|10.0|-",
                       "High Alarm|23.5|200|15.5|-",
                       "STEL Alarm| |100|5.0| ",
                       "TWA Alarm| |25|1.0| "}
        << QList<int>{134, 59, 59, 59, 59};
    QTest::newRow("single-gas CO")
        << SingleGasCo() << QStringList{"Merovane TKL+", "TK0099", "12", "None", "30-11-2021"}
        << QStringList{" |CO(ppm)", "Calibration Concentration|100", "Reading|98", "Low Alarm|35",
                       "High Alarm|200"}
        << QList<int>{134, 236};
  }
  void panelShowsTheCertificate() {
    QFETCH(CertificateRecord, certificate);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, table);
    QFETCH(QList<int>, widths);
    Fixture f;
    f.Load(FourGas());
    f.Load(certificate);  // a second certificate replaces the first entirely
    QStringList shown;
    for (int id : {1268, 1269, 1270, 1271, 1273}) shown << f.Text(id);
    QCOMPARE(shown, fields);
    QCOMPARE(f.Table(), table);
    // At least the layout's widths; wider only where a text needs it.
    QCOMPARE(f.Values()->columnCount(), widths.size());
    for (int c = 0; c < f.Values()->columnCount(); ++c) {
      QVERIFY2(f.Values()->columnWidth(c) >= widths[c], qPrintable(QString::number(c)));
    }

    f.page.ClearPanel();
    for (int id : {1268, 1269, 1270, 1271, 1273}) QCOMPARE(f.Text(id), QString(" "));
    QCOMPARE(f.Values()->rowCount(), 0);
    QCOMPARE(f.Values()->columnCount(), 0);
  }

  // Nothing to print or save: the reason is shown and nothing is printed, chosen or written.
  void outputNeedsAnOpenPortAndACertificate_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("message");
    QTest::newRow("Print, port closed") << 1280 << false << true << "The port not open";
    QTest::newRow("Print, nothing loaded") << 1280 << true << false << "Data Empty !!";
    QTest::newRow("PDF, port closed") << 1282 << false << true << "The port not open";
    QTest::newRow("PDF, nothing loaded") << 1282 << true << false << "Data Empty !!";
  }
  void outputNeedsAnOpenPortAndACertificate() {
    QFETCH(int, button);
    QFETCH(bool, portOpen);
    QFETCH(bool, loaded);
    QFETCH(QString, message);
    Fixture f;
    if (loaded) f.Load(FourGas());
    f.host.station.portOpen = portOpen;
    f.host.choosers.saveFiles.push_back(fs::path("/nonexistent/never.pdf"));
    f.Click(button);
    QCOMPARE(f.host.messages, std::vector<std::string>{message.toStdString()});
    QVERIFY(f.host.printer.pages.empty());
    QVERIFY(f.host.choosers.suggestedNames.empty());
  }

  void printHandsThePageToThePrinter_data() {
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("footerIndex");
    QTest::addColumn<QString>("typed");  // typed over the footer choice
    QTest::addColumn<bool>("footer");
    QTest::addColumn<QString>("message");
    QTest::newRow("printed, address") << int(PrintOutcome::Printed) << 0 << "" << true << "Success";
    QTest::newRow("printed, no address")
        << int(PrintOutcome::Printed) << 1 << "" << false << "Success";
    QTest::newRow("printed, typed text")
        << int(PrintOutcome::Printed) << 0 << "Head office" << false << "Success";
    QTest::newRow("cancelled") << int(PrintOutcome::Cancelled) << 0 << "" << true << "";
    QTest::newRow("printer failed")
        << int(PrintOutcome::Failed) << 0 << "" << true
        << "The certificate was not printed:\nthe printer could not be started";
  }
  void printHandsThePageToThePrinter() {
    QFETCH(int, outcome);
    QFETCH(int, footerIndex);
    QFETCH(QString, typed);
    QFETCH(bool, footer);
    QFETCH(QString, message);
    Fixture f;
    f.Load(FourGas());
    QTest::keyClicks(f.Find<QLineEdit>(1200), "Ann Lee");
    auto* combo = f.Find<QComboBox>(1281);
    combo->setCurrentIndex(footerIndex);
    if (!typed.isEmpty()) {
      combo->lineEdit()->selectAll();
      QTest::keyClicks(combo->lineEdit(), typed);
    }
    QCOMPARE(f.page.AddressFooter(), footer);
    f.host.printer.outcome = static_cast<PrintOutcome>(outcome);
    f.Click(1280);
    QCOMPARE(f.host.printer.pages.size(), std::size_t{1});
    QCOMPARE(f.PrintedText(std::string(ql::report::kFooterLines[0])), footer);
    QVERIFY(f.PrintedText("Calibrated by : Ann Lee"));
    QVERIFY(f.PrintedText("Approved by : "));
    QVERIFY(f.PrintedText("1. Product Name : Merovane RVX"));
    const std::vector<std::string> expected = message.isEmpty()
                                                  ? std::vector<std::string>{}
                                                  : std::vector<std::string>{message.toStdString()};
    QCOMPARE(f.host.messages, expected);
    // Typed text never becomes a choice of its own.
    QCOMPARE(combo->count(), 2);
  }

  void saveAsPdfWritesTheCertificate() {
    const fs::path dir = fs::temp_directory_path() / ("ql-certi-tab-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    Fixture f;
    f.page.AddRow("..\\/CERT 7");
    f.ToggleRow(0);
    f.Click(1258);
    f.Load(FourGas());

    // Cancelled: nothing written, nothing said.
    f.Click(1282);
    QVERIFY(f.host.messages.empty());
    QCOMPARE(f.host.choosers.suggestedNames.size(), std::size_t{1});
    // The station's name, made a plain file name.
    const QString suggested = f.host.choosers.suggestedNames.front();
    QVERIFY2(!suggested.contains('/') && !suggested.contains('\\') && !suggested.startsWith('.'),
             qPrintable(suggested));
    QVERIFY(suggested.endsWith(".pdf"));
    QVERIFY(suggested.contains("CERT 7"));

    const fs::path pdf = dir / "certificate.pdf";
    f.host.choosers.saveFiles.push_back(pdf);
    f.Click(1282);
    QCOMPARE(f.host.messages, std::vector<std::string>{"Success"});
    QVERIFY(fs::exists(pdf));
    const fs::path text = dir / "certificate.txt";
    const std::string command =
        std::string(QUAYLINK_PDFTOTEXT) + " '" + pdf.string() + "' '" + text.string() + "'";
    QCOMPARE(std::system(command.c_str()), 0);
    const std::string content = ReadFile(text);
    QVERIFY2(content.find("Calibration Certificate") != std::string::npos, content.c_str());
    QVERIFY(content.find("RVX310402") != std::string::npos);

    // A folder that is not there: the cause is shown and no file appears.
    f.host.messages.clear();
    const fs::path missing = dir / "gone" / "certificate.pdf";
    f.host.choosers.saveFiles.push_back(missing);
    f.Click(1282);
    QCOMPARE(f.host.messages.size(), std::size_t{1});
    QVERIFY2(f.host.messages.front().rfind("The certificate was not saved:\n", 0) == 0,
             f.host.messages.front().c_str());
    QVERIFY(f.host.messages.front().size() >
            std::string("The certificate was not saved:\n").size());
    QVERIFY(!fs::exists(missing));
    fs::remove_all(dir);
  }

  void enterAndEscapeAreSwallowed_data() {
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("key");
    QTest::newRow("Escape in the list") << 1256 << static_cast<int>(Qt::Key_Escape);
    QTest::newRow("Enter in Calibrated By") << 1200 << static_cast<int>(Qt::Key_Return);
    QTest::newRow("Escape in Approved By") << 1198 << static_cast<int>(Qt::Key_Escape);
    QTest::newRow("Enter on Print") << 1280 << static_cast<int>(Qt::Key_Return);
    QTest::newRow("Escape in the footer choice") << 1281 << static_cast<int>(Qt::Key_Escape);
  }
  void enterAndEscapeAreSwallowed() {
    QFETCH(int, focus);
    QFETCH(int, key);
    FakeHost host;
    host.station.portOpen = true;
    host.station.certificate = FourGas();
    QDialog window;
    auto* page = new cDlgCertiTab(host, &window);
    (new QVBoxLayout(&window))->addWidget(page);
    page->AddRow("CERT_0001");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget* target = FindControl(page, focus);
    target->setFocus();
    QTest::keyClick(target, static_cast<Qt::Key>(key));
    QVERIFY(window.isVisible());
    QCOMPARE(window.result(), 0);
    QVERIFY(host.station.calls.empty());
    QVERIFY(host.printer.pages.empty());
    QVERIFY(host.messages.empty());
  }
};

QTEST_MAIN(CertificateTabTest)
#include "certificate_tab_test.moc"
