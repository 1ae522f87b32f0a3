// The docking station page through its widgets: the field rules as a technician meets
// them (typing, arrows, leaving a field), the enabling rules, every control by its id,
// a record shown and encoded again, the Read and Write buttons in both transfer modes,
// and the firmware block.

#include "pages/docking_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
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
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <numeric>
#include <vector>

#include "pages/control_id.h"
#include "pages/field_widgets.h"
#include "records/docking_info.h"
#include "records/firmware.h"
#include "tests/pages/fake_host.h"

using ql::RecordType;
using ql::pages::ArrowPair;
using ql::pages::cDlgDockingTab;
using ql::pages::Control;
using ql::pages::FindControl;
using ql::records::DockingInfoRecord;
using ql::records::DockingSwitch;
using ql::testsupport::FakeHost;

Q_DECLARE_METATYPE(ql::rules::Arrow)

namespace {

namespace fs = std::filesystem;

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

// A docking station firmware container that passes the tag and digest check.
std::vector<std::uint8_t> ValidDockingFirmware() {
  std::vector<std::uint8_t> bare(3000);
  std::iota(bare.begin(), bare.end(), std::uint8_t{7});
  const auto tag = ql::records::MakeFirmwareTag(RecordType::Docking, "V2.10");
  return *ql::records::PackFirmwareImage(bare, *tag);
}

DockingInfoRecord SampleRecord() {
  DockingInfoRecord record;
  record.SetLength(64);
  record.SetSerialNumber("AB12");
  record.SetVersion(65535);
  record.SetBumpResultDecision(2);
  record.SetLocation("DOCK7");
  record.SetAutoPowerOffTime(600);
  record.SetMaximumBumpTime(60);
  record.SetGasExpirationDate(2027, 6, 30);
  record.SetGasBottleLot(-1);
  record.SetSwitch(DockingSwitch::Calibrate, 1);
  record.SetSwitch(DockingSwitch::BumpTests, 0);
  record.SetSwitch(DockingSwitch::AllowHibernate, 1);
  record.SetSwitch(DockingSwitch::UpdateDetectorConfigurations, 0);
  record.SetSwitch(DockingSwitch::UpdateDetectorFirmware, 1);
  return record;
}

std::vector<std::uint8_t> SampleBytes() {
  const DockingInfoRecord record = SampleRecord();
  return {record.bytes.begin(), record.bytes.end()};
}

// The page on a fake window, enabled as after connecting, shown so focus moves.
struct Fixture {
  FakeHost host;
  QWidget window;
  cDlgDockingTab* page;
  QLineEdit* other;

