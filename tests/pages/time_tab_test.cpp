// The date and time page through its widgets: the set and read requests with what the
// pickers hold, "CURRENT TIME", the enabling by station and Auto Sync, and the two clocks
// as the window refreshes them.

#include "pages/time_tab.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <string>
#include <vector>

#include "pages/control_id.h"
#include "tests/pages/fake_host.h"
#include "tests/support/fixed_wall_clock.h"

using ql::pages::cDlgtTimeSetTab;
using ql::pages::Control;
using ql::testsupport::FakeHost;
using ql::testsupport::FixedWallClock;
using ql::testsupport::LocalEpoch;

namespace {

struct Fixture {
  FakeHost host;
  FixedWallClock clock;
  cDlgtTimeSetTab page{host, clock};
  Fixture() {
    clock.now = LocalEpoch(2016, 3, 5, 10, 0, 30);
    page.SetStationAvailable(true);
    page.show();
    (void)QTest::qWaitForWindowExposed(&page);
  }
  QString Text(int id) { return Control<QLineEdit>(&page, id)->text(); }
  QPushButton* Button(int id) { return Control<QPushButton>(&page, id); }
  QStringList Clocks() { return {Text(1024), Text(1026), Text(1027), Text(1028)}; }
};

}  // namespace

class TimeTabTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsHaveTheirIdsAndCaptions_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("name");
    QTest::newRow("CURRENT TIME") << 1234 << "CURRENT\nTIME"
                                  << "CURRENT TIME";
    QTest::newRow("UPDATE") << 1232 << "DATE/TIME\nUPDATE"
                            << "DATE/TIME UPDATE";
    QTest::newRow("READ") << 1233 << "DATE/TIME\nREAD"
                          << "DATE/TIME READ";
  }
  void controlsHaveTheirIdsAndCaptions() {
    QFETCH(int, id);
    QFETCH(QString, caption);
    QFETCH(QString, name);
    Fixture f;
    QPushButton* button = f.Button(id);
    QVERIFY(button != nullptr);
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->accessibleName(), name);
    QCOMPARE(f.Text(1037), QStringLiteral("PC DATE/TIME"));
    QCOMPARE(f.Text(1040), QStringLiteral("Docking DATE/TIME"));
    QCOMPARE(Control<QDateEdit>(&f.page, 1241)->displayFormat(),
             QStringLiteral("    yyyy - MM - dd "));
    QCOMPARE(Control<QTimeEdit>(&f.page, 1242)->displayFormat(),
             QStringLiteral("      HH : mm : ss "));
  }

  // Which controls a station and Auto Sync leave usable.
  void enablingFollowsStationAndAutoSync_data() {
    QTest::addColumn<bool>("station");
    QTest::addColumn<bool>("autoSync");
    QTest::addColumn<bool>("readEnabled");
    QTest::addColumn<bool>("setEnabled");
    QTest::newRow("no station") << false << false << false << false;
    QTest::newRow("station") << true << false << true << true;
    QTest::newRow("station, Auto Sync") << true << true << true << false;
    QTest::newRow("no station, Auto Sync") << false << true << false << false;
  }
  void enablingFollowsStationAndAutoSync() {
    QFETCH(bool, station);
    QFETCH(bool, autoSync);
    QFETCH(bool, readEnabled);
    QFETCH(bool, setEnabled);
    Fixture f;
    f.page.SetAutoSync(autoSync);
    f.page.SetStationAvailable(station);
    QCOMPARE(f.Button(1233)->isEnabled(), readEnabled);
    for (int id : {1234, 1241, 1242, 1232}) {
      QVERIFY2(ql::pages::FindControl(&f.page, id)->isEnabled() == setEnabled,
               qPrintable(QString::number(id)));
    }
    // Auto Sync turned off again gives the setting controls back.
    f.page.SetAutoSync(false);
    QCOMPARE(f.Button(1232)->isEnabled(), station);
  }

  // A request in flight: nothing more is sent; the pickers stay usable.
  void busyPageSendsNothing() {
    Fixture f;
    f.page.SetBusy(true);
    QVERIFY(!f.Button(1232)->isEnabled());
    QVERIFY(!f.Button(1233)->isEnabled());
    QVERIFY(Control<QDateEdit>(&f.page, 1241)->isEnabled());
    f.page.SetAutoSync(true);
    f.page.SetBusy(false);
    QVERIFY(!f.Button(1232)->isEnabled());  // Auto Sync still holds it
    QVERIFY(f.Button(1233)->isEnabled());
  }

  void updateSendsWhatThePickersHold() {
    Fixture f;
    f.page.SetPickedDateTime({2017, 12, 31, 23, 59, 59});
    QTest::mouseClick(f.Button(1232), Qt::LeftButton);
    QCOMPARE(f.host.station.calls,
             (std::vector<std::string>{"SetStationClock 2017 12 31 23 59 59"}));
    QTest::mouseClick(f.Button(1233), Qt::LeftButton);
    QCOMPARE(f.host.station.calls.back(), std::string("ReadStationClock"));
    QVERIFY(f.host.messages.empty());
  }

  // Typed into the pickers, as a technician sets them.
  void typedPickersAreSent() {
    Fixture f;
    auto* date = Control<QDateEdit>(&f.page, 1241);
    auto* time = Control<QTimeEdit>(&f.page, 1242);
    QTest::mouseClick(f.Button(1234), Qt::LeftButton);  // CURRENT TIME: 2016-03-05 10:00:30
    date->setFocus();
    date->setSelectedSection(QDateTimeEdit::YearSection);
    QTest::keyClicks(date, QStringLiteral("2019"));
    time->setFocus();
    time->setSelectedSection(QDateTimeEdit::HourSection);
    QTest::keyClicks(time, QStringLiteral("07"));
    QTest::mouseClick(f.Button(1232), Qt::LeftButton);
    QCOMPARE(f.host.station.calls.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(f.host.station.calls[0]),
             QStringLiteral("SetStationClock 2019 3 5 7 0 30"));
  }

  void currentTimeCopiesThePcClock() {
    Fixture f;
    f.page.SetPickedDateTime({2001, 1, 1, 1, 1, 1});
    f.clock.now = LocalEpoch(2024, 2, 29, 23, 59, 58);
    QTest::mouseClick(f.Button(1234), Qt::LeftButton);
    const ql::protocol::DateTime expected{2024, 2, 29, 23, 59, 58};
    QVERIFY(f.page.PickedDateTime() == expected);
  }

  // Station 2016-03-05 10:00:00 read at PC 10:00:30: thirty seconds of refreshes later the
  // PC shows 10:01:00 and the station 10:00:30; no refresh asks the station.
  void stationClockFollowsThePcClockByTheOffset() {
    Fixture f;
    const std::int64_t offset = 30;
    f.page.ShowStationClock({2016, 3, 5, 10, 0, 0});
    f.page.RefreshClock(offset);
    QCOMPARE(f.Clocks(), (QStringList{"2016-03-05", "10:00:30", "2016-03-05", "10:00:00"}));
    for (int tick = 0; tick < 60; ++tick) {
      if (tick % 2 == 1) ++f.clock.now;
      f.page.RefreshClock(offset);
    }
    QCOMPARE(f.Clocks(), (QStringList{"2016-03-05", "10:01:00", "2016-03-05", "10:00:30"}));
    QVERIFY(f.host.station.calls.empty());
  }

  // Across midnight and a year's end the station's date turns with its time.
  void stationDateTurnsWithTheOffset() {
    Fixture f;
    f.clock.now = LocalEpoch(2021, 1, 1, 0, 0, 10);
    f.page.RefreshClock(20);
    QCOMPARE(f.Clocks(), (QStringList{"2021-01-01", "00:00:10", "2020-12-31", "23:59:50"}));
  }

  void closedPortEmptiesTheStationClockUntilTheNextAnswer() {
    Fixture f;
    f.page.ShowStationClock({2016, 3, 5, 10, 0, 0});
    f.page.ClearStationClock();
    f.page.RefreshClock(std::nullopt);
    QCOMPARE(f.Text(1027), QString());
    QCOMPARE(f.Text(1028), QString());
    QCOMPARE(f.Text(1026), QStringLiteral("10:00:30"));
    f.page.ShowStationClock({2016, 1, 1, 8, 5, 9});
    QCOMPARE(f.Text(1027), QStringLiteral("2016-01-01"));
    QCOMPARE(f.Text(1028), QStringLiteral("08:05:09"));
  }

  // Enter in a picker neither sends nor closes anything.
  void enterInAPickerSendsNothing() {
    Fixture f;
    auto* date = Control<QDateEdit>(&f.page, 1241);
    date->setFocus();
    QTest::keyClick(date, Qt::Key_Return);
    QTest::keyClick(date, Qt::Key_Escape);
    QVERIFY(f.host.station.calls.empty());
    QVERIFY(f.page.isVisible());
  }
};

QTEST_MAIN(TimeTabTest)
#include "time_tab_test.moc"
