// The log page through its widgets: rows in the order given, "Select All", "Local Save"
// (folder chooser, closed port, checked names in list order), "Refresh", the enabling the
// main window drives and the tab-selection rule.

#include "pages/log_tab.h"

#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QVBoxLayout>
#include <filesystem>
#include <string>
#include <vector>

#include "pages/control_id.h"
#include "pages/field_widgets.h"
#include "tests/pages/fake_host.h"

using ql::pages::cDlgLOGTab;
using ql::pages::Control;
using ql::pages::FindControl;
using ql::testsupport::FakeHost;

namespace {

constexpr const char* kFolderTitle = "Select Location to Save Log File To";

// The page as the window has it while a station is connected, shown so that clicks and
// keys reach its controls.
struct Fixture {
  FakeHost host;
  cDlgLOGTab page{host};
  Fixture() {
    host.station.portOpen = true;
    page.EnableControls(true);
    page.show();
    (void)QTest::qWaitForWindowExposed(&page);
  }
  QTableWidget* List() { return Control<QTableWidget>(&page, 1082); }
  QCheckBox* SelectAll() { return Control<QCheckBox>(&page, 1083); }
  QPushButton* Save() { return Control<QPushButton>(&page, 1084); }
  QPushButton* Refresh() { return Control<QPushButton>(&page, 1086); }

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
};

}  // namespace

class LogTabTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsHaveTheirIdsAndCaptions_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    QTest::newRow("list") << 1082 << "Log File Name";
    QTest::newRow("Select All") << 1083 << "Select All";
    QTest::newRow("Local Save") << 1084 << "Local Save";
    QTest::newRow("Refresh") << 1086 << "Refresh";
  }
  void controlsHaveTheirIdsAndCaptions() {
    QFETCH(int, id);
    QFETCH(QString, name);
    FakeHost host;
    cDlgLOGTab page(host);
    QWidget* control = FindControl(&page, id);
    QVERIFY(control != nullptr);
    QCOMPARE(control->accessibleName(), name);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) QCOMPARE(button->text(), name);
    // Disabled until the window enables them for a connected station.
    if (id != 1082) QVERIFY(!control->isEnabled());
  }

  void listHasOneNameColumnWithGridLines() {
    FakeHost host;
    cDlgLOGTab page(host);
    auto* list = Control<QTableWidget>(&page, 1082);
    QCOMPARE(list->columnCount(), 1);
    QCOMPARE(list->horizontalHeaderItem(0)->text(), QString("Log File Name"));
    QCOMPARE(list->columnWidth(0), 150);
    QVERIFY(list->showGrid());
  }

  void rowsKeepTheOrderAndTheNames() {
    Fixture f;
    // Latin-1 as the station sends it, and a name that only looks like a path.
    const std::vector<std::string> names = {"LOG_0003.TXT", "LOG_\xE9T\xE9.TXT", "..\\x.txt",
                                            "LOG_0001.TXT"};
    for (const std::string& name : names) f.page.AddRow(ql::pages::FromLatin1(name));
    QCOMPARE(f.List()->rowCount(), 4);
    QCOMPARE(f.List()->item(1, 0)->text(), QString::fromUtf8("LOG_\u00e9T\u00e9.TXT"));
    QCOMPARE(f.RowChecks(), (std::vector<bool>{false, false, false, false}));
    QVERIFY(f.page.CheckedNames().isEmpty());

    f.host.choosers.folders.push_back(std::filesystem::path("/tmp/logs"));
    f.ToggleRow(3);
    f.ToggleRow(1);
    f.ToggleRow(2);
    QCOMPARE(f.RowChecks(), (std::vector<bool>{false, true, true, true}));
    QTest::mouseClick(f.Save(), Qt::LeftButton);
    // List order, not the order of checking; the bytes as received.
    QCOMPARE(f.host.station.savedNames,
             (std::vector<std::string>{"LOG_\xE9T\xE9.TXT", "..\\x.txt", "LOG_0001.TXT"}));
    QCOMPARE(f.host.station.savedFolder, std::filesystem::path("/tmp/logs"));

    f.page.ClearList();
    QCOMPARE(f.List()->rowCount(), 0);
    QVERIFY(f.page.CheckedNames().isEmpty());
  }

  void selectAllChecksAndClearsEveryRow() {
    Fixture f;
    for (const char* name : {"A.LOG", "B.LOG", "C.LOG"}) f.page.AddRow(name);
    f.ToggleRow(1);
    QTest::mouseClick(f.SelectAll(), Qt::LeftButton);
    QVERIFY(f.SelectAll()->isChecked());
    QCOMPARE(f.RowChecks(), (std::vector<bool>{true, true, true}));
    QCOMPARE(f.page.CheckedNames(), (QStringList{"A.LOG", "B.LOG", "C.LOG"}));
    QTest::mouseClick(f.SelectAll(), Qt::LeftButton);
    QCOMPARE(f.RowChecks(), (std::vector<bool>{false, false, false}));
  }

  void localSave_data() {
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<bool>("chosen");  // the folder chooser answers (else it is cancelled)
    QTest::addColumn<bool>("checkRow");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<int>("chooserShown");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("cancelled chooser")
        << true << false << true << QStringList{} << 1 << QStringList{};
    QTest::newRow("port closed: the engine refuses, no chooser")
        << false << true << true << QStringList{"SaveLogs"} << 0 << QStringList{};
    QTest::newRow("nothing checked: the engine refuses")
        << true << true << false << QStringList{"SaveLogs"} << 1 << QStringList{};
    QTest::newRow("checked row") << true << true << true << QStringList{"SaveLogs"} << 1
                                 << QStringList{"B.LOG"};
  }
  void localSave() {
    QFETCH(bool, portOpen);
    QFETCH(bool, chosen);
    QFETCH(bool, checkRow);
    QFETCH(QStringList, calls);
    QFETCH(int, chooserShown);
    QFETCH(QStringList, names);
    Fixture f;
    f.host.station.portOpen = portOpen;
    f.page.AddRow("A.LOG");
    f.page.AddRow("B.LOG");
    if (checkRow) f.ToggleRow(1);
    if (chosen) {
      f.host.choosers.folders.push_back(std::filesystem::path("/tmp/saved"));
    } else {
      f.host.choosers.folders.push_back(std::nullopt);
    }
    QTest::mouseClick(f.Save(), Qt::LeftButton);

    QStringList made;
    for (const std::string& call : f.host.station.calls) made << QString::fromStdString(call);
    QCOMPARE(made, calls);
    QCOMPARE(static_cast<int>(f.host.choosers.folderTitles.size()), chooserShown);
    if (chooserShown > 0) QCOMPARE(f.host.choosers.folderTitles[0], QString(kFolderTitle));
    QStringList saved;
    for (const std::string& name : f.host.station.savedNames) {
      saved << QString::fromStdString(name);
    }
    QCOMPARE(saved, names);
    if (!calls.isEmpty()) {
      QCOMPARE(f.host.station.savedFolder,
               portOpen ? std::filesystem::path("/tmp/saved") : std::filesystem::path());
    }
    QVERIFY(f.host.messages.empty());  // every refusal is the engine's to show
    QVERIFY(f.page.SaveEnabled());     // the engine disables the buttons when a run starts
  }

  void refreshAsksTheStationAndClearsSelectAll() {
    Fixture f;
    f.page.AddRow("A.LOG");
    f.page.AddRow("B.LOG");
    QTest::mouseClick(f.SelectAll(), Qt::LeftButton);
    QTest::mouseClick(f.Refresh(), Qt::LeftButton);
    QCOMPARE(f.host.station.calls, std::vector<std::string>{"RefreshLogList"});
    QVERIFY(!f.SelectAll()->isChecked());
    // The rows stay until the station's answer replaces them.
    QCOMPARE(f.RowChecks(), (std::vector<bool>{true, true}));
  }

  void enabling() {
    Fixture f;
    QVERIFY(f.page.SaveEnabled());
    f.page.EnableSaveControls(false);  // a save run
    QVERIFY(!f.page.SaveEnabled());
    QVERIFY(!f.Refresh()->isEnabled());
    QVERIFY(f.SelectAll()->isEnabled());
    f.page.EnableSaveControls(true);
    QVERIFY(f.page.SaveEnabled());
    QVERIFY(f.Refresh()->isEnabled());
    f.page.EnableControls(false);  // disconnected
    QVERIFY(!f.page.SaveEnabled());
    QVERIFY(!f.Refresh()->isEnabled());
    QVERIFY(!f.SelectAll()->isEnabled());
    // The answer does not depend on the page being shown.
    f.page.EnableControls(true);
    f.page.hide();
    QVERIFY(f.page.SaveEnabled());
  }

  void tabSelected_data() {
    QTest::addColumn<bool>("saveEnabled");
    QTest::addColumn<bool>("refreshBefore");
    QTest::newRow("idle, Refresh was off") << true << false;
    QTest::newRow("idle, Refresh was on") << true << true;
    QTest::newRow("save run, Refresh was on") << false << true;
    QTest::newRow("save run, Refresh was off") << false << false;
  }
  void tabSelected() {
    QFETCH(bool, saveEnabled);
    QFETCH(bool, refreshBefore);
    Fixture f;
    f.page.AddRow("A.LOG");
    f.page.AddRow("B.LOG");
    QTest::mouseClick(f.SelectAll(), Qt::LeftButton);
    f.Save()->setEnabled(saveEnabled);
    f.Refresh()->setEnabled(refreshBefore);
    f.page.OnTabSelected();
    QCOMPARE(f.Refresh()->isEnabled(), saveEnabled);
    QVERIFY(!f.SelectAll()->isChecked());
    QCOMPARE(f.RowChecks(), (std::vector<bool>{true, true}));  // the rows keep their checks
    QVERIFY(f.host.station.calls.empty());
  }

  void enterAndEscapeAreSwallowed_data() {
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("key");
    QTest::newRow("Escape in the list") << 1082 << static_cast<int>(Qt::Key_Escape);
    QTest::newRow("Enter in the list") << 1082 << static_cast<int>(Qt::Key_Return);
    QTest::newRow("Enter on Refresh") << 1086 << static_cast<int>(Qt::Key_Return);
    QTest::newRow("Escape on Local Save") << 1084 << static_cast<int>(Qt::Key_Escape);
  }
  void enterAndEscapeAreSwallowed() {
    QFETCH(int, focus);
    QFETCH(int, key);
    FakeHost host;
    host.station.portOpen = true;
    QDialog window;
    auto* page = new cDlgLOGTab(host, &window);
    (new QVBoxLayout(&window))->addWidget(page);
    page->EnableControls(true);
    page->AddRow("A.LOG");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget* target = FindControl(page, focus);
    target->setFocus();
    QTest::keyClick(target, static_cast<Qt::Key>(key));
    QVERIFY(window.isVisible());
    QCOMPARE(window.result(), 0);
    QVERIFY(host.station.calls.empty());
    QVERIFY(host.choosers.folderTitles.empty());
  }
};

QTEST_MAIN(LogTabTest)
#include "log_tab_test.moc"