  Fixture() : page(new cDlgDockingTab(host, &window)), other(new QLineEdit(&window)) {
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

class DockingTabTest : public QObject {
  Q_OBJECT

 private slots:
  void startValues() {
    FakeHost host;
    cDlgDockingTab page(host);
    QCOMPARE(Control<QLineEdit>(&page, 1019)->text(), QString("300"));
    QCOMPARE(Control<QLineEdit>(&page, 1021)->text(), QString("30"));
    QCOMPARE(Control<QLineEdit>(&page, 1056)->text(), QString());  // no default version
    auto* list = Control<QComboBox>(&page, 1224);
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->itemText(2), QString("Beep + Concentration"));
    QCOMPARE(list->currentText(), QString("Beep"));
    for (int id : {1062, 1030, 1034, 1036}) QVERIFY(Control<QCheckBox>(&page, id)->isChecked());
    QVERIFY(!Control<QCheckBox>(&page, 1032)->isChecked());
    QVERIFY(!page.PageEnabled());
    QCOMPARE(Control<QProgressBar>(&page, 1229)->maximum(), 100);
    QVERIFY(Control<QDateEdit>(&page, 1025)->calendarPopup());
    QVERIFY(Control<QDateEdit>(&page, 1025)->displayFormat().contains("yyyy"));
    // LoadDefaults keeps the identity fields.
    Control<QLineEdit>(&page, 1053)->setText("HALL2");
    Control<QLineEdit>(&page, 1019)->setText("900");
    page.LoadDefaults();
    QCOMPARE(Control<QLineEdit>(&page, 1053)->text(), QString("HALL2"));
    QCOMPARE(Control<QLineEdit>(&page, 1019)->text(), QString("300"));
  }

  void typingAndLeaving_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("afterLeave");
    QTest::newRow("bump time 5 gives 20 at once") << 1021 << "5"
                                                  << "20"
                                                  << "20";
    QTest::newRow("bump time 5 then 5 gives 120") << 1021 << "55"
                                                  << "120"
                                                  << "120";
    QTest::newRow("power-off emptied is 1, left is 60") << 1019 << "\b"
                                                        << "1"
                                                        << "60";
    QTest::newRow("power-off below 60 clamps on leave") << 1019 << "45"
                                                        << "45"
                                                        << "60";
    QTest::newRow("power-off above 3600") << 1019 << "4000"
                                          << "3600"
                                          << "3600";
    QTest::newRow("location keeps letters and digits") << 1053 << "A-B C"
                                                       << "ABC"
                                                       << "ABC";
    QTest::newRow("location at most 12") << 1053 << "ABCDEFGHIJKLMN"
                                         << "ABCDEFGHIJKL"
                                         << "ABCDEFGHIJKL";
    QTest::newRow("lot takes digits only") << 1023 << "12a-3"
                                           << "123"
                                           << "123";
    QTest::newRow("lot at most 12 digits") << 1023 << "1234567890123"
                                           << "123456789012"
                                           << "123456789012";
  }
  void typingAndLeaving() {
    QFETCH(int, id);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, afterLeave);
    Fixture f;
    QLineEdit* edit = f.Edit(id);
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
    QTest::addColumn<QString>("start");
    QTest::addColumn<ql::rules::Arrow>("arrow");
    QTest::addColumn<QString>("shown");
    using ql::rules::Arrow;
    QTest::newRow("power-off 59 up") << 1080 << 1019 << "59" << Arrow::Up << "60";
    QTest::newRow("power-off 60 down stays") << 1080 << 1019 << "60" << Arrow::Down << "60";
    QTest::newRow("power-off 90 down") << 1080 << 1019 << "90" << Arrow::Down << "60";
    QTest::newRow("power-off 3590 up capped") << 1080 << 1019 << "3590" << Arrow::Up << "3600";
    QTest::newRow("power-off 3600 up stays") << 1080 << 1019 << "3600" << Arrow::Up << "3600";
    QTest::newRow("bump 115 up capped") << 1081 << 1021 << "115" << Arrow::Up << "120";
    QTest::newRow("bump 20 down stays") << 1081 << 1021 << "20" << Arrow::Down << "20";
    QTest::newRow("bump 50 down") << 1081 << 1021 << "50" << Arrow::Down << "40";
  }
  void arrows() {
    QFETCH(int, arrowsId);
    QFETCH(int, fieldId);
    QFETCH(QString, start);
    QFETCH(ql::rules::Arrow, arrow);
    QFETCH(QString, shown);
    Fixture f;
    f.Edit(fieldId)->setText(start);
    auto* pair = f.Get<ArrowPair>(arrowsId);
    QTest::mouseClick(arrow == ql::rules::Arrow::Up ? pair->UpButton() : pair->DownButton(),
                      Qt::LeftButton);
    QCOMPARE(f.Edit(fieldId)->text(), shown);
  }

