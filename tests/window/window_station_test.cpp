// The real window against the station emulator on a pseudo-terminal: OPEN fills the tabs
// and pages, a Write stores exactly the changed value, a log download and a firmware
// upload run from their pages, a certificate is fetched and saved as PDF, and a lost line
// or a closed window ends everything cleanly.

#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <csignal>

#include "engine/messages.h"
#include "pages/certificate_tab.h"
#include "pages/docking_tab.h"
#include "pages/log_tab.h"
#include "pages/multi_gas_tab.h"
#include "pages/service_tab.h"
#include "pages/single_gas_tab.h"
#include "pages/time_tab.h"
#include "records/docking_info.h"
#include "records/firmware.h"
#include "records/multi_gas.h"
#include "records/single_gas.h"
#include "tests/window/window_rig.h"

using ql::RecordType;
using ql::testsupport::Bytes;
using ql::testsupport::ReadBytes;
using ql::testsupport::WindowRig;
using ql::testsupport::WriteBytes;
namespace fs = std::filesystem;
namespace msg = ql::engine::msg;

namespace {

QString Q(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A multi-gas firmware container of `kib` KiB around a patterned image.
Bytes MultiGasFirmware(std::size_t kib) {
  Bytes bare(kib * 1024);
  for (std::size_t i = 0; i < bare.size(); ++i) bare[i] = static_cast<std::uint8_t>(i * 7 + 3);
  const auto tag = ql::records::MakeFirmwareTag(RecordType::MultiGas, "2.01");
  return *ql::records::PackFirmwareImage(bare, *tag);
}

template <typename Page>
Bytes Encoded(const Page& page, std::size_t size) {
  Bytes record(size, 0);
  page.PageToRecord(record);
  return record;
}

// The words of a PDF as pdftotext -bbox finds them: each with its box, one per entry.
QStringList PdfWords(const fs::path& pdf) {
  const auto run = ql::testsupport::RunProgram({QUAYLINK_PDFTOTEXT, "-bbox", pdf.string(), "-"});
  if (run.exitCode != 0) return {QStringLiteral("pdftotext failed: ") + run.err.c_str()};
  static const QRegularExpression word(QStringLiteral(
      R"re(<word (xMin="[^"]*" yMin="[^"]*" xMax="[^"]*" yMax="[^"]*")>([^<]*)</word>)re"));
  QStringList words;
  for (const auto& match : word.globalMatch(QString::fromStdString(run.out))) {
    words << match.captured(2) + " @ " + match.captured(1);
  }
  return words;
}

}  // namespace

class WindowStationTest : public QObject {
  Q_OBJECT

 private slots:
  void openShowsTheStationsTabsAndValues_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("tabs");
    QTest::newRow("single-gas station")
        << 1 << QStringList{"Docking Station", "TKL", "Logs", "Certification"};
    QTest::newRow("multi-gas station")
        << 2 << QStringList{"Docking Station", "RVX", "Logs", "Certification"};
  }
  void openShowsTheStationsTabsAndValues() {
    QFETCH(int, type);
    QFETCH(QStringList, tabs);
    WindowRig rig(QTest::currentDataTag());
    QVERIFY(!rig.StartStation(type).empty());
    auto& window = rig.MakeWindow();
    QCOMPARE(rig.TabTexts(), QStringList{"Docking Station"});
    QVERIFY(rig.OpenAndRead());
    QCOMPARE(rig.TabTexts(), tabs);
    QCOMPARE(rig.Find<QAbstractButton>(1077)->text(), Q(msg::kCaptionClose));
    QCOMPARE(rig.Find<QLineEdit>(1228)->text(), Q(msg::kStatusConnecting));
    // Both pages show what the station holds: encoding them gives the station's records.
    QCOMPARE(Encoded(window.DockingPage(), ql::records::kDockingInfoSize),
             ReadBytes(rig.dir / "state" / "Docking.cfg"));
    if (type == 1) {
      QCOMPARE(Encoded(window.SingleGasPage(), ql::records::kSingleGasOptionSize),
               ReadBytes(rig.dir / "state" / "TKL.cfg"));
    } else {
      QCOMPARE(Encoded(window.MultiGasPage(), ql::records::kMultiGasOptionSize),
               ReadBytes(rig.dir / "state" / "RVX.cfg"));
    }
    // Selecting the detector tab shows the family's page.
    window.Tabs().setCurrentIndex(1);
    QCOMPARE(window.CurrentPage(), type == 1 ? static_cast<QWidget*>(&window.SingleGasPage())
                                             : static_cast<QWidget*>(&window.MultiGasPage()));
  }

