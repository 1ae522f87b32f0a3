// The single-gas (TKL) detector page through its widgets: the numeric field kinds and the
// self-test interval as typed, stepped and left, the rows' enabling, every control by its
// id, a record shown and encoded again, the Read and Write buttons in both transfer modes
// (with the older YBR.cfg on the drive), and the firmware block with its TKL renaming.

#include "pages/single_gas_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <vector>

#include "pages/control_id.h"
#include "pages/field_widgets.h"
#include "records/firmware.h"
#include "records/single_gas.h"
#include "tests/pages/fake_host.h"

using ql::RecordType;
using ql::pages::ArrowPair;
using ql::pages::cDlgYBRTab;
using ql::pages::Control;
using ql::pages::FindControl;
using ql::records::kCO;
using ql::records::kH2S;
using ql::records::kO2;
using ql::records::SingleGasOptionRecord;
using ql::records::SingleGasRow;
using ql::testsupport::FakeHost;

Q_DECLARE_METATYPE(ql::rules::Arrow)

namespace {

namespace fs = std::filesystem;

// Row check box ids in record order, and each row's three field ids.
constexpr int kRowBoxes[] = {1027, 1028, 1031, 1033, 1035, 1037, 1038};
constexpr int kRowFields[7][3] = {
    {1006, 1007, 1008}, {1009, 1010, 1011}, {1013, 1014, 1015}, {1016, 1017, 1018},
    {1020, 1022, 1024}, {1026, 1043, 1045}, {1048, 1005, 1012},
};
constexpr int kOptionArrows[] = {1052, 1055, 1057, 1058, 1059, 1060, 1063, 1064,
                                 1065, 1066, 1067, 1068, 1069, 1070, 1071};

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ValidTklFirmware() {
  std::vector<std::uint8_t> bare(2500);
  std::iota(bare.begin(), bare.end(), std::uint8_t{3});
  const auto tag = ql::records::MakeFirmwareTag(RecordType::SingleGas, "1.07");
  return *ql::records::PackFirmwareImage(bare, *tag);
}

double DoubleAt(const SingleGasOptionRecord& record, std::size_t offset) {
  double value = 0;
  std::memcpy(&value, record.bytes.data() + offset, sizeof value);
  return value;
}

// Every row flagged, every field set to a value the page shows as it is.
SingleGasOptionRecord SampleRecord() {
  SingleGasOptionRecord record;
  record.SetLength(112);
  for (std::size_t row = 0; row < ql::records::kSingleGasRowCount; ++row) {
    record.SetRowFlag(static_cast<SingleGasRow>(row), 1);
  }
  record.SetConcentration(kH2S, 250.0);
  record.SetConcentration(kCO, 100.0);
  record.SetConcentration(kO2, 180.0);
  const char* ids[] = {"H2SUNIT00001", "CO-2", "O2"};
  const std::uint16_t calibration[] = {180, 0, 365};
  const std::uint16_t selfTest[] = {8, 20, 12};
  const std::uint16_t low[] = {100, 35, 195};
  const std::uint16_t high[] = {1000, 300, 235};
  for (std::size_t gas = 0; gas < 3; ++gas) {
    record.SetUserId(gas, ids[gas]);
    record.SetSetting(gas, SingleGasRow::CalibrationInterval, calibration[gas]);
    record.SetSetting(gas, SingleGasRow::BumpInterval, static_cast<std::uint16_t>(gas + 1));
    record.SetSetting(gas, SingleGasRow::SelfTestInterval, selfTest[gas]);
    record.SetSetting(gas, SingleGasRow::LowAlarm, low[gas]);
    record.SetSetting(gas, SingleGasRow::HighAlarm, high[gas]);
    record.SetSetting(gas, SingleGasRow::Display, static_cast<std::uint16_t>(gas % 2));
  }
  return record;
}

struct Fixture {
  FakeHost host;
  QWidget window;
  cDlgYBRTab* page;
  QLineEdit* other;

  Fixture() : page(new cDlgYBRTab(host, &window)), other(new QLineEdit(&window)) {
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(page);
    layout->addWidget(other);
    page->EnablePage(true);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) qWarning("window not exposed");
  }