  void enablePageAndBusy() {
    Fixture f;
    const int pageControls[] = {1053, 1019, 1021, 1025, 1023, 1062, 1030, 1034, 1036, 1029, 1039,
                                1080, 1081, 1201, 1094, 1095, 1096, 1097, 1098, 1099, 1101, 1223,
                                1104, 1100, 1102, 1103, 1105, 1230, 1231, 1041, 1224};
    f.page->EnablePage(false);
    for (int id : pageControls)
      QVERIFY2(!f.Get<QWidget>(id)->isEnabled(), qPrintable(QString::number(id)));
    QVERIFY(!f.Get<QWidget>(1056)->isEnabled());
    f.page->EnablePage(true);
    for (int id : pageControls)
      QVERIFY2(f.Get<QWidget>(id)->isEnabled(), qPrintable(QString::number(id)));
    // Version and Allow Hibernate never come back; the serial number is read-only.
    QVERIFY(!f.Get<QWidget>(1056)->isEnabled());
    QVERIFY(!f.Get<QWidget>(1032)->isEnabled());
    QVERIFY(f.Edit(1054)->isReadOnly());

    f.page->SetBusy(true);
    for (int id : {1039, 1230, 1231, 1041}) QVERIFY(!f.Get<QWidget>(id)->isEnabled());
    QVERIFY(f.Get<QWidget>(1053)->isEnabled());
    f.page->SetBusy(false);
    for (int id : {1039, 1230, 1231, 1041}) QVERIFY(f.Get<QWidget>(id)->isEnabled());
    f.page->EnablePage(false);
    f.page->SetBusy(false);  // the remembered state is disabled
    for (int id : {1039, 1230, 1231, 1041}) QVERIFY(!f.Get<QWidget>(id)->isEnabled());
  }

  void bumpTestsDriveTheDecisionList() {
    Fixture f;
    auto* list = f.Get<QComboBox>(1224);
    QVERIFY(list->isEnabled());
    f.Click(1030);
    QVERIFY(!f.Get<QCheckBox>(1030)->isChecked());
    QVERIFY(!list->isEnabled());
    f.page->EnablePage(true);
    QVERIFY(!list->isEnabled());
    f.Click(1030);
    QVERIFY(list->isEnabled());
    f.page->EnablePage(false);
    QVERIFY(!list->isEnabled());
  }

  void hiddenControlsAndAutoSync() {
    Fixture f;
    QVERIFY(!f.Get<QWidget>(1106)->isVisible());
    QVERIFY(!f.Get<QWidget>(1238)->isVisible());
    f.page->EnablePage(true);
    QVERIFY(!f.Get<QWidget>(1238)->isVisible());
    QSignalSpy spy(f.page, &cDlgDockingTab::autoSyncChanged);
    f.Get<QCheckBox>(1238)->click();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    QVERIFY(f.page->AutoSync());
    f.Get<QCheckBox>(1238)->click();
    QCOMPARE(spy.at(1).at(0).toBool(), false);
    QVERIFY(!f.page->AutoSync());
  }

  void detectorFamilyCaptions_data() {
    QTest::addColumn<RecordType>("family");
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("firmware");
    QTest::newRow("single-gas") << RecordType::SingleGas << " Update TKL Configurations"
                                << " Update TKL Firmware";
    QTest::newRow("multi-gas") << RecordType::MultiGas << " Update RVX Config"
                               << " Update RVX Firmware";
  }
  void detectorFamilyCaptions() {
    QFETCH(RecordType, family);
    QFETCH(QString, config);
    QFETCH(QString, firmware);
    FakeHost host;
    cDlgDockingTab page(host);
    page.SetDetectorFamily(RecordType::MultiGas);
    page.SetDetectorFamily(family);
    QCOMPARE(Control<QCheckBox>(&page, 1034)->text(), config);
    QCOMPARE(Control<QCheckBox>(&page, 1036)->text(), firmware);
    QCOMPARE(Control<QCheckBox>(&page, 1034)->accessibleName(), config.trimmed());
  }