  // What the technician changed, and nothing else, reaches the station.
  void writeStoresTheChangedValueOnly() {
    WindowRig rig(QTest::currentTestFunction());
    rig.StartStation(2);
    auto& window = rig.MakeWindow();
    QVERIFY(rig.OpenAndRead());

    const Bytes dockingBefore = ReadBytes(rig.dir / "state" / "Docking.cfg");
    auto* location = rig.Find<QLineEdit>(1053, &window.DockingPage());
    location->selectAll();
    QTest::keyClicks(location, "BAY 7");  // the blank is not taken
    QCOMPARE(location->text(), QString("BAY7"));
    // The page marks the changed field and its Write lists it.
    auto& docking = window.DockingPage();
    QVERIFY(docking.FieldMark("Location") == ql::pages::RecordPage::Mark::Changed);
    QVERIFY(rig.Find<QAbstractButton>(1231, &docking)->toolTip().contains("Location: "));
    std::optional<ql::engine::RequestOutcome> readBack;
    QObject::connect(&window, &ql::app::CdockingDlg::requestEnded, &window,
                     [&](const ql::engine::RequestEnd& end) {
                       if (end.request == ql::protocol::cmd::kReadRecord) readBack = end.outcome;
                     });
    rig.messages.texts.clear();
    rig.Click(1231, &window.DockingPage());
    QVERIFY(rig.WaitForMessage(Q(msg::kWriteCompleteDocking)));
    // The record is read back; a station that stored what it was sent shows nothing new.
    QVERIFY(QTest::qWaitFor([&] { return readBack.has_value(); }, 10000));
    QVERIFY(*readBack == ql::engine::RequestOutcome::Done);
    QCOMPARE(rig.messages.texts, QStringList{Q(msg::kWriteCompleteDocking)});
    QVERIFY(docking.FieldMark("Location") == ql::pages::RecordPage::Mark::None);
    ql::records::DockingInfoRecord expected;
    std::copy(dockingBefore.begin(), dockingBefore.end(), expected.bytes.begin());
    expected.SetLocation("BAY7");
    QCOMPARE(ReadBytes(rig.dir / "state" / "Docking.cfg"),
             Bytes(expected.bytes.begin(), expected.bytes.end()));
    // The command-line tool's diff names exactly the field changed through the window.
    WriteBytes(rig.dir / "before.cfg", dockingBefore);
    const auto diff = ql::testsupport::RunProgram({QUAYLINK_CLI, "records", "diff",
                                                   (rig.dir / "before.cfg").string(),
                                                   (rig.dir / "state" / "Docking.cfg").string()});
    QCOMPARE(diff.exitCode, 1);
    ql::records::DockingInfoRecord before;
    std::copy(dockingBefore.begin(), dockingBefore.end(), before.bytes.begin());
    QCOMPARE(QString::fromStdString(diff.out),
             QString("Location: %1 \u2192 BAY7\n").arg(Q(before.Location())));

    // A low alarm level on the four-gas page.
    window.Tabs().setCurrentIndex(1);
    const Bytes rvxBefore = ReadBytes(rig.dir / "state" / "RVX.cfg");
    auto* lowAlarmRow = rig.Find<QAbstractButton>(1126, &window.MultiGasPage());
    if (!lowAlarmRow->isChecked()) lowAlarmRow->click();
    auto* lowAlarmH2S = rig.Find<QLineEdit>(1140, &window.MultiGasPage());
    lowAlarmH2S->selectAll();
    QTest::keyClicks(lowAlarmH2S, "12.5");
    rig.Click(1231, &window.MultiGasPage());
    QVERIFY(rig.WaitForMessage(Q(msg::kWriteCompleteMultiGas)));
    ql::records::MultiGasOptionRecord rvx;
    std::copy(rvxBefore.begin(), rvxBefore.end(), rvx.bytes.begin());
    rvx.SetFlag(ql::records::MultiGasFlag::LowAlarm, 1);
    rvx.SetValue(ql::records::MultiGasArray::LowAlarm, ql::records::kH2S, 125);
    QCOMPARE(ReadBytes(rig.dir / "state" / "RVX.cfg"), Bytes(rvx.bytes.begin(), rvx.bytes.end()));
  }