  template <typename T>
  T* Get(int id) {
    T* control = Control<T>(page, id);
    if (control == nullptr) qFatal("control %d missing", id);
    return control;
  }
  QLineEdit* Edit(int id) { return Get<QLineEdit>(id); }
  // A check box takes clicks on its box and caption only, so click its box.
  void Click(int id) {
    auto* button = Get<QAbstractButton>(id);
    const QPoint at = qobject_cast<QCheckBox*>(button) != nullptr
                          ? QPoint(button->height() / 2, button->height() / 2)
                          : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
  }
};

}  // namespace

class SingleGasTabTest : public QObject {
  Q_OBJECT

 private slots:
  void startValues() {
    FakeHost host;
    cDlgYBRTab page(host);
    for (int id : {1009, 1010, 1011, 1013, 1014, 1015, 1016, 1017, 1018}) {
      QCOMPARE(Control<QLineEdit>(&page, id)->text(), QString("n/a"));
    }
    const std::pair<int, const char*> texts[] = {
        {1020, "10.0"}, {1022, "30"},   {1024, "19.0"}, {1026, "15.0"}, {1043, "60"},
        {1045, "23.0"}, {1199, "25.0"}, {1200, "100"},  {1203, "18.0"},
    };
    for (const auto& [id, text] : texts) {
      QCOMPARE(Control<QLineEdit>(&page, id)->text(), QString(text));
    }
    for (int id : {1048, 1005, 1012}) {
      auto* list = Control<QComboBox>(&page, id);
      QCOMPARE(list->count(), 2);
      QCOMPARE(list->itemText(0), QString("Life"));
      QCOMPARE(list->currentText(), QString("Sensor"));
    }
    for (int id : kRowBoxes) QVERIFY(!Control<QCheckBox>(&page, id)->isChecked());
    QVERIFY(!page.PageEnabled());
  }

