// The window's own rules without a station, or with a silent one: the tab items, USB disk
// mode with a temporary folder standing in for the drive (the mode switch, the drive check,
// the main READ and WRITE with the drive layout and the older file names), "Send timeOut"
// on the virtual clock, the keyboard, and the accessible name and id of every control.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <fstream>

#include "app/traffic_monitor.h"
#include "engine/messages.h"
#include "link/port_discovery.h"
#include "pages/docking_tab.h"
#include "pages/field_widgets.h"
#include "pages/multi_gas_tab.h"
#include "pages/service_tab.h"
#include "pages/single_gas_tab.h"
#include "pages/time_tab.h"
#include "protocol/commands.h"
#include "protocol/station_frames.h"
#include "records/firmware.h"
#include "tests/support/virtual_timer_host.h"
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

Bytes Firmware(RecordType family) {
  Bytes bare(4096);
  for (std::size_t i = 0; i < bare.size(); ++i) bare[i] = static_cast<std::uint8_t>(i ^ 0x5A);
  return *ql::records::PackFirmwareImage(bare, *ql::records::MakeFirmwareTag(family, "1.2"));
}

// A pseudo-terminal registered as a bridge, with nobody answering unless the test does.
class SilentStation {
 public:
  SilentStation() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ::grantpt(m_master);
    ::unlockpt(m_master);
    m_device = ::ptsname(m_master);
    const std::string& device = m_device;
    // Keeps the line up while the tool opens and closes it.
    m_keep = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    const fs::path folder = ql::link::BridgeFolder();
    ql::link::MakeBridgeFolder(folder);
    std::ofstream(folder / (std::to_string(::getpid()) + ".bridge"))
        << "name=silent0\npath=" << device << "\npid=" << ::getpid() << "\n";
  }
  ~SilentStation() {
    ::close(m_keep);
    ::close(m_master);
  }
  const std::string& Device() const { return m_device; }
  // Answers the next request with `code` (read within `limit` of real time). The window
  // goes on handling its events meanwhile, so it can send the request.
  bool Answer(std::uint8_t code, const Bytes& payload, int limitMs = 5000) {
    ql::protocol::RequestParser parser;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < end) {
      QCoreApplication::processEvents();
      pollfd pfd{m_master, POLLIN, 0};
      if (::poll(&pfd, 1, 20) <= 0) continue;
      std::uint8_t buffer[256];
      const ssize_t n = ::read(m_master, buffer, sizeof buffer);
      for (ssize_t i = 0; i < n; ++i) {
        const auto request = parser.Feed(buffer[i], std::chrono::steady_clock::now());
        if (request && request->code == code) {
          const Bytes frame = ql::protocol::BuildAnswerFrame(code, payload);
          return ::write(m_master, frame.data(), frame.size()) ==
                 static_cast<ssize_t>(frame.size());
        }
      }
    }
    return false;
  }

 private:
  int m_master = -1;
  int m_keep = -1;
  std::string m_device;
};

// The window on the virtual clock (which must outlive it), with OPEN pressed on the first
// port: a silent station's when the test has one.
ql::app::CdockingDlg& OpenOnVirtualClock(WindowRig& rig,
                                         ql::testsupport::VirtualTimerHost& timers) {
  auto& window = rig.MakeWindow(&timers);
  timers.SetTarget([&window](int id) { window.StationEngine().OnTimer(id); });
  window.RefreshPorts();
  rig.Click(1077);
  return window;
}

}  // namespace

class WindowRulesTest : public QObject {
  Q_OBJECT

 private slots:
  void startShowsOnlyTheDockingStationTab() {
    WindowRig rig(QTest::currentTestFunction());
    auto& window = rig.MakeWindow();
    QCOMPARE(rig.TabTexts(), QStringList{"Docking Station"});
    QCOMPARE(window.windowTitle(), QString("Quaylink v1.3.2"));
    QCOMPARE(rig.Find<QLineEdit>(1228)->text(), Q(msg::kStatusDisconnected));
    QCOMPARE(rig.Find<QLineEdit>(1230)->text(), QString("IR Link Transfer Mode"));
    QVERIFY(rig.Find<QRadioButton>(1044)->isChecked());
    QVERIFY(!rig.Find(1229)->isVisible());
    QVERIFY(!window.DockingPage().PageEnabled());
    window.Tabs().setCurrentIndex(0);
    QCOMPARE(window.CurrentPage(), static_cast<QWidget*>(&window.DockingPage()));
  }