  // A station that keeps another value than it was sent: the page shows what it stored,
  // marks the field and names it in one message.
  void readBackNamesWhatTheStationStoredDifferently() {
    WindowRig rig(QTest::currentTestFunction());
    rig.StartStation(2, {"--store-differently", "Low Alarm H2S=10.0"});
    auto& window = rig.MakeWindow();
    QVERIFY(rig.OpenAndRead());
    window.Tabs().setCurrentIndex(1);
    auto& page = window.MultiGasPage();
    auto* lowAlarmRow = rig.Find<QAbstractButton>(1126, &page);
    if (!lowAlarmRow->isChecked()) lowAlarmRow->click();
    auto* lowAlarmH2S = rig.Find<QLineEdit>(1140, &page);
    lowAlarmH2S->selectAll();
    QTest::keyClicks(lowAlarmH2S, "12.5");
    rig.messages.texts.clear();
    rig.Click(1231, &page);
    const QString expected = ql::app::kStoredDifferently + "\nLow Alarm H2S: 12.5 \u2192 10.0";
    QVERIFY(rig.WaitForMessage(expected));
    QCOMPARE(rig.messages.texts, (QStringList{Q(msg::kWriteCompleteMultiGas), expected}));
    QCOMPARE(lowAlarmH2S->text(), QString("10.0"));
    QVERIFY(page.FieldMark("Low Alarm H2S") == ql::pages::RecordPage::Mark::StoredDifferently);
    QVERIFY(page.ChangedFields().empty());
  }

  void logDownloadStoresTheCheckedFiles() {
    WindowRig rig(QTest::currentTestFunction());
    rig.StartStation(1);
    auto& window = rig.MakeWindow();
    QVERIFY(rig.OpenAndRead());
    window.Tabs().setCurrentIndex(2);
    QCOMPARE(window.CurrentPage(), static_cast<QWidget*>(&window.LogPage()));
    rig.Click(1086, &window.LogPage());
    QVERIFY(rig.WaitForMessage(Q(msg::kLogListOk)));
    const std::set<std::string> onStation = ql::testsupport::Names(rig.dir / "state" / "logs");
    QVERIFY(!onStation.empty());
    rig.Click(1083, &window.LogPage());  // Select All
    QCOMPARE(window.LogPage().CheckedNames().size(), static_cast<qsizetype>(onStation.size()));

    const fs::path saved = rig.dir / "saved";
    fs::create_directories(saved);
    rig.choosers.folders.push_back(saved);
    rig.Click(1084, &window.LogPage());  // Local Save
    // While the files come in, the Logs tab stays selected.
    QVERIFY(!window.LogPage().SaveEnabled());
    window.Tabs().setCurrentIndex(0);
    QCOMPARE(window.Tabs().currentIndex(), 2);
    QCOMPARE(window.CurrentPage(), static_cast<QWidget*>(&window.LogPage()));
    QVERIFY(rig.WaitForMessage(Q(msg::kLogSaveOk), 30000));
    QVERIFY(window.LogPage().SaveEnabled());
    QCOMPARE(ql::testsupport::Names(saved), onStation);
    for (const std::string& name : onStation) {
      QCOMPARE(ReadBytes(saved / name), ReadBytes(rig.dir / "state" / "logs" / name));
    }
  }