  void typingAndLeaving_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("afterLeave");
    QTest::newRow("interval above 365") << 1009 << "400"
                                        << "365"
                                        << "365";
    QTest::newRow("interval letters removed") << 1013 << "12a3"
                                              << "123"
                                              << "123";
    QTest::newRow("interval zero is n/a") << 1011 << "0"
                                          << "n/a"
                                          << "n/a";
    QTest::newRow("interval letters only") << 1014 << "abc"
                                           << "n/a"
                                           << "n/a";
    QTest::newRow("interval no point") << 1010 << "1.5"
                                       << "15"
                                       << "15";
    QTest::newRow("H2S alarm one decimal") << 1020 << "1.5"
                                           << "1.5"
                                           << "1.5";
    QTest::newRow("H2S alarm above 100.0") << 1026 << "150"
                                           << "100.0"
                                           << "100.0";
    QTest::newRow("CO alarm whole numbers") << 1022 << "1.5"
                                            << "15"
                                            << "15";
    QTest::newRow("CO alarm above 300") << 1043 << "400"
                                        << "300"
                                        << "300";
    QTest::newRow("O2 alarm above 30.0") << 1045 << "35"
                                         << "30.0"
                                         << "30.0";
    QTest::newRow("self-test 1 is typing in progress") << 1016 << "1"
                                                       << "1"
                                                       << "8";
    QTest::newRow("self-test 1 then 5") << 1017 << "15"
                                        << "15"
                                        << "15";
    QTest::newRow("self-test 5 gives 8") << 1018 << "5"
                                         << "8"
                                         << "8";
    QTest::newRow("self-test above 20") << 1016 << "25"
                                        << "20"
                                        << "20";
    QTest::newRow("self-test 0 left is n/a") << 1016 << "0"
                                             << "0"
                                             << "n/a";
    QTest::newRow("user id at most 12") << 1006 << "ABCDEFGHIJKLMN"
                                        << "ABCDEFGHIJKL"
                                        << "ABCDEFGHIJKL";
    QTest::newRow("CO concentration above 500") << 1200 << "650"
                                                << "500"
                                                << "500";
    QTest::newRow("H2S concentration above 100.0") << 1199 << "150"
                                                   << "100.0"
                                                   << "100.0";
    QTest::newRow("O2 concentration may be 0") << 1203 << "0"
                                               << "0"
                                               << "0";
  }
  void typingAndLeaving() {
    QFETCH(int, id);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, afterLeave);
    Fixture f;
    for (int box : kRowBoxes) f.Click(box);  // every row open for typing
    QLineEdit* edit = f.Edit(id);
    QVERIFY(edit->isEnabled());
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
    QCOMPARE(edit->cursorPosition(), static_cast<int>(shown.size()));
    f.other->setFocus();
    QCOMPARE(edit->text(), afterLeave);
  }

  void arrows_data() {
    QTest::addColumn<int>("arrowsId");
    QTest::addColumn<int>("fieldId");
    QTest::addColumn<int>("rowBox");  // 0: the field has no row
    QTest::addColumn<QString>("start");
    QTest::addColumn<ql::rules::Arrow>("arrow");
    QTest::addColumn<QString>("shown");
    using ql::rules::Arrow;
    QTest::newRow("self-test n/a up") << 1063 << 1016 << 1033 << "n/a" << Arrow::Up << "8";
    QTest::newRow("self-test 8 down") << 1064 << 1017 << 1033 << "8" << Arrow::Down << "n/a";
    QTest::newRow("self-test 20 up stays") << 1065 << 1018 << 1033 << "20" << Arrow::Up << "20";
    QTest::newRow("self-test 12 down") << 1063 << 1016 << 1033 << "12" << Arrow::Down << "11";
    QTest::newRow("interval n/a up") << 1052 << 1009 << 1028 << "n/a" << Arrow::Up << "1";
    QTest::newRow("interval n/a down stays")
        << 1058 << 1013 << 1031 << "n/a" << Arrow::Down << "n/a";
    QTest::newRow("interval 365 up stays") << 1057 << 1011 << 1028 << "365" << Arrow::Up << "365";
    QTest::newRow("H2S low 99.5 up") << 1066 << 1020 << 1035 << "99.5" << Arrow::Up << "100.0";
    QTest::newRow("H2S low 0.4 down") << 1066 << 1020 << 1035 << "0.4" << Arrow::Down << "n/a";
    QTest::newRow("H2S high 2.35 up") << 1069 << 1026 << 1037 << "2.35" << Arrow::Up << "2.8";
    QTest::newRow("O2 high 29.5 up") << 1071 << 1045 << 1037 << "29.5" << Arrow::Up << "30.0";
    QTest::newRow("O2 high 30.0 up stays") << 1071 << 1045 << 1037 << "30.0" << Arrow::Up << "30.0";
    QTest::newRow("CO low 300 up stays") << 1067 << 1022 << 1035 << "300" << Arrow::Up << "300";
    QTest::newRow("CO concentration 0 down") << 1074 << 1200 << 0 << "0" << Arrow::Down << "0";
    QTest::newRow("CO concentration 500 up") << 1074 << 1200 << 0 << "500" << Arrow::Up << "500";
    QTest::newRow("H2S concentration up") << 1061 << 1199 << 0 << "25.0" << Arrow::Up << "25.5";
    QTest::newRow("O2 concentration 0.0 down")
        << 1076 << 1203 << 0 << "0.0" << Arrow::Down << "0.0";
  }
  void arrows() {
    QFETCH(int, arrowsId);
    QFETCH(int, fieldId);
    QFETCH(int, rowBox);
    QFETCH(QString, start);
    QFETCH(ql::rules::Arrow, arrow);
    QFETCH(QString, shown);
    Fixture f;
    if (rowBox != 0) f.Click(rowBox);
    f.Edit(fieldId)->setText(start);
    auto* pair = f.Get<ArrowPair>(arrowsId);
    QTest::mouseClick(arrow == ql::rules::Arrow::Up ? pair->UpButton() : pair->DownButton(),
                      Qt::LeftButton);
    QCOMPARE(f.Edit(fieldId)->text(), shown);
  }

  // The arrows of an unchecked row change nothing, even when the field was left enabled
  // by a program that set its text.
  void arrowsOfAnUncheckedRowDoNothing_data() {
    QTest::addColumn<int>("arrowsId");
    QTest::addColumn<int>("fieldId");
    QTest::addColumn<QString>("start");
    QTest::newRow("interval") << 1055 << 1010 << "n/a";
    QTest::newRow("self-test") << 1064 << 1017 << "n/a";
    QTest::newRow("H2S low alarm") << 1066 << 1020 << "10.0";
  }
  void arrowsOfAnUncheckedRowDoNothing() {
    QFETCH(int, arrowsId);
    QFETCH(int, fieldId);
    QFETCH(QString, start);
    Fixture f;
    f.Edit(fieldId)->setText(start);
    auto* pair = f.Get<ArrowPair>(arrowsId);
    pair->setEnabled(true);  // only the row's box may decide
    emit pair->UpButton()->clicked();
    QCOMPARE(f.Edit(fieldId)->text(), start);
  }

  void rowBoxesEnableTheirFields() {
    Fixture f;
    auto fieldsEnabled = [&f](int row) {
      int enabled = 0;
      for (int id : kRowFields[row]) enabled += f.Get<QWidget>(id)->isEnabled() ? 1 : 0;
      return enabled;
    };
    for (int row = 0; row < 7; ++row) QCOMPARE(fieldsEnabled(row), 0);
    f.Click(1035);  // " Low Alarm"
    QCOMPARE(fieldsEnabled(4), 3);
    for (int id : {1066, 1067, 1068}) QVERIFY(f.Get<QWidget>(id)->isEnabled());
    QCOMPARE(fieldsEnabled(5), 0);
    QVERIFY(!f.Get<QWidget>(1069)->isEnabled());
    f.Click(1038);  // " Display"
    QCOMPARE(fieldsEnabled(6), 3);
    f.Click(1035);
    QCOMPARE(fieldsEnabled(4), 0);
    // Enabling the page again unchecks every row and closes its fields.
    f.page->EnablePage(true);
    QVERIFY(!f.Get<QCheckBox>(1038)->isChecked());
    QCOMPARE(fieldsEnabled(6), 0);
  }

  void enablePageAndBusy() {
    Fixture f;
    const int pageControls[] = {1027, 1028, 1031, 1033, 1035, 1037, 1038, 1199, 1200, 1203,
                                1061, 1074, 1076, 1072, 1073, 1112, 1113, 1114, 1115, 1116,
                                1202, 1106, 1107, 1108, 1109, 1110, 1111, 1230, 1231, 1041};
    for (int id : pageControls) {
      QVERIFY2(f.Get<QWidget>(id)->isEnabled(), qPrintable(QString::number(id)));
    }
    f.Click(1028);
    f.page->EnablePage(false);
    for (int id : pageControls) {
      QVERIFY2(!f.Get<QWidget>(id)->isEnabled(), qPrintable(QString::number(id)));
    }
    for (int id : kOptionArrows) QVERIFY(!f.Get<QWidget>(id)->isEnabled());
    for (const auto& row : kRowFields) {
      for (int id : row) QVERIFY(!f.Get<QWidget>(id)->isEnabled());
    }

    f.page->EnablePage(true);
    f.page->SetBusy(true);
    for (int id : {1073, 1230, 1231, 1041}) QVERIFY(!f.Get<QWidget>(id)->isEnabled());
    QVERIFY(f.Get<QWidget>(1199)->isEnabled());
    f.page->SetBusy(false);
    for (int id : {1073, 1230, 1231, 1041}) QVERIFY(f.Get<QWidget>(id)->isEnabled());
  }

  void everyControlHasItsIdAndName_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    const char* captions[] = {"User ID",
                              "Calibration Interval (Days)",
                              "Bump Interval (Days)",
                              "Self-Test Interval (Hours)",
                              "Low Alarm",
                              "High Alarm",
                              "Display"};
    const char* gases[] = {"H2S", "CO", "O2"};
    for (int row = 0; row < 7; ++row) {
      QTest::addRow("box %d", kRowBoxes[row]) << kRowBoxes[row] << QString(captions[row]);
      for (int gas = 0; gas < 3; ++gas) {
        const QString name = QString("%1 %2").arg(captions[row], gases[gas]);
        QTest::addRow("%s", qPrintable(name)) << kRowFields[row][gas] << name;
      }
    }
    QTest::newRow("low alarm H2S arrows") << 1066 << "Low Alarm H2S";
    QTest::newRow("self-test O2 arrows") << 1065 << "Self-Test Interval (Hours) O2";
    QTest::newRow("H2S concentration") << 1199 << "Gas Concentration H2S";
    QTest::newRow("CO concentration arrows") << 1074 << "Gas Concentration CO";
    QTest::newRow("O2 concentration") << 1203 << "Gas Concentration O2";
    QTest::newRow("read") << 1230 << "Read";
    QTest::newRow("write") << 1231 << "Write";
    QTest::newRow("browse") << 1073 << "Browse";
    QTest::newRow("firmware write") << 1041 << "Write";
    QTest::newRow("firmware path") << 1072 << "TKL firmware file";
    QTest::newRow("firmware bar") << 1232 << "TKL firmware upload";
    for (int id : kOptionArrows) QTest::addRow("arrows %d", id) << id << QString();
    for (int id : {1112, 1113, 1114, 1115, 1202, 1106, 1107, 1108, 1109, 1110, 1111, 1117, 1116,
                   1091, 1052, 1061, 1076}) {
      QTest::addRow("control %d", id) << id << QString();
    }
  }
  void everyControlHasItsIdAndName() {
    QFETCH(int, id);
    QFETCH(QString, name);
    FakeHost host;
    cDlgYBRTab page(host);
    QWidget* control = FindControl(&page, id);
    QVERIFY(control != nullptr);
    if (!name.isEmpty()) QCOMPARE(control->accessibleName(), name);
    if (qobject_cast<ArrowPair*>(control) != nullptr) {
      QVERIFY(!control->accessibleName().isEmpty());
    }
  }

  void concentrationLabelsAreBuddies() {
    FakeHost host;
    cDlgYBRTab page(host);
    QCOMPARE(Control<QLabel>(&page, 1106)->buddy(), FindControl(&page, 1199));
    QCOMPARE(Control<QLabel>(&page, 1107)->buddy(), FindControl(&page, 1200));
    QCOMPARE(Control<QLabel>(&page, 1108)->buddy(), FindControl(&page, 1203));
  }

  void pageFitsItsTab() {
    FakeHost host;
    cDlgYBRTab page(host);
    const QSize size = page.minimumSizeHint();
    QVERIFY2(size.width() <= 1000 && size.height() <= 420,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
  }

  void recordRoundTrip() {
    Fixture f;
    const SingleGasOptionRecord record = SampleRecord();
    f.page->RecordToPage(record.bytes);
    for (int box : kRowBoxes) QVERIFY(f.Get<QCheckBox>(box)->isChecked());
    const std::pair<int, const char*> texts[] = {
        {1006, "H2SUNIT00001"}, {1007, "CO-2"}, {1009, "180"},   {1010, "n/a"},
        {1011, "365"},          {1016, "8"},    {1017, "20"},    {1020, "10.0"},
        {1022, "35"},           {1024, "19.5"}, {1026, "100.0"}, {1043, "300"},
        {1199, "25.0"},         {1200, "100"},  {1203, "18.0"},
    };
    for (const auto& [id, text] : texts) QCOMPARE(f.Edit(id)->text(), QString(text));
    QCOMPARE(f.Get<QComboBox>(1048)->currentText(), QString("Life"));
    QCOMPARE(f.Get<QComboBox>(1005)->currentText(), QString("Sensor"));
    // Flagged rows are open for editing.
    QVERIFY(f.Edit(1045)->isEnabled());
    QVERIFY(f.Get<QWidget>(1071)->isEnabled());

    std::array<std::uint8_t, 112> encoded{};
    encoded.fill(0xEE);
    f.page->PageToRecord(encoded);
    QVERIFY(encoded == record.bytes);
  }

  void unflaggedRowsKeepTheirTexts() {
    Fixture f;
    f.Click(1028);
    f.Edit(1009)->setText("45");
    SingleGasOptionRecord record = SampleRecord();
    record.SetRowFlag(SingleGasRow::CalibrationInterval, 0);
    record.SetSetting(kH2S, SingleGasRow::Display, 7);  // outside the list
    f.page->RecordToPage(record.bytes);
    QVERIFY(!f.Get<QCheckBox>(1028)->isChecked());
    QCOMPARE(f.Edit(1009)->text(), QString("45"));
    QVERIFY(!f.Edit(1009)->isEnabled());
    QCOMPARE(f.Get<QComboBox>(1048)->currentText(), QString("Sensor"));
  }

  void encodingWritesOnlyCheckedRows() {
    Fixture f;
    std::array<std::uint8_t, 112> bytes{};
    f.page->PageToRecord(bytes);
    SingleGasOptionRecord record;
    record.bytes = bytes;
    QCOMPARE(record.Length(), 112u);
    QCOMPARE(DoubleAt(record, 16), 250.0);
    QCOMPARE(DoubleAt(record, 48), 100.0);
    QCOMPARE(DoubleAt(record, 80), 180.0);
    SingleGasOptionRecord expected;
    expected.SetLength(112);
    expected.SetConcentration(kH2S, 250.0);
    expected.SetConcentration(kCO, 100.0);
    expected.SetConcentration(kO2, 180.0);
    QVERIFY(record.bytes == expected.bytes);

    f.Click(1035);  // " Low Alarm" with its start texts 10.0, 30, 19.0
    f.page->PageToRecord(bytes);
    record.bytes = bytes;
    QCOMPARE(int{record.bytes[8]}, 1);
    QCOMPARE(record.Setting(kH2S, SingleGasRow::LowAlarm), std::uint16_t{100});
    QCOMPARE(record.Setting(kCO, SingleGasRow::LowAlarm), std::uint16_t{30});
    QCOMPARE(record.Setting(kO2, SingleGasRow::LowAlarm), std::uint16_t{190});
    QCOMPARE(record.Setting(kH2S, SingleGasRow::HighAlarm), std::uint16_t{0});
  }

  void linkModeReadAndWrite() {
    Fixture f;
    f.Get<QProgressBar>(1232)->setRange(0, 40);
    f.Click(1230);
    QCOMPARE(f.Get<QProgressBar>(1232)->maximum(), 100);
    f.Click(1231);
    QCOMPARE(f.host.station.calls, (std::vector<std::string>{"PageRead tkl", "PageWrite tkl"}));
    QVERIFY(f.host.messages.empty());
  }

  void linkModeWriteOfARefusedValueSendsNothing() {
    Fixture f;
    f.Click(1033);
    f.Edit(1016)->setText("1");  // typing in progress, not yet left
    f.Click(1231);
    QVERIFY(f.host.station.calls.empty());
    QCOMPARE(f.host.messages,
             std::vector<std::string>{"Self-Test Interval (Hours) H2S: 1 is outside 8 to 20"});
  }

  void usbWriteThenRead() {
    Fixture f;
    QTemporaryDir drive;
    f.host.linkMode = false;
    f.host.usbRoot = drive.path().toStdString();
    f.Click(1028);
    f.Edit(1009)->setText("90");
    f.Click(1231);
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File write Success (TKL Info)"});
    const fs::path file = f.host.usbRoot / "Config/TKL/TKL.cfg";
    const auto bytes = ReadBytes(file);
    QCOMPARE(bytes.size(), std::size_t{112});
    SingleGasOptionRecord saved;
    std::copy(bytes.begin(), bytes.end(), saved.bytes.begin());
    QCOMPARE(int{saved.RowFlag(SingleGasRow::CalibrationInterval)}, 1);
    QCOMPARE(saved.Setting(kH2S, SingleGasRow::CalibrationInterval), std::uint16_t{90});
    QCOMPARE(int{saved.RowFlag(SingleGasRow::LowAlarm)}, 0);

    f.host.messages.clear();
    f.page->EnablePage(true);  // rows unchecked; the read checks them again
    f.Click(1230);
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File Read Success (TKL Info)"});
    QVERIFY(f.Get<QCheckBox>(1028)->isChecked());
    QVERIFY(f.Edit(1009)->isEnabled());
    QCOMPARE(f.Edit(1009)->text(), QString("90"));
    QVERIFY(!f.host.ranges.empty() && f.host.ranges.back() == std::make_pair(0, 100));
    QVERIFY(f.host.station.calls.empty());
  }

  void usbReadMigratesTheOlderFile() {
    Fixture f;
    QTemporaryDir drive;
    f.host.linkMode = false;
    f.host.usbRoot = drive.path().toStdString();
    const SingleGasOptionRecord record = SampleRecord();
    const std::vector<std::uint8_t> bytes(record.bytes.begin(), record.bytes.end());
    WriteBytes(f.host.usbRoot / "Config/YBR/YBR.cfg", bytes);
    f.Click(1230);
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File Read Success (TKL Info)"});
    QCOMPARE(f.Edit(1006)->text(), QString("H2SUNIT00001"));
    QVERIFY(ReadBytes(f.host.usbRoot / "Config/TKL/TKL.cfg") == bytes);
  }

  void usbFailures() {
    Fixture f;
    QTemporaryDir drive;
    f.host.linkMode = false;
    f.host.usbRoot = drive.path().toStdString();
    f.Click(1027);
    f.Edit(1006)->setText("KEEP");
    f.Click(1230);
    QCOMPARE(f.host.messages, (std::vector<std::string>{"File open error (TKL.cfg)",
                                                        "USB File Read Fail (TKL Info)"}));
    QCOMPARE(f.Edit(1006)->text(), QString("KEEP"));

    f.host.messages.clear();
    const fs::path notADrive = f.host.usbRoot / "plain-file";
    WriteBytes(notADrive, {1, 2, 3});
    f.host.usbRoot = notADrive;
    f.Click(1231);
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File write Fail (TKL Info)"});
  }

  void firmwareBrowse_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("intact");
    QTest::addColumn<QString>("message");
    QTest::newRow("YBR name") << "YBR_CO.bin" << true << QString();
    QTest::newRow("TKL name") << "TKL_O2.bin" << true << QString();
    QTest::newRow("lower-case name")
        << "ybr_co.bin" << true
        << "File Name Mismatch \n(File Name : TKL_H2S.bin, TKL_CO.bin, TKL_O2.bin)";
    QTest::newRow("wrong digest") << "TKL_H2S.bin" << false
                                  << "This is not the correct Firmware File.";
  }
  void firmwareBrowse() {
    QFETCH(QString, name);
    QFETCH(bool, intact);
    QFETCH(QString, message);
    Fixture f;
    QTemporaryDir folder;
    auto content = ValidTklFirmware();
    if (!intact) content[300] ^= 0x80;
    const fs::path file = fs::path(folder.path().toStdString()) / name.toStdString();
    WriteBytes(file, content);
    f.host.choosers.files.push_back(file);
    f.Click(1073);
    if (message.isEmpty()) {
      QVERIFY(f.host.messages.empty());
      QCOMPARE(f.Edit(1072)->text(), QString::fromStdString(file.string()));
    } else {
      QCOMPARE(f.host.messages, std::vector<std::string>{message.toStdString()});
      QCOMPARE(f.Edit(1072)->text(), QString());
    }
  }

  void firmwareWrite() {
    Fixture f;
    f.Click(1041);
    QCOMPARE(f.host.messages, std::vector<std::string>{"Firmware File Empty"});
    QVERIFY(f.host.station.calls.empty());

    QTemporaryDir folder;
    const fs::path file = fs::path(folder.path().toStdString()) / "YBR_CO.bin";
    const auto content = ValidTklFirmware();
    WriteBytes(file, content);
    f.host.choosers.files.push_back(file);
    f.Click(1073);
    f.host.messages.clear();
    f.Click(1041);
    QCOMPARE(f.host.station.calls, std::vector<std::string>{"Firmware tkl " + file.string()});
    QVERIFY(f.host.station.lastImage && f.host.station.lastImage->content == content);

    QTemporaryDir drive;
    f.host.linkMode = false;
    f.host.usbRoot = drive.path().toStdString();
    f.Click(1041);
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File Write Success (TKL F/W)"});
    QVERIFY(ReadBytes(f.host.usbRoot / "Firmware/TKL/TKL_CO.bin") == content);
    QVERIFY(!fs::exists(f.host.usbRoot / "Firmware/TKL/YBR_CO.bin"));

    // Emptying the path empties the version label.
    QVERIFY(!f.Get<QLabel>(1091)->text().isEmpty());
    f.page->ClearFirmwareFields();
    QVERIFY(f.Get<QLabel>(1091)->text().isEmpty());
    QVERIFY(f.page->FirmwarePath().isEmpty());
  }

  void enterAndEscapeDoNotCloseTheWindow_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("escape") << static_cast<int>(Qt::Key_Escape);
    QTest::newRow("enter") << static_cast<int>(Qt::Key_Return);
  }
  void enterAndEscapeDoNotCloseTheWindow() {
    QFETCH(int, key);
    FakeHost host;
    QDialog dialog;
    auto* page = new cDlgYBRTab(host, &dialog);
    // A default button, so an Enter that reached the dialog would accept it.
    auto* ok = new QPushButton("OK", &dialog);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(page);
    layout->addWidget(ok);
    page->EnablePage(true);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit* field = Control<QLineEdit>(page, 1199);
    field->setFocus();
    QTest::keyClick(field, static_cast<Qt::Key>(key));
    QVERIFY(dialog.isVisible());
    QCOMPARE(finished.count(), 0);
  }
};

QTEST_MAIN(SingleGasTabTest)
#include "single_gas_tab_test.moc"
