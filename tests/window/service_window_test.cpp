// The "Service" menu's windows: the traffic monitor's lines and colours, and against the
// station emulator the date and time page (set and read back, the display on the virtual
// clock, emptied when the port closes), the service page's requests and answers, the
// factory default with its reconnection, and the menu itself.

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTime>
#include <vector>

#include "app/traffic_monitor.h"
#include "engine/messages.h"
#include "pages/docking_tab.h"
#include "pages/service_tab.h"
#include "pages/time_tab.h"
#include "tests/support/fixed_wall_clock.h"
#include "tests/support/virtual_timer_host.h"
#include "tests/window/window_rig.h"

using ql::app::CCommDlg;
namespace fs = std::filesystem;
namespace pages = ql::pages;
using ql::link::TrafficDirection;
using ql::testsupport::FixedWallClock;
using ql::testsupport::LocalEpoch;
using ql::testsupport::RunProgram;
using ql::testsupport::VirtualTimerHost;
using ql::testsupport::WindowRig;
namespace msg = ql::engine::msg;

namespace {

QString Q(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

struct Line {
  QString text;
  QColor colour;
};

// The monitor's lines with the colour each is drawn in; the empty block after the last
// line end is not a line.
std::vector<Line> Lines(const QTextEdit& log) {
  std::vector<Line> lines;
  for (QTextBlock block = log.document()->begin(); block.isValid(); block = block.next()) {
    if (block.text().isEmpty() && !block.next().isValid()) break;
    const auto fragment = block.begin().fragment();
    lines.push_back(
        {block.text(), fragment.isValid() ? fragment.charFormat().foreground().color() : QColor()});
  }
  return lines;
}

std::vector<std::uint8_t> Counting(std::size_t n, std::uint8_t first) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

QAction* MenuAction(QWidget& window, const QString& menu, const QString& item) {
  for (QMenuBar* bar : window.findChildren<QMenuBar*>()) {
    for (QAction* top : bar->actions()) {
      if (top->text().remove('&') != menu || top->menu() == nullptr) continue;
      for (QAction* action : top->menu()->actions())
        if (action->text() == item) return action;
    }
  }
  return nullptr;
}

}  // namespace

class ServiceWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // ---- the traffic monitor on its own ----