  void firmwareWriteUploadsWithTheBarMoving() {
    WindowRig rig(QTest::currentTestFunction());
    rig.StartStation(2);
    auto& window = rig.MakeWindow();
    QVERIFY(rig.OpenAndRead());
    window.Tabs().setCurrentIndex(1);
    const fs::path file = rig.dir / "RVX_FW.bin";
    const Bytes firmware = MultiGasFirmware(24);
    WriteBytes(file, firmware);
    rig.choosers.files.push_back(file);
    auto& page = window.MultiGasPage();
    rig.Click(1119, &page);
    QCOMPARE(rig.Find<QLineEdit>(1118, &page)->text(), QString::fromStdString(file.string()));
    int highest = 0;
    QObject::connect(page.FirmwareBar(), &QProgressBar::valueChanged, &page,
                     [&highest](int value) { highest = std::max(highest, value); });
    rig.messages.texts.clear();
    rig.Click(1041, &page);
    // While it uploads, neither service window sends anything.
    QVERIFY(QTest::qWaitFor([&] { return page.FirmwareBar()->value() > 2; }, 20000));
    QVERIFY(!rig.Find<QAbstractButton>(1240, &window.ServicePage())->isEnabled());
    QVERIFY(!rig.Find<QAbstractButton>(1233, &window.TimePage())->isEnabled());
    QVERIFY(rig.WaitForMessage(Q(msg::kFirmwareSendOk), 60000));
    QVERIFY(rig.Find<QAbstractButton>(1240, &window.ServicePage())->isEnabled());
    QVERIFY(rig.Find<QAbstractButton>(1233, &window.TimePage())->isEnabled());
    QCOMPARE(rig.messages.texts, QStringList{Q(msg::kFirmwareSendOk)});
    QVERIFY2(highest >= 20, qPrintable(QStringLiteral("bar reached %1").arg(highest)));
    QCOMPARE(page.FirmwareBar()->value(), 0);
    QCOMPARE(ReadBytes(rig.dir / "state" / "firmware" / "RVX_FW.bin"), firmware);
    QVERIFY(rig.Find<QLineEdit>(1118, &page)->text().isEmpty());
  }

  // The station goes away: while idle, and while an upload runs.
  void lostLineReturnsToTheDisconnectedState_data() {
    QTest::addColumn<bool>("duringUpload");
    QTest::newRow("idle") << false;
    QTest::newRow("during an upload") << true;
  }
  void lostLineReturnsToTheDisconnectedState() {
    QFETCH(bool, duringUpload);
    WindowRig rig(QTest::currentDataTag());
    rig.StartStation(2);
    auto& window = rig.MakeWindow();
    QVERIFY(rig.OpenAndRead());
    if (duringUpload) {
      window.Tabs().setCurrentIndex(1);
      const fs::path file = rig.dir / "RVX_FW.bin";
      WriteBytes(file, MultiGasFirmware(200));
      rig.choosers.files.push_back(file);
      rig.Click(1119, &window.MultiGasPage());
      rig.Click(1041, &window.MultiGasPage());
      QVERIFY(
          QTest::qWaitFor([&] { return window.MultiGasPage().FirmwareBar()->value() > 2; }, 20000));
    }
    rig.messages.texts.clear();
    ::kill(rig.station->Pid(), SIGKILL);
    QVERIFY(QTest::qWaitFor(
        [&] { return rig.Find<QLineEdit>(1228)->text() == Q(msg::kStatusDisconnected); }, 15000));
    QTest::qWait(300);  // a second message would come now
    QVERIFY2(rig.messages.texts.size() == 1, qPrintable(rig.messages.texts.join("|")));
    QCOMPARE(rig.TabTexts(), QStringList{"Docking Station"});
    QCOMPARE(window.CurrentPage(), static_cast<QWidget*>(&window.DockingPage()));
    QCOMPARE(rig.Find<QAbstractButton>(1077)->text(), Q(msg::kCaptionOpen));
    // A station back on the line is opened again.
    rig.station->Stop();
    rig.StartStation(2);
    const bool again = rig.OpenAndRead();
    QVERIFY2(again, qPrintable(rig.messages.texts.join("|") + " open enabled " +
                               QString::number(rig.Find<QAbstractButton>(1077)->isEnabled())));
    QCOMPARE(rig.TabTexts().size(), 4);
  }