  void everyControlHasItsIdAndName_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    QTest::newRow("serial") << 1054 << "Serial Number";
    QTest::newRow("version") << 1056 << "Version";
    QTest::newRow("location") << 1053 << "Location";
    QTest::newRow("power-off") << 1019 << "Auto Power-Off Time";
    QTest::newRow("power-off arrows") << 1080 << "Auto Power-Off Time";
    QTest::newRow("bump time") << 1021 << "Maximum Bump Time";
    QTest::newRow("bump time arrows") << 1081 << "Maximum Bump Time";
    QTest::newRow("date") << 1025 << "Gas Expiration Date";
    QTest::newRow("lot") << 1023 << "Gas Bottle Lot #";
    QTest::newRow("auto sync") << 1238 << "Auto Sync";
    QTest::newRow("read") << 1230 << "Read";
    QTest::newRow("write") << 1231 << "Write";
    QTest::newRow("calibrate") << 1062 << "Calibrate";
    QTest::newRow("bump tests") << 1030 << "Bump Tests";
    QTest::newRow("hibernate") << 1032 << "Allow Hibernate";
    QTest::newRow("update config") << 1034 << "Update TKL Configurations";
    QTest::newRow("update firmware") << 1036 << "Update TKL Firmware";
    QTest::newRow("decision") << 1224 << "Bump Result Decision";
    QTest::newRow("browse") << 1039 << "Browse";
    QTest::newRow("firmware write") << 1041 << "Write";
    QTest::newRow("firmware path") << 1029 << "Docking station firmware file";
    QTest::newRow("firmware bar") << 1229 << "Docking station firmware upload";
    for (int id : {1201, 1094, 1095, 1096, 1097, 1098, 1099, 1101, 1102, 1103, 1105, 1106, 1104,
                   1223, 1100, 1092}) {
      QTest::addRow("label %d", id) << id << QString();
    }
  }
  void everyControlHasItsIdAndName() {
    QFETCH(int, id);
    QFETCH(QString, name);
    FakeHost host;
    cDlgDockingTab page(host);
    QWidget* control = FindControl(&page, id);
    QVERIFY(control != nullptr);
    if (!name.isEmpty()) QCOMPARE(control->accessibleName(), name);
  }

  void labelsNameTheirFields_data() {
    QTest::addColumn<int>("label");
    QTest::addColumn<int>("field");
    QTest::newRow("serial") << 1094 << 1054;
    QTest::newRow("version") << 1095 << 1056;
    QTest::newRow("location") << 1096 << 1053;
    QTest::newRow("power-off") << 1097 << 1019;
    QTest::newRow("bump time") << 1098 << 1021;
    QTest::newRow("date") << 1099 << 1025;
    QTest::newRow("lot") << 1101 << 1023;
    QTest::newRow("decision") << 1223 << 1224;
  }
  void labelsNameTheirFields() {
    QFETCH(int, label);
    QFETCH(int, field);
    FakeHost host;
    cDlgDockingTab page(host);
    auto* caption = Control<QLabel>(&page, label);
    QVERIFY(caption != nullptr);
    QCOMPARE(caption->buddy(), FindControl(&page, field));
    QCOMPARE(FindControl(&page, field)->accessibleName(), caption->text());
  }

  void pageFitsItsTab() {
    FakeHost host;
    cDlgDockingTab page(host);
    const QSize size = page.minimumSizeHint();
    QVERIFY2(size.width() <= 1000 && size.height() <= 420,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
  }

  void recordRoundTrip() {
    Fixture f;
    const DockingInfoRecord record = SampleRecord();
    f.page->RecordToPage(record.bytes);
    QCOMPARE(f.Edit(1054)->text(), QString("AB12"));
    QCOMPARE(f.Edit(1056)->text(), QString("65535"));
    QCOMPARE(f.Edit(1053)->text(), QString("DOCK7"));
    QCOMPARE(f.Edit(1019)->text(), QString("600"));
    QCOMPARE(f.Edit(1021)->text(), QString("60"));
    QCOMPARE(f.Get<QDateEdit>(1025)->date(), QDate(2027, 6, 30));
    QCOMPARE(f.Edit(1023)->text(), QString("-1"));
    QCOMPARE(f.Get<QComboBox>(1224)->currentIndex(), 2);
    QVERIFY(f.Get<QCheckBox>(1032)->isChecked());
    QVERIFY(!f.Get<QCheckBox>(1030)->isChecked());
    QVERIFY(!f.Get<QComboBox>(1224)->isEnabled());  // follows Bump Tests

    std::array<std::uint8_t, 64> encoded{};
    encoded.fill(0xEE);
    f.page->PageToRecord(encoded);
    QVERIFY(encoded == record.bytes);
  }

  void decodedTextsPassTheFieldRules() {
    Fixture f;
    const QDate before = f.Get<QDateEdit>(1025)->date();
    DockingInfoRecord record = SampleRecord();
    record.SetSerialNumber("A-1 B.2");
    record.SetMaximumBumpTime(500);
    record.SetAutoPowerOffTime(0);
    record.SetGasExpirationDate(0, 0, 0);
    record.SetBumpResultDecision(9);
    f.page->RecordToPage(record.bytes);
    QCOMPARE(f.Edit(1054)->text(), QString("A1B2"));
    QCOMPARE(f.Edit(1021)->text(), QString("120"));
    QCOMPARE(f.Edit(1019)->text(), QString("1"));
    QCOMPARE(f.Get<QDateEdit>(1025)->date(), before);
    QCOMPARE(f.Get<QComboBox>(1224)->currentIndex(), 0);

    std::array<std::uint8_t, 64> encoded{};
    f.page->PageToRecord(encoded);
    DockingInfoRecord back;
    back.bytes = encoded;
    QCOMPARE(back.SerialNumber(), std::string("A1B2"));  // sent without the others
    QCOMPARE(back.Length(), 64u);
  }

  void linkModeReadAndWrite() {
    Fixture f;
    f.Click(1230);
    f.Click(1231);
    QCOMPARE(f.host.station.calls,
             (std::vector<std::string>{"PageRead docking", "PageWrite docking"}));
    QVERIFY(f.host.messages.empty());
  }

  void linkModeWriteOfARefusedValueSendsNothing() {
    Fixture f;
    f.Edit(1019)->setText("45");  // typed, not yet left
    f.Click(1231);
    QVERIFY(f.host.station.calls.empty());
    QVERIFY(!f.host.messages.empty());
    QCOMPARE(f.host.messages.front(), std::string("Auto Power-Off Time: 45 is outside 60 to 3600"));
  }

  void usbWriteThenRead() {
    Fixture f;
    QTemporaryDir drive;
    f.host.linkMode = false;
    f.host.usbRoot = drive.path().toStdString();
    f.Edit(1053)->setText("ROOM9");
    f.Edit(1023)->setText("4711");
    f.Click(1231);
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File write Success (Docking Info)"});
    QVERIFY(!f.host.ranges.empty() && f.host.ranges.back() == std::make_pair(0, 100));
    QVERIFY(!f.host.positions.empty() && f.host.positions.back() == 0);
    const fs::path file = f.host.usbRoot / "Config/Docking/Docking.cfg";
    const auto bytes = ReadBytes(file);
    QCOMPARE(bytes.size(), std::size_t{64});
    DockingInfoRecord saved;
    std::copy(bytes.begin(), bytes.end(), saved.bytes.begin());
    QCOMPARE(saved.Location(), std::string("ROOM9"));
    QCOMPARE(saved.GasBottleLot(), 4711);

    // Another record on the drive is read back into the page.
    WriteBytes(file, SampleBytes());
    f.host.messages.clear();
    f.Click(1230);
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File Read Success (Docking Info)"});
    QCOMPARE(f.Edit(1053)->text(), QString("DOCK7"));
    QCOMPARE(f.Edit(1023)->text(), QString("-1"));
    QVERIFY(f.host.station.calls.empty());
  }

  void usbReadOfAShortFile() {
    Fixture f;
    QTemporaryDir drive;
    f.host.linkMode = false;
    f.host.usbRoot = drive.path().toStdString();
    auto bytes = SampleBytes();
    bytes.resize(10);  // length and the first six serial characters
    WriteBytes(f.host.usbRoot / "Config/Docking/Docking.cfg", bytes);
    f.Click(1230);
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File Read Success (Docking Info)"});
    QCOMPARE(f.Edit(1054)->text(), QString("AB12"));
    QCOMPARE(f.Edit(1021)->text(), QString("20"));  // zero, shown as the field allows
  }

  void usbFailures() {
    Fixture f;
    QTemporaryDir drive;
    f.host.linkMode = false;
    f.host.usbRoot = drive.path().toStdString();
    f.Edit(1053)->setText("KEEP");
    f.Click(1230);
    QCOMPARE(f.host.messages, (std::vector<std::string>{"File open error (Docking.cfg)",
                                                        "USB File Read Fail (Docking Info)"}));
    QCOMPARE(f.Edit(1053)->text(), QString("KEEP"));

    // A drive root that is a file: nothing can be created under it.
    f.host.messages.clear();
    const fs::path notADrive = f.host.usbRoot / "plain-file";
    WriteBytes(notADrive, {1, 2, 3});
    f.host.usbRoot = notADrive;
    f.Click(1231);
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File write Fail (Docking Info)"});

    // A refused value writes no file.
    f.host.messages.clear();
    f.host.usbRoot = drive.path().toStdString();
    f.Edit(1019)->setText("59");
    f.Click(1231);
    QCOMPARE(f.host.messages,
             std::vector<std::string>{"Auto Power-Off Time: 59 is outside 60 to 3600"});
    QVERIFY(!fs::exists(f.host.usbRoot / "Config/Docking/Docking.cfg"));
  }

  void firmwareBrowse_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("intact");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("valid") << "DK_FW.bin" << true << QString() << true;
    QTest::newRow("valid second name") << "DK_FW_TORVELINE.bin" << true << QString() << true;
    QTest::newRow("lower-case name")
        << "dk_fw.bin" << true << "File Name Mismatch \n(File Name : DK_FW.bin)" << false;
    QTest::newRow("wrong digest") << "DK_FW.bin" << false
                                  << "This is not the correct Firmware File." << false;
  }
  void firmwareBrowse() {
    QFETCH(QString, name);
    QFETCH(bool, intact);
    QFETCH(QString, message);
    QFETCH(bool, accepted);
    Fixture f;
    QTemporaryDir folder;
    auto content = ValidDockingFirmware();
    if (!intact) content[0] ^= 0x01;  // the image no longer matches its digest
    const fs::path file = fs::path(folder.path().toStdString()) / name.toStdString();
    WriteBytes(file, content);
    f.host.choosers.files.push_back(file);
    f.Click(1039);
    if (message.isEmpty()) {
      QVERIFY(f.host.messages.empty());
    } else {
      QCOMPARE(f.host.messages, std::vector<std::string>{message.toStdString()});
    }
    QCOMPARE(f.Edit(1029)->text(), accepted ? QString::fromStdString(file.string()) : QString());
    if (accepted) QVERIFY(!f.Get<QLabel>(1092)->text().isEmpty());
  }

  void firmwareWrite() {
    Fixture f;
    f.Click(1041);
    QCOMPARE(f.host.messages, std::vector<std::string>{"Firmware File Empty"});

    QTemporaryDir folder;
    const fs::path file = fs::path(folder.path().toStdString()) / "DK_FW.bin";
    const auto content = ValidDockingFirmware();
    WriteBytes(file, content);
    f.host.choosers.files.push_back(file);
    f.Click(1039);
    f.host.messages.clear();
    f.Click(1041);
    QCOMPARE(f.host.station.calls, std::vector<std::string>{"Firmware docking " + file.string()});
    QVERIFY(f.host.station.lastImage && f.host.station.lastImage->content == content);

    QTemporaryDir drive;
    f.host.linkMode = false;
    f.host.usbRoot = drive.path().toStdString();
    f.Click(1041);
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File Write Success (Docking F/W)"});
    QVERIFY(ReadBytes(f.host.usbRoot / "Firmware/Docking/DK_FW.bin") == content);
    QCOMPARE(f.host.station.calls.size(), std::size_t{1});
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
    auto* page = new cDlgDockingTab(host, &dialog);
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
    QLineEdit* location = Control<QLineEdit>(page, 1053);
    location->setFocus();
    QTest::keyClick(location, static_cast<Qt::Key>(key));
    QVERIFY(dialog.isVisible());
    QCOMPARE(finished.count(), 0);
    QVERIFY(host.station.calls.empty());
  }
};

QTEST_MAIN(DockingTabTest)
#include "docking_tab_test.moc"