  void enterAndEscapeDoNothing_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << static_cast<int>(Qt::Key_Return);
    QTest::newRow("Escape") << static_cast<int>(Qt::Key_Escape);
  }
  void enterAndEscapeDoNothing() {
    QFETCH(int, key);
    WindowRig rig(QTest::currentDataTag());
    auto& window = rig.MakeWindow();
    QTest::keyClick(&window, static_cast<Qt::Key>(key));
    QVERIFY(window.isVisible());
    QVERIFY(rig.messages.texts.isEmpty());
  }

  void usbDiskModeSwitchesTabsAndFamily() {
    WindowRig rig(QTest::currentTestFunction());
    auto& window = rig.MakeWindow();
    const fs::path drive = rig.dir / "drive";
    fs::create_directories(drive);
    rig.mounts.roots.insert(drive);
    rig.choosers.folders.push_back(drive);
    rig.Click(1046);
    QCOMPARE(rig.choosers.folderTitles, std::vector<QString>{"Select USB Disk to Save"});
    QCOMPARE(rig.TabTexts(), (QStringList{"Docking Station", "TKL"}));
    QCOMPARE(rig.Find<QLineEdit>(1229)->text(), QString("TKL Type"));
    QVERIFY(rig.Find(1229)->isVisible());
    QCOMPARE(rig.Find<QLineEdit>(1230)->text(), QString("USB Disk Transfer Mode"));
    QVERIFY(!rig.Find(1077)->isVisible());
    QVERIFY(rig.Find(1244)->isVisible());
    QVERIFY(window.DockingPage().PageEnabled());

    rig.Click(1244);  // Disk Mode Change
    QCOMPARE(rig.TabTexts(), (QStringList{"Docking Station", "RVX"}));
    QCOMPARE(rig.Find<QLineEdit>(1229)->text(), QString("RVX Type"));
    window.Tabs().setCurrentIndex(1);
    QCOMPARE(window.CurrentPage(), static_cast<QWidget*>(&window.MultiGasPage()));

    // Back to link mode with the port closed: pages disabled, docking page, no indicator.
    rig.Click(1044);
    QCOMPARE(rig.TabTexts(), QStringList{"Docking Station"});
    QCOMPARE(window.CurrentPage(), static_cast<QWidget*>(&window.DockingPage()));
    QVERIFY(!rig.Find(1229)->isVisible());
    QVERIFY(!window.DockingPage().PageEnabled());
    QVERIFY(rig.Find(1077)->isVisible());
    QVERIFY(rig.messages.texts.isEmpty());
  }

  void driveChoiceMustBeAMountedRoot_data() {
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("a folder on a drive") << false << QStringList{"Please select only usb driver"};
    QTest::newRow("chooser cancelled") << true << QStringList{};
  }
  void driveChoiceMustBeAMountedRoot() {
    QFETCH(bool, cancel);
    QFETCH(QStringList, messages);
    WindowRig rig(QTest::currentDataTag());
    rig.MakeWindow();
    const fs::path drive = rig.dir / "drive";
    fs::create_directories(drive / "Config");
    rig.mounts.roots.insert(drive);
    rig.choosers.folders.push_back(cancel ? std::optional<fs::path>() : drive / "Config");
    rig.Click(1046);
    QCOMPARE(rig.messages.texts, messages);
    QVERIFY(rig.Find<QRadioButton>(1044)->isChecked());
    QVERIFY(!rig.Find<QRadioButton>(1046)->isChecked());
    QCOMPARE(rig.TabTexts(), QStringList{"Docking Station"});
  }

  // Main WRITE puts the record and the page's firmware at the drive layout's paths; main
  // READ takes the record back, also from the older file name, which it copies forward.
  void mainWriteAndReadUseTheDriveLayout_data() {
    QTest::addColumn<int>("family");  // 0 docking, 1 TKL, 2 RVX
    QTest::addColumn<QString>("firmwareName");
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("firmwareOnDrive");
    QTest::addColumn<QString>("olderConfig");
    QTest::newRow("docking") << 0 << "DK_FW.bin"
                             << "Config/Docking/Docking.cfg"
                             << "Firmware/Docking/DK_FW.bin"
                             << "";
    QTest::newRow("TKL, YBR names") << 1 << "YBR_CO.bin"
                                    << "Config/TKL/TKL.cfg"
                                    << "Firmware/TKL/TKL_CO.bin"
                                    << "Config/YBR/YBR.cfg";
    QTest::newRow("RVX, HWR names") << 2 << "HWR_FW.bin"
                                    << "Config/RVX/RVX.cfg"
                                    << "Firmware/RVX/HWR_FW.bin"
                                    << "Config/HWR/HWR.cfg";
  }
  void mainWriteAndReadUseTheDriveLayout() {
    QFETCH(int, family);
    QFETCH(QString, firmwareName);
    QFETCH(QString, config);
    QFETCH(QString, firmwareOnDrive);
    QFETCH(QString, olderConfig);
    WindowRig rig(QTest::currentDataTag());
    auto& window = rig.MakeWindow();
    const fs::path drive = rig.dir / "drive";
    fs::create_directories(drive);
    rig.mounts.roots.insert(drive);
    rig.choosers.folders.push_back(drive);
    rig.Click(1046);
    if (family == 2) rig.Click(1244);
    window.Tabs().setCurrentIndex(family == 0 ? 0 : 1);
    const RecordType type = family == 0   ? RecordType::Docking
                            : family == 1 ? RecordType::SingleGas
                                          : RecordType::MultiGas;
    ql::pages::RecordPage* page =
        family == 0   ? static_cast<ql::pages::RecordPage*>(&window.DockingPage())
        : family == 1 ? static_cast<ql::pages::RecordPage*>(&window.SingleGasPage())
                      : &window.MultiGasPage();
    QCOMPARE(window.CurrentPage(), static_cast<QWidget*>(page));

    const fs::path file = rig.dir / firmwareName.toStdString();
    const Bytes firmware = Firmware(type);
    WriteBytes(file, firmware);
    rig.choosers.files.push_back(file);
    const int browse = family == 0 ? 1039 : family == 1 ? 1073 : 1119;
    rig.Click(browse, page);
    QCOMPARE(page->FirmwarePath(), QString::fromStdString(file.string()));

    rig.messages.texts.clear();
    window.MainWrite();
    QCOMPARE(rig.messages.texts, QStringList{"USB file write success"});
    const std::size_t size = family == 0   ? ql::records::kDockingInfoSize
                             : family == 1 ? ql::records::kSingleGasOptionSize
                                           : ql::records::kMultiGasOptionSize;
    Bytes encoded(size, 0);
    page->PageToRecord(encoded);
    QCOMPARE(ReadBytes(drive / config.toStdString()), encoded);
    QCOMPARE(ReadBytes(drive / firmwareOnDrive.toStdString()), firmware);

    // READ: from the current name, or from the older one, which is copied forward.
    if (!olderConfig.isEmpty()) {
      fs::create_directories((drive / olderConfig.toStdString()).parent_path());
      fs::rename(drive / config.toStdString(), drive / olderConfig.toStdString());
    }
    rig.messages.texts.clear();
    window.MainRead();
    QCOMPARE(rig.messages.texts, QStringList{"USB file read success"});
    QCOMPARE(ReadBytes(drive / config.toStdString()), encoded);
    Bytes again(size, 0);
    page->PageToRecord(again);
    QCOMPARE(again, encoded);
  }

  void mainReadAndWriteNeedAnOpenPortInLinkMode() {
    WindowRig rig(QTest::currentTestFunction());
    auto& window = rig.MakeWindow();
    window.MainRead();
    window.MainWrite();
    QCOMPARE(rig.messages.texts, (QStringList{Q(msg::kPortNotOpen), Q(msg::kPortOpenCheck)}));
  }

  // No answer: the device type query gives up after its resends, on the virtual clock.
  void silentStationEndsInSendTimeOut() {
    // The clock outlives the window, whose engine stops its timers on closing.
    ql::testsupport::VirtualTimerHost timers;
    WindowRig rig(QTest::currentTestFunction());
    SilentStation silent;
    OpenOnVirtualClock(rig, timers);
    QCOMPARE(rig.Find<QAbstractButton>(1077)->text(), Q(msg::kCaptionClose));
    timers.Advance(std::chrono::seconds(19));
    QVERIFY(rig.messages.texts.isEmpty());
    timers.Advance(std::chrono::seconds(2));
    QCOMPARE(rig.messages.texts, QStringList{Q(msg::kSendTimeout)});
    QCOMPARE(rig.Find<QAbstractButton>(1077)->text(), Q(msg::kCaptionOpen));
    QCOMPARE(rig.Find<QLineEdit>(1228)->text(), Q(msg::kStatusDisconnected));
  }

  // A station that names its family and then falls silent: the record read gives up.
  void unansweredReadEndsInSendTimeOut() {
    // The clock outlives the window, whose engine stops its timers on closing.
    ql::testsupport::VirtualTimerHost timers;
    WindowRig rig(QTest::currentTestFunction());
    SilentStation station;
    auto& window = OpenOnVirtualClock(rig, timers);
    QVERIFY(station.Answer(ql::protocol::cmd::kDeviceType, {2}));
    QVERIFY(QTest::qWaitFor([&] { return rig.TabTexts().size() == 4; }, 5000));
    QVERIFY(window.MultiGasPage().PageEnabled());
    timers.Advance(std::chrono::seconds(30));
    QVERIFY(rig.messages.Has(Q(msg::kSendTimeout)));
    // The port stays open; the buttons are usable again.
    QCOMPARE(rig.Find<QAbstractButton>(1077)->text(), Q(msg::kCaptionClose));
    QVERIFY(rig.Find<QAbstractButton>(1230, &window.DockingPage())->isEnabled());
  }

  // A port that does not open: "Port open fail", then the system's reason, here another
  // program's lock on the port.
  void portThatDoesNotOpenSaysWhy() {
    WindowRig rig(QTest::currentTestFunction());
    SilentStation station;
    const int holder = ::open(station.Device().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(holder >= 0);
    QVERIFY(::flock(holder, LOCK_EX | LOCK_NB) == 0);
    rig.MakeWindow();
    rig.window->RefreshPorts();
    rig.Click(1077);
    ::close(holder);
    QCOMPARE(rig.messages.texts.size(), 2);
    QCOMPARE(rig.messages.texts[0], Q(msg::kPortOpenFail));
    QVERIFY2(
        rig.messages.texts[1].startsWith(QString::fromStdString(station.Device()) + " is in use"),
        qPrintable(rig.messages.texts[1]));
    QCOMPARE(rig.Find<QAbstractButton>(1077)->text(), Q(msg::kCaptionOpen));
  }

  // A write the station took, whose read-back gets no answer: the technician is told that
  // what the station stored was not checked.
  void unansweredReadBackSaysTheWriteWasNotChecked() {
    ql::testsupport::VirtualTimerHost timers;
    WindowRig rig(QTest::currentTestFunction());
    SilentStation station;
    auto& window = OpenOnVirtualClock(rig, timers);
    QVERIFY(station.Answer(ql::protocol::cmd::kDeviceType, {3}));  // a pump station: no read
    QVERIFY(QTest::qWaitFor([&] { return window.DockingPage().PageEnabled(); }, 5000));
    rig.messages.texts.clear();
    rig.Click(1231, &window.DockingPage());
    QVERIFY(station.Answer(ql::protocol::cmd::kWriteRequest, {}));
    QVERIFY(station.Answer(ql::protocol::cmd::kWriteData, {1}));
    QVERIFY(rig.WaitForMessage(Q(msg::kWriteCompleteDocking), 5000));
    // The read-back goes out and gets nothing.
    QVERIFY(QTest::qWaitFor(
        [&] {
          return window.StationEngine().PortOpen() &&
                 !rig.Find<QAbstractButton>(1231, &window.DockingPage())->isEnabled();
        },
        5000));
    timers.Advance(std::chrono::seconds(30));
    QCOMPARE(rig.messages.texts, (QStringList{Q(msg::kWriteCompleteDocking), Q(msg::kSendTimeout),
                                              ql::app::kReadBackFailed}));
  }

  // Every interactive control has its id and a name for screen readers: the main window's,
  // its page windows' and the traffic monitor's.
  void everyControlHasAnIdAndAnAccessibleName() {
    WindowRig rig(QTest::currentTestFunction());
    auto& window = rig.MakeWindow();
    QStringList missing;
    auto widgets = window.findChildren<QWidget*>();
    widgets += window.TrafficMonitor().findChildren<QWidget*>();
    QVERIFY(widgets.contains(&window.TimePage()));
    QVERIFY(widgets.contains(&window.ServicePage()));
    for (QWidget* widget : widgets) {
      const bool interactive = qobject_cast<QAbstractButton*>(widget) != nullptr ||
                               qobject_cast<QLineEdit*>(widget) != nullptr ||
                               qobject_cast<QComboBox*>(widget) != nullptr ||
                               qobject_cast<QDateTimeEdit*>(widget) != nullptr ||
                               qobject_cast<QAbstractItemView*>(widget) != nullptr;
      if (!interactive) continue;
      // Parts of a composite control (a combo's edit and its popup list, a date edit's
      // text, the tab bar's scroll arrows, a list's header) are named through their control.
      QWidget* parent = widget->parentWidget();
      const bool insideList =
          parent != nullptr && (qobject_cast<QAbstractItemView*>(parent) ||
                                qobject_cast<QAbstractItemView*>(parent->parentWidget()));
      const bool comboPopup =
          parent != nullptr && qobject_cast<QComboBox*>(parent->parentWidget()) != nullptr;
      if (qobject_cast<QComboBox*>(parent) || comboPopup ||
          qobject_cast<QAbstractSpinBox*>(parent) || qobject_cast<QTabBar*>(parent) || insideList ||
          widget->objectName().startsWith("qt_")) {
        continue;
      }
      if (parent != nullptr && qobject_cast<ql::pages::ArrowPair*>(parent) != nullptr) {
        if (widget->accessibleName().isEmpty()) missing << "arrow of " + parent->accessibleName();
        continue;
      }
      if (!widget->property("controlId").isValid() || widget->accessibleName().isEmpty()) {
        missing << QStringLiteral("%1 id %2 '%3'")
                       .arg(widget->metaObject()->className())
                       .arg(widget->property("controlId").toInt())
                       .arg(widget->accessibleName());
      }
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join("\n")));
  }
};

QTEST_MAIN(WindowRulesTest)
#include "window_rules_test.moc"