  void monitorLinesAreLaidOutAndColouredByDirection() {
    CCommDlg monitor;
    monitor.show();
    QVERIFY(monitor.MonitorVisible());
    const std::vector<std::uint8_t> request = {0x02, 0x40, 0x00, 0x00, 0x1D, 0xAD, 0x03};
    monitor.LogSent(request);
    monitor.LogReceived(Counting(45, 0x30));
    const auto lines = Lines(monitor.LogView());
    QCOMPARE(lines.size(), std::size_t{4});
    QCOMPARE(lines[0].text, QStringLiteral("[TX] 02 40 00 00 1D AD 03 "));
    QCOMPARE(lines[0].colour, QColor(255, 0, 0));
    QCOMPARE(lines[1].text, QStringLiteral("[RX] 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F "
                                           "40 41 42 43 "));
    QCOMPARE(lines[3].text, QStringLiteral("[RX] 58 59 5A 5B 5C "));
    for (std::size_t i = 1; i < 4; ++i) QCOMPARE(lines[i].colour, QColor(0, 0, 255));
    // The last line is in view.
    auto* bar = monitor.LogView().verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());
  }

  // Character mode: 40 bytes a line, each as its character; a CR or NUL in the frame is
  // drawn as a visible picture and breaks no line.
  void asciiModeShowsCharacters() {
    CCommDlg monitor;
    monitor.show();
    pages::Control<QAbstractButton>(&monitor, 1011)->click();
    std::vector<std::uint8_t> frame = Counting(45, 'A');
    frame[2] = '\r';
    frame[3] = 0x00;
    monitor.LogReceived(frame);
    const auto lines = Lines(monitor.LogView());
    QCOMPARE(lines.size(), std::size_t{2});
    QCOMPARE(lines[0].text.size(), 45);
    QVERIFY(lines[0].text.startsWith(QStringLiteral("[RX] AB\u240D\u2400EFG")));
    QCOMPARE(lines[1].text, QStringLiteral("[RX] ijklm"));
  }

  void logStartsAfreshPastTheLimitAndClears() {
    CCommDlg monitor;
    monitor.show();
    const std::vector<std::uint8_t> request = {0x02, 0x40, 0x00, 0x00, 0x1D, 0xAD, 0x03};
    // 27 characters an entry with its line end: 1897 entries hold 51219.
    for (int i = 0; i < 1897; ++i) monitor.LogSent(request);
    QCOMPARE(Lines(monitor.LogView()).size(), std::size_t{1897});
    monitor.LogReceived(request);
    const auto lines = Lines(monitor.LogView());
    QCOMPARE(lines.size(), std::size_t{1});
    QCOMPARE(lines[0].text, QStringLiteral("[RX] 02 40 00 00 1D AD 03 "));
    pages::Control<QAbstractButton>(&monitor, 1041)->click();  // CLEAR
    QVERIFY(Lines(monitor.LogView()).empty());
  }

  void bothButtonsOnlyHideTheMonitor_data() {
    QTest::addColumn<int>("id");
    QTest::newRow("확인") << 1;
    QTest::newRow("취소") << 2;
  }
  void bothButtonsOnlyHideTheMonitor() {
    QFETCH(int, id);
    CCommDlg monitor;
    monitor.show();
    monitor.LogSent(Counting(3, 1));
    pages::Control<QAbstractButton>(&monitor, id)->click();
    QVERIFY(!monitor.isVisible());
    QVERIFY(!monitor.MonitorVisible());
    QCOMPARE(Lines(monitor.LogView()).size(), std::size_t{1});  // kept for the next look
  }

  // ---- against the station emulator ----

  // Each entry of the "Service" menu opens its window; the service window brings the link
  // mode back and keeps "USB Disk" disabled while it is shown.
  void serviceMenuOpensItsWindows() {
    WindowRig rig(QTest::currentTestFunction());
    auto& window = rig.MakeWindow();
    const fs::path drive = rig.dir / "drive";
    fs::create_directories(drive);
    rig.mounts.roots.insert(drive);
    rig.choosers.folders.push_back(drive);
    rig.Click(1046);  // USB Disk
    QVERIFY(rig.Find<QRadioButton>(1046)->isChecked());

    const std::vector<std::pair<QString, QWidget*>> entries = {
        {QStringLiteral("Date and Time"), &window.TimeWindow()},
        {QStringLiteral("Service"), &window.ServiceWindow()},
        {QStringLiteral("Traffic Monitor"), &window.TrafficMonitor()}};
    for (const auto& [item, shown] : entries) {
      QAction* action = MenuAction(window, QStringLiteral("Service"), item);
      QVERIFY2(action != nullptr, qPrintable(item));
      QVERIFY(!shown->isVisible());
      action->trigger();
      QVERIFY2(shown->isVisible(), qPrintable(item));
    }
    auto* usbDisk = rig.Find<QRadioButton>(1046);
    QVERIFY(rig.Find<QRadioButton>(1044)->isChecked());
    QVERIFY(!usbDisk->isEnabled());
    window.ServiceWindow().close();
    QVERIFY(usbDisk->isEnabled());
    QVERIFY(rig.messages.texts.isEmpty());
  }

  // The monitor logs the link's frames while shown, and nothing while hidden.
  void monitorLogsTheLinkWhileShown() {
    WindowRig rig(QTest::currentTestFunction());
    rig.StartStation(2);
    auto& window = rig.MakeWindow();
    window.ShowTrafficMonitor();
    QVERIFY(rig.OpenAndRead());
    const auto lines = Lines(window.TrafficMonitor().LogView());
    QVERIFY(lines.size() >= 4);
    QCOMPARE(lines[0].text, QStringLiteral("[TX] 02 40 00 00 1D AD 03 "));  // the device type
    QCOMPARE(lines[0].colour, QColor(255, 0, 0));
    QVERIFY(lines[1].text.startsWith(QStringLiteral("[RX] 02 40 ")));
    QCOMPARE(lines[1].colour, QColor(0, 0, 255));

    window.TrafficMonitor().hide();
    rig.messages.texts.clear();
    rig.Click(1230, &window.DockingPage());  // Read
    QVERIFY(rig.WaitForMessage(Q(msg::kReadComplete)));
    QCOMPARE(Lines(window.TrafficMonitor().LogView()).size(), lines.size());
  }

  // Set from the page, shown, followed on the virtual clock, read back by the page and by
  // quaylink-cli; the station fields empty when the port closes.
  void clockIsSetFollowedAndReadBack() {
    // The clocks outlive the window, which stops its timers on closing.
    FixedWallClock clock;
    clock.now = LocalEpoch(2030, 6, 1, 12, 0, 0);
    VirtualTimerHost timers;
    WindowRig rig(QTest::currentTestFunction());
    rig.StartStation(2);
    auto& window = rig.MakeWindow(&timers, &clock);
    timers.SetTarget([&window](int id) { window.OnTimer(id); });
    QVERIFY(timers.Running(ql::engine::timer::kClockDisplay));
    QVERIFY(rig.OpenAndRead());
    window.ShowTimeWindow();
    QWidget* page = &window.TimePage();
    auto text = [&](int id) { return rig.Find<QLineEdit>(id, page)->text(); };

    window.TimePage().SetPickedDateTime({2016, 3, 5, 10, 0, 0});
    rig.Click(1232, page);  // DATE/TIME UPDATE
    QVERIFY(QTest::qWaitFor([&] { return text(1027) == QStringLiteral("2016-03-05"); }, 10000));
    const QTime set = QTime::fromString(text(1028), QStringLiteral("HH:mm:ss"));
    // The emulator's clock runs on while it answers.
    QVERIFY2(set >= QTime(10, 0, 0) && set <= QTime(10, 0, 2), qPrintable(text(1028)));

    clock.now += 30;
    timers.Advance(std::chrono::seconds(30));
    QCOMPARE(text(1024), QStringLiteral("2030-06-01"));
    QCOMPARE(text(1026), QStringLiteral("12:00:30"));
    QCOMPARE(text(1028), set.addSecs(30).toString(QStringLiteral("HH:mm:ss")));

    // A hidden page is not refreshed.
    window.TimeWindow().hide();
    clock.now += 10;
    timers.Advance(std::chrono::seconds(10));
    QCOMPARE(text(1026), QStringLiteral("12:00:30"));
    window.ShowTimeWindow();
    QCOMPARE(text(1026), QStringLiteral("12:00:40"));
    QCOMPARE(text(1028), set.addSecs(40).toString(QStringLiteral("HH:mm:ss")));

    // Read back: the station kept the time it was given.
    const QString shown = text(1028);
    rig.Click(1233, page);  // DATE/TIME READ
    QVERIFY(QTest::qWaitFor([&] { return text(1028) != shown; }, 10000));
    QCOMPARE(text(1027), QStringLiteral("2016-03-05"));
    const QTime read = QTime::fromString(text(1028), QStringLiteral("HH:mm:ss"));
    QVERIFY2(read >= set && read <= set.addSecs(10), qPrintable(text(1028)));
    QVERIFY(rig.messages.texts.filter(QStringLiteral("invalid")).isEmpty());

    // CLOSE: the station fields empty and stay so.
    rig.Click(1077);
    QVERIFY(QTest::qWaitFor([&] { return text(1028).isEmpty(); }, 5000));
    QCOMPARE(text(1027), QString());
    clock.now += 1;
    timers.Advance(std::chrono::seconds(1));
    QCOMPARE(text(1028), QString());
    QCOMPARE(text(1026), QStringLiteral("12:00:41"));
    QVERIFY(!rig.Find<QAbstractButton>(1233, page)->isEnabled());

    const auto cli = RunProgram({QUAYLINK_CLI, "--port", rig.device, "clock", "read"});
    QCOMPARE(cli.exitCode, 0);
    QVERIFY2(QString::fromStdString(cli.out).startsWith(QStringLiteral("2016-03-05 10:00:")),
             cli.out.c_str());
  }

  // Each service request's answer as the technician reads it.
  void serviceRequestsAreAnswered_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("message");
    QTest::newRow("Self Test") << QStringList{} << 1225 << Q(msg::kSelfTestDone);
    QTest::newRow("FW Erase") << QStringList{} << 1239 << Q(msg::kFirmwareErased);
    QTest::newRow("link up") << QStringList{} << 1256 << Q(msg::kLinkUpOk);
    QTest::newRow("link down") << QStringList{"--ethernet", "down"} << 1256 << Q(msg::kLinkUpFail);
  }
  void serviceRequestsAreAnswered() {
    QFETCH(QStringList, options);
    QFETCH(int, button);
    QFETCH(QString, message);
    WindowRig rig(QTest::currentTestFunction());
    std::vector<std::string> args;
    for (const QString& option : options) args.push_back(option.toStdString());
    rig.StartStation(2, args);
    auto& window = rig.MakeWindow();
    QVERIFY(rig.OpenAndRead());
    window.ShowServiceWindow();
    rig.messages.texts.clear();
    rig.Click(button, &window.ServicePage());
    QVERIFY(rig.WaitForMessage(message));
    QCOMPARE(rig.messages.texts, QStringList{message});
  }

  void serialNumberAndIpAddress() {
    WindowRig rig(QTest::currentTestFunction());
    rig.StartStation(2, {"--ip", "10.0.200.7"});
    auto& window = rig.MakeWindow();
    QWidget* page = &window.ServicePage();
    window.ShowServiceWindow();
    // No station: the IP controls are off and Write says the port is not open.
    QVERIFY(!rig.Find<QAbstractButton>(1254, page)->isEnabled());
    rig.Click(1226, page);
    QCOMPARE(rig.messages.texts, QStringList{Q(msg::kPortNotOpen)});

    QVERIFY(rig.OpenAndRead());
    rig.Click(1254, page);  // Get IpAdress
    auto* address = rig.Find<QLineEdit>(1255, page);
    QVERIFY(QTest::qWaitFor([&] { return !address->text().isEmpty(); }, 10000));
    QCOMPARE(address->text(), QStringLiteral("10.0.200.7"));

    rig.messages.texts.clear();
    rig.Click(1226, page);
    QCOMPARE(rig.messages.texts, QStringList{Q(msg::kSerialNumberEmpty)});
    auto* serial = rig.Find<QLineEdit>(1198, page);
    QTest::keyClicks(serial, "DS2004417");
    rig.messages.texts.clear();
    rig.Click(1226, page);
    QVERIFY(rig.WaitForMessage(Q(msg::kSerialNumberWritten)));
    // The station's record carries it: the docking page reads it back.
    rig.messages.texts.clear();
    rig.Click(1230, &window.DockingPage());
    QVERIFY(rig.WaitForMessage(Q(msg::kReadComplete)));
    QCOMPARE(rig.Find<QLineEdit>(1054, &window.DockingPage())->text(), QStringLiteral("DS2004417"));
  }

  // The station returns to its sample records and the window connects again by itself.
  void factoryDefaultResetsTheStationAndReconnects() {
    WindowRig rig(QTest::currentTestFunction());
    rig.StartStation(2);
    auto& window = rig.MakeWindow();
    QVERIFY(rig.OpenAndRead());
    auto* location = rig.Find<QLineEdit>(1053, &window.DockingPage());
    const QString sample = location->text();
    location->selectAll();
    QTest::keyClicks(location, "BAY9");
    rig.Click(1231, &window.DockingPage());
    QVERIFY(rig.WaitForMessage(Q(msg::kWriteCompleteDocking)));
    window.Tabs().setCurrentIndex(1);

    window.ShowServiceWindow();
    rig.messages.texts.clear();
    rig.Click(1240, &window.ServicePage());
    QVERIFY(rig.WaitForMessage(Q(msg::kFactoryDefaultDone)));
    QVERIFY(rig.WaitForMessage(Q(msg::kReadComplete)));
    QCOMPARE(rig.Find<QAbstractButton>(1077)->text(), Q(msg::kCaptionClose));
    QCOMPARE(rig.TabTexts(), (QStringList{"Docking Station", "RVX", "Logs", "Certification"}));
    QCOMPARE(window.CurrentPage(), static_cast<QWidget*>(&window.DockingPage()));
    QCOMPARE(location->text(), sample);
    QVERIFY(rig.messages.texts.filter(QStringLiteral("timeOut")).isEmpty());
  }
};

QTEST_MAIN(ServiceWindowTest)
#include "service_window_test.moc"