  // A certificate fetched through the window and saved as PDF is the page the command-line
  // tool writes for the same certificate: the same texts at the same places.
  void certificateSavedAsPdfMatchesTheCommandLine() {
    WindowRig rig(QTest::currentTestFunction());
    rig.StartStation(2);
    auto& window = rig.MakeWindow();
    QVERIFY(rig.OpenAndRead());
    window.Tabs().setCurrentIndex(3);
    auto& page = window.CertificatePage();
    QCOMPARE(window.CurrentPage(), static_cast<QWidget*>(&page));
    rig.Click(1257, &page);
    QVERIFY(rig.WaitForMessage(Q(msg::kCertificateListOk)));
    auto* list = rig.Find<QTableWidget>(1256, &page);
    const QString name = QStringLiteral("RVX310402.CRT");
    const auto rows = list->findItems(name, Qt::MatchExactly);
    QCOMPARE(rows.size(), 1);
    rows.front()->setCheckState(Qt::Checked);
    rig.Click(1258, &page);
    QVERIFY(QTest::qWaitFor(
        [&] { return rig.Find<QLineEdit>(1268, &page)->text() == "Merovane RVX"; }, 15000));
    QCOMPARE(rig.Find<QTableWidget>(1274, &page)->columnCount(), 5);

    rig.Find<QLineEdit>(1200, &page)->setText("Ann Lee");
    rig.Find<QLineEdit>(1198, &page)->setText("Tom Berg");
    const fs::path fromWindow = rig.dir / "window.pdf";
    rig.choosers.saveFiles.push_back(fromWindow);
    rig.messages.texts.clear();
    rig.Click(1282, &page);
    QCOMPARE(rig.messages.texts, QStringList{"Success"});
    QVERIFY(fs::exists(fromWindow));
    // Selecting the tab again starts afresh: no rows, a clear panel, nothing to save.
    window.Tabs().setCurrentIndex(0);
    window.Tabs().setCurrentIndex(3);
    QCOMPARE(list->rowCount(), 0);
    QCOMPARE(rig.Find<QLineEdit>(1268, &page)->text(), QString(" "));
    QCOMPARE(rig.Find<QTableWidget>(1274, &page)->columnCount(), 0);
    QCOMPARE(rig.Find<QLineEdit>(1277, &page)->text(), QString("Ann Lee"));
    rig.messages.texts.clear();
    rig.choosers.saveFiles.push_back(rig.dir / "never.pdf");
    rig.Click(1282, &page);
    QCOMPARE(rig.messages.texts, QStringList{"Data Empty !!"});
    QCOMPARE(rig.choosers.saveFiles.size(), std::size_t{1});  // no file was asked for
    rig.window.reset();  // the port is the command-line tool's now

    const fs::path fromCli = rig.dir / "cli.pdf";
    const auto cli = ql::testsupport::RunProgram(
        {QUAYLINK_CLI, "--port", rig.device, "certs", "get", name.toStdString(), "--pdf",
         fromCli.string(), "--calibrated-by", "Ann Lee", "--approved-by", "Tom Berg"});
    QVERIFY2(cli.exitCode == 0, cli.err.c_str());
    const QStringList windowWords = PdfWords(fromWindow);
    // The page is there, signed, and not only an empty sheet on both sides.
    for (const char* text : {"Certificate", "RVX310402", "Berg"}) {
      QVERIFY2(!windowWords.filter(QRegularExpression(QStringLiteral("^%1 @").arg(text))).isEmpty(),
               text);
    }
    QCOMPARE(windowWords, PdfWords(fromCli));
  }

  // Closing the window ends every thread whatever runs; the sanitizers watch the joins.
  void closingEndsEverything_data() {
    QTest::addColumn<QString>("during");
    QTest::newRow("idle") << "idle";
    QTest::newRow("request") << "request";
    QTest::newRow("upload") << "upload";
    QTest::newRow("log download") << "logs";
  }
  void closingEndsEverything() {
    QFETCH(QString, during);
    WindowRig rig(QTest::currentDataTag());
    rig.StartStation(2);
    auto& window = rig.MakeWindow();
    QVERIFY(rig.OpenAndRead());
    if (during == "request") {
      rig.Click(1230, &window.DockingPage());
    } else if (during == "upload") {
      window.Tabs().setCurrentIndex(1);
      const fs::path file = rig.dir / "RVX_FW.bin";
      WriteBytes(file, MultiGasFirmware(200));
      rig.choosers.files.push_back(file);
      rig.Click(1119, &window.MultiGasPage());
      rig.Click(1041, &window.MultiGasPage());
      QVERIFY(
          QTest::qWaitFor([&] { return window.MultiGasPage().FirmwareBar()->value() > 2; }, 20000));
    } else if (during == "logs") {
      window.Tabs().setCurrentIndex(2);
      rig.Click(1086, &window.LogPage());
      QVERIFY(rig.WaitForMessage(Q(msg::kLogListOk)));
      rig.Click(1083, &window.LogPage());
      rig.choosers.folders.push_back(rig.dir);
      rig.Click(1084, &window.LogPage());
    }
    QElapsedTimer clock;
    clock.start();
    window.close();
    rig.window.reset();  // joins the watch thread, the pacer and the workers
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
  }
};

QTEST_MAIN(WindowStationTest)
#include "window_station_test.moc"
