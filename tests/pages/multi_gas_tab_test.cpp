// The multi-gas page through its widgets: the numeric fields' rules as typed, stepped and
// left; the rows' enabling and the page's enabled and busy states; every control by id;
// the record both ways; Read and Write on a USB drive; the firmware block.

#include "pages/multi_gas_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "pages/control_id.h"
#include "pages/field_widgets.h"
#include "records/firmware.h"
#include "tests/pages/fake_host.h"

using ql::pages::ArrowPair;
using ql::pages::cDlgHWRTab;
using ql::pages::Control;
using ql::pages::FindControl;
using ql::testsupport::FakeHost;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Record = std::array<std::uint8_t, 100>;

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void Put16(Record& r, std::size_t offset, std::uint16_t v) {
  r[offset] = static_cast<std::uint8_t>(v & 0xFF);
  r[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A record with every row flagged, values inside their limits, a 12-character user ID
// and the never-shown Language set to "Italian".
Record FullRecord() {
  Record r{};
  r[0] = 100;
  for (std::size_t flag = 4; flag <= 15; ++flag) r[flag] = 1;
  r[16] = 1;  // Safe Display
  r[19] = 1;  // Latching Alarms
  r[22] = 1;  // OFF Lock
  const std::array<std::uint16_t, 4> days = {0, 30, 180, 365};
  const std::array<std::uint16_t, 4> bump = {1, 2, 3, 4};
  const std::array<std::uint16_t, 4> low = {100, 0, 195, 100};
  const std::array<std::uint16_t, 4> high = {300, 600, 230, 300};
  const std::array<std::uint16_t, 4> gas = {250, 1000, 170, 500};
  for (std::size_t i = 0; i < 4; ++i) {
    Put16(r, 24 + 2 * i, days[i]);
    Put16(r, 32 + 2 * i, bump[i]);
    Put16(r, 40 + 2 * i, low[i]);
    Put16(r, 48 + 2 * i, high[i]);
    Put16(r, 90 + 2 * i, gas[i]);
  }
  Put16(r, 56, 300);  // TWA H2S 30.0
  Put16(r, 58, 605);  // TWA CO 60.5
  Put16(r, 64, 100);  // STEL H2S 10.0
  Put16(r, 66, 300);  // STEL CO 30.0
  const char* user = "ABCDEFGHIJKL";
  for (std::size_t i = 0; i < 12; ++i) r[72 + i] = static_cast<std::uint8_t>(user[i]);
  r[84] = 4;  // Italian
  r[85] = 0;  // ACGIH
  r[86] = 12;
  r[87] = 10;
  Put16(r, 88, 35);
  return r;
}

Bytes FirmwareContainer() {
  Bytes bare(3000);
  for (std::size_t i = 0; i < bare.size(); ++i) bare[i] = static_cast<std::uint8_t>(i * 7 + 3);
  const auto tag = ql::records::MakeFirmwareTag(ql::RecordType::MultiGas, "2.10");
  return ql::records::PackFirmwareImage(bare, *tag).value();
}

QString Q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

// The page as the window has it while a multi-gas station is connected.
struct Fixture {
  FakeHost host;
  cDlgHWRTab page{host};
  Fixture() { page.EnablePage(true); }

  QLineEdit* Edit(int id) { return Control<QLineEdit>(&page, id); }
  QCheckBox* Box(int id) { return Control<QCheckBox>(&page, id); }
  QPushButton* Button(int id) { return Control<QPushButton>(&page, id); }
  std::vector<std::string> Messages() const { return host.messages; }
};

}  // namespace

class MultiGasTabTest : public QObject {
  Q_OBJECT

 private slots:
  // ---- controls ----------------------------------------------------------------------

  void everyControlHasItsIdAndName_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");  // accessible name; empty for labels and frames
    const QStringList gases = {"H2S", "CO", "O2", "LEL"};
    struct Row {
      int box;
      const char* caption;
      std::vector<int> edits;
      std::vector<int> spins;
    };
    const std::vector<Row> rows = {
        {1124, "Calibration Interval (Days)", {1128, 1132, 1136, 1153}, {1129, 1133, 1137, 1155}},
        {1125, "Bump Interval (Days)", {1130, 1134, 1138, 1154}, {1131, 1135, 1139, 1156}},
        {1126, "Low Alarm", {1140, 1142, 1144, 1157}, {1141, 1143, 1145, 1159}},
        {1127, "High Alarm", {1146, 1151, 1149, 1158}, {1147, 1150, 1148, 1160}},
        {1185, "STEL Alarm", {1187, 1191}, {1189, 1193}},
        {1184, "TWA Alarm", {1186, 1190}, {1188, 1192}},
    };
    for (const Row& row : rows) {
      QTest::addRow("%d", row.box) << row.box << QString(row.caption);
      for (std::size_t gas = 0; gas < row.edits.size(); ++gas) {
        const QString name = QString(row.caption) + " " + gases[static_cast<int>(gas)];
        QTest::addRow("%d", row.edits[gas]) << row.edits[gas] << name;
        QTest::addRow("%d", row.spins[gas]) << row.spins[gas] << name;
      }
    }
    const std::vector<std::pair<int, QString>> others = {
        {1171, "TWA Intr"},
        {1179, "TWA Intr Value"},  // told apart from the row's box
        {1178, "TWA Intr Value"},
        {1166, "STEL Intr"},
        {1180, "STEL Intr Value"},
        {1181, "STEL Intr Value"},
        {1172, "100% LEL"},
        {1182, "100% LEL Value"},
        {1183, "100% LEL Value"},
        {1162, "User ID / Message"},
        {1161, "User ID / Message Value"},
        {1163, "Language"},
        {1164, "Language Value"},
        {1165, "TWA Method"},
        {1177, "TWA Method Value"},
        {1167, "Safe Display"},
        {1174, "Dock Lock"},
        {1168, "Maintenance Notification"},
        {1175, "Latching Alarms"},
        {1169, "Auto Zero"},
        {1176, "LEL By Volume CH4"},
        {1170, "OFF Lock"},
        {1208, "Gas Concentration H2S"},
        {1211, "Gas Concentration H2S"},
        {1209, "Gas Concentration CO"},
        {1212, "Gas Concentration CO"},
        {1210, "Gas Concentration O2"},
        {1213, "Gas Concentration O2"},
        {1219, "Gas Concentration LEL"},
        {1221, "Gas Concentration LEL"},
        {1230, "Read"},
        {1231, "Write"},
        {1119, "Browse"},
        {1041, "Write"},
        {1118, "Firmware file"},
        {1236, "RVX firmware progress"},
    };
    for (const auto& [id, name] : others) QTest::addRow("%d", id) << id << name;
    for (int id : {1197, 1206, 1173, 1117, 1121, 1122, 1123, 1152, 1194, 1195,
                   1196, 1204, 1205, 1207, 1217, 1214, 1215, 1216, 1220, 1120}) {
      QTest::addRow("%d", id) << id << QString();
    }
  }
  void everyControlHasItsIdAndName() {
    QFETCH(int, id);
    QFETCH(QString, name);
    FakeHost host;
    cDlgHWRTab page(host);
    QWidget* control = FindControl(&page, id);
    QVERIFY(control != nullptr);
    if (!name.isEmpty()) QCOMPARE(control->accessibleName(), name);
  }

  void captionsAndLabels() {
    FakeHost host;
    cDlgHWRTab page(host);
    QCOMPARE(Control<QCheckBox>(&page, 1124)->text(), QString(" Calibration Interval (Days)"));
    QCOMPARE(Control<QCheckBox>(&page, 1176)->text(), QString(" LEL By Volume CH4"));
    QCOMPARE(Control<QPushButton>(&page, 1230)->text(), QString(" Read"));
    QCOMPARE(Control<QPushButton>(&page, 1041)->text(), QString(" Write"));
    QCOMPARE(Control<QLabel>(&page, 1196)->text(), QString("%CH4"));
    QCOMPARE(Control<QLabel>(&page, 1220)->text(), QString("ppm"));
    // A gas concentration's label names its field.
    QCOMPARE(Control<QLabel>(&page, 1205)->buddy(), FindControl(&page, 1209));
    QCOMPARE(Control<QComboBox>(&page, 1164)->count(), 6);
    QCOMPARE(Control<QComboBox>(&page, 1164)->itemText(5), QString("Portuguese"));
    QCOMPARE(Control<QComboBox>(&page, 1177)->itemText(0), QString("ACGIH"));
  }

  // ---- start state, enabling, busy ----------------------------------------------------

  void startsWithDefaultsAndDisabled_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("calibration H2S") << 1128 << "n/a";
    QTest::newRow("bump LEL") << 1154 << "n/a";
    QTest::newRow("low CO") << 1142 << "30";
    QTest::newRow("low O2") << 1144 << "19.0";
    QTest::newRow("high CO") << 1151 << "60";
    QTest::newRow("high O2") << 1149 << "23.0";
    QTest::newRow("STEL CO") << 1191 << "30.0";
    QTest::newRow("TWA CO") << 1190 << "60.0";
    QTest::newRow("TWA Intr") << 1179 << "8";
    QTest::newRow("STEL Intr") << 1180 << "15";
    QTest::newRow("100% LEL") << 1182 << "2.5";
    QTest::newRow("gas H2S") << 1208 << "25.0";
    QTest::newRow("gas CO") << 1209 << "100.0";
    QTest::newRow("gas O2") << 1210 << "17.0";
    QTest::newRow("gas LEL") << 1219 << "50.0";
    QTest::newRow("user ID") << 1161 << "";
    QTest::newRow("firmware path") << 1118 << "";
  }
  void startsWithDefaultsAndDisabled() {
    QFETCH(int, id);
    QFETCH(QString, text);
    FakeHost host;
    cDlgHWRTab page(host);
    auto* edit = Control<QLineEdit>(&page, id);
    QCOMPARE(edit->text(), text);
    QVERIFY(!edit->isEnabled());
    QVERIFY(!page.PageEnabled());
    QCOMPARE(Control<QComboBox>(&page, 1164)->currentText(), QString("English"));
    QCOMPARE(Control<QComboBox>(&page, 1177)->currentText(), QString("OSHA"));
  }

  void languageRowIsNeverShown() {
    Fixture f;
    f.page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.page));
    QVERIFY(f.Box(1126)->isVisible());
    QVERIFY(!f.Box(1163)->isVisible());
    QVERIFY(!FindControl(&f.page, 1164)->isVisible());
  }

  void rowBoxEnablesItsControls_data() {
    QTest::addColumn<int>("box");
    QTest::addColumn<QList<int>>("controls");
    QTest::newRow("Calibration Interval")
        << 1124 << QList<int>{1128, 1132, 1136, 1153, 1129, 1133, 1137, 1155};
    QTest::newRow("Bump Interval")
        << 1125 << QList<int>{1130, 1134, 1138, 1154, 1131, 1135, 1139, 1156};
    QTest::newRow("Low Alarm") << 1126
                               << QList<int>{1140, 1142, 1144, 1157, 1141, 1143, 1145, 1159};
    QTest::newRow("High Alarm") << 1127
                                << QList<int>{1146, 1151, 1149, 1158, 1147, 1150, 1148, 1160};
    QTest::newRow("STEL Alarm") << 1185 << QList<int>{1187, 1191, 1189, 1193};
    QTest::newRow("TWA Alarm") << 1184 << QList<int>{1186, 1190, 1188, 1192};
    QTest::newRow("User ID") << 1162 << QList<int>{1161};
    QTest::newRow("Language") << 1163 << QList<int>{1164};
    QTest::newRow("TWA Method") << 1165 << QList<int>{1177};
    QTest::newRow("TWA Intr") << 1171 << QList<int>{1179, 1178};
    QTest::newRow("STEL Intr") << 1166 << QList<int>{1180, 1181};
    QTest::newRow("100% LEL") << 1172 << QList<int>{1182, 1183};
  }
  void rowBoxEnablesItsControls() {
    QFETCH(int, box);
    QFETCH(QList<int>, controls);
    Fixture f;
    auto enabledCount = [&] {
      int n = 0;
      for (int id : controls) n += FindControl(&f.page, id)->isEnabled() ? 1 : 0;
      return n;
    };
    QCOMPARE(enabledCount(), 0);
    f.Box(box)->click();
    QCOMPARE(enabledCount(), static_cast<int>(controls.size()));
    f.Box(box)->click();
    QCOMPARE(enabledCount(), 0);
    // EnablePage clears the box; its row goes with it.
    f.Box(box)->click();
    f.page.EnablePage(true);
    QVERIFY(!f.Box(box)->isChecked());
    QCOMPARE(enabledCount(), 0);
  }

  void enablePageAndBusy() {
    Fixture f;
    const QList<int> pageControls = {1124, 1167, 1170, 1208, 1211, 1219, 1221, 1118,
                                     1119, 1230, 1231, 1041, 1197, 1206, 1117};
    for (int id : pageControls)
      QVERIFY2(FindControl(&f.page, id)->isEnabled(), qPrintable(QString::number(id)));
    f.Box(1126)->click();
    f.Box(1167)->click();

    f.page.SetBusy(true);
    for (int id : {1119, 1230, 1231, 1041}) QVERIFY(!FindControl(&f.page, id)->isEnabled());
    QVERIFY(f.Edit(1208)->isEnabled());  // fields stay usable
    QVERIFY(f.Edit(1140)->isEnabled());
    f.page.SetBusy(false);
    for (int id : {1119, 1230, 1231, 1041}) QVERIFY(FindControl(&f.page, id)->isEnabled());

    f.page.EnablePage(false);
    QVERIFY(!f.page.PageEnabled());
    for (int id : pageControls) QVERIFY(!FindControl(&f.page, id)->isEnabled());
    QVERIFY(!f.Edit(1140)->isEnabled());
    QVERIFY(!f.Box(1126)->isChecked());
    QVERIFY(!f.Box(1167)->isChecked());
    // Not busy any more gives the buttons the page's state: still disabled.
    f.page.SetBusy(false);
    QVERIFY(!f.Button(1230)->isEnabled());
    QVERIFY(!f.Button(1041)->isEnabled());
  }

  // ---- numeric fields through the widgets ---------------------------------------------

  void numericFields_data() {
    QTest::addColumn<int>("edit");
    QTest::addColumn<int>("spin");
    QTest::addColumn<int>("box");         // row box clicked first; 0: none
    QTest::addColumn<QString>("start");   // set by the program first; null: the default
    QTest::addColumn<QString>("action");  // up, down, type, type+leave
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    const QString keep;
    // W: days, maximum 365.
    QTest::newRow("W n/a up") << 1128 << 1129 << 1124 << "n/a"
                              << "up" << keep << "1";
    QTest::newRow("W n/a down stays") << 1128 << 1129 << 1124 << "n/a"
                                      << "down" << keep << "n/a";
    QTest::newRow("W 1 down") << 1132 << 1133 << 1124 << "1"
                              << "down" << keep << "n/a";
    QTest::newRow("W 365 up stays") << 1153 << 1155 << 1124 << "365"
                                    << "up" << keep << "365";
    QTest::newRow("W unchecked row ignores arrows") << 1130 << 1131 << 0 << "5"
                                                    << "up" << keep << "5";
    QTest::newRow("W typed 400") << 1130 << 1131 << 1125 << keep << "type"
                                 << "400"
                                 << "365";
    QTest::newRow("W typed 12a3") << 1130 << 1131 << 1125 << keep << "type"
                                  << "12a3"
                                  << "123";
    QTest::newRow("W typed 1.5") << 1130 << 1131 << 1125 << keep << "type"
                                 << "1.5"
                                 << "15";
    QTest::newRow("W typed 0") << 1130 << 1131 << 1125 << keep << "type"
                               << "0"
                               << "n/a";
    QTest::newRow("W typed letters") << 1130 << 1131 << 1125 << keep << "type"
                                     << "abc"
                                     << "n/a";
    // T: alarms; H2S low maximum 100.0, CO low maximum 300.0.
    QTest::newRow("T n/a up") << 1140 << 1141 << 1126 << "n/a"
                              << "up" << keep << "0.5";
    QTest::newRow("T 99.7 up") << 1140 << 1141 << 1126 << "99.7"
                               << "up" << keep << "100.0";
    QTest::newRow("T 0.3 down") << 1140 << 1141 << 1126 << "0.3"
                                << "down" << keep << "n/a";
    QTest::newRow("T 2.35 up") << 1140 << 1141 << 1126 << "2.35"
                               << "up" << keep << "2.8";
    QTest::newRow("T typed 300 up") << 1142 << 1143 << 1126 << "300"
                                    << "up" << keep << "300.0";
    QTest::newRow("T typed 400") << 1142 << 1143 << 1126 << keep << "type"
                                 << "400"
                                 << "300.0";
    QTest::newRow("T typed 0") << 1157 << 1159 << 1126 << keep << "type"
                               << "0"
                               << "n/a";
    QTest::newRow("T program 0.0 stays") << 1157 << 1159 << 1126 << "0.0"
                                         << "none" << keep << "0.0";
    QTest::newRow("T typed 1.2.3 stays") << 1187 << 1189 << 1185 << keep << "type"
                                         << "1.2.3"
                                         << "1.2.3";
    // C: gas concentrations, no row box.
    QTest::newRow("C 0.0 down stays") << 1208 << 1211 << 0 << "0.0"
                                      << "down" << keep << "0.0";
    QTest::newRow("C typed 0 stays") << 1208 << 1211 << 0 << keep << "type"
                                     << "0"
                                     << "0";
    QTest::newRow("C H2S typed 150") << 1208 << 1211 << 0 << keep << "type"
                                     << "150"
                                     << "100.0";
    QTest::newRow("C CO typed 500.5 stays") << 1209 << 1212 << 0 << keep << "type"
                                            << "500.5"
                                            << "500.5";
    QTest::newRow("C CO typed 501") << 1209 << 1212 << 0 << keep << "type"
                                    << "501"
                                    << "500";
    QTest::newRow("C CO 499.8 up") << 1209 << 1212 << 0 << "499.8"
                                   << "up" << keep << "500.0";
    QTest::newRow("C LEL typed 250") << 1219 << 1221 << 0 << keep << "type"
                                     << "250"
                                     << "200.0";
    QTest::newRow("C typed minus") << 1210 << 1213 << 0 << keep << "type"
                                   << "-5"
                                   << "100.0";
    // B: TWA Intr 4..16, STEL Intr 5..15.
    QTest::newRow("B 4 down stays") << 1179 << 1178 << 1171 << "4"
                                    << "down" << keep << "4";
    QTest::newRow("B 16 up stays") << 1179 << 1178 << 1171 << "16"
                                   << "up" << keep << "16";
    QTest::newRow("B typed 20") << 1179 << 1178 << 1171 << keep << "type"
                                << "20"
                                << "16";
    QTest::newRow("B typed 2 stays while typing") << 1179 << 1178 << 1171 << keep << "type"
                                                  << "2"
                                                  << "2";
    QTest::newRow("B typed 2 then leave") << 1179 << 1178 << 1171 << keep << "type+leave"
                                          << "2"
                                          << "4";
    QTest::newRow("B STEL typed 3 then leave") << 1180 << 1181 << 1166 << keep << "type+leave"
                                               << "3"
                                               << "5";
    QTest::newRow("B emptied then leave") << 1180 << 1181 << 1166 << keep << "type+leave"
                                          << ""
                                          << "5";
    // L: 100% LEL 1.0..5.0, typing cap 50.0.
    QTest::newRow("L 4.7 up") << 1182 << 1183 << 1172 << "4.7"
                              << "up" << keep << "5.0";
    QTest::newRow("L 1.2 down") << 1182 << 1183 << 1172 << "1.2"
                                << "down" << keep << "1.0";
    QTest::newRow("L typed 50 stays while typing") << 1182 << 1183 << 1172 << keep << "type"
                                                   << "50"
                                                   << "50";
    QTest::newRow("L typed 60") << 1182 << 1183 << 1172 << keep << "type"
                                << "60"
                                << "50.0";
    QTest::newRow("L typed 50 then leave") << 1182 << 1183 << 1172 << keep << "type+leave"
                                           << "50"
                                           << "5.0";
    QTest::newRow("L typed 0.5 then leave") << 1182 << 1183 << 1172 << keep << "type+leave"
                                            << "0.5"
                                            << "1.0";
  }
  void numericFields() {
    QFETCH(int, edit);
    QFETCH(int, spin);
    QFETCH(int, box);
    QFETCH(QString, start);
    QFETCH(QString, action);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Fixture f;
    f.page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.page));
    if (box != 0) f.Box(box)->click();
    QLineEdit* field = f.Edit(edit);
    auto* arrows = Control<ArrowPair>(&f.page, spin);
    QVERIFY(field != nullptr && arrows != nullptr);
    if (!start.isNull()) field->setText(start);
    if (action == "up") QTest::mouseClick(arrows->UpButton(), Qt::LeftButton);
    if (action == "down") QTest::mouseClick(arrows->DownButton(), Qt::LeftButton);
    if (action.startsWith("type")) {
      field->setFocus();
      field->selectAll();
      if (typed.isEmpty()) {
        QTest::keyClick(field, Qt::Key_Backspace);
      } else {
        QTest::keyClicks(field, typed);
      }
    }
    if (action.endsWith("leave")) f.Edit(1118)->setFocus();
    QCOMPARE(field->text(), shown);
  }

  void userIdTakesTwelveCharacters() {
    Fixture f;
    f.Box(1162)->click();
    QTest::keyClicks(f.Edit(1161), "OPERATOR-ONE-2");
    QCOMPARE(f.Edit(1161)->text(), QString("OPERATOR-ONE"));
  }

  // ---- record both ways ----------------------------------------------------------------

  void recordToPageShowsEveryRow() {
    Fixture f;
    const Record record = FullRecord();
    f.page.RecordToPage(record);
    QCOMPARE(f.Edit(1128)->text(), QString("n/a"));  // flagged days of 0
    QCOMPARE(f.Edit(1132)->text(), QString("30"));
    QCOMPARE(f.Edit(1142)->text(), QString("0.0"));  // flagged alarm of 0
    QCOMPARE(f.Edit(1144)->text(), QString("19.5"));
    QCOMPARE(f.Edit(1190)->text(), QString("60.5"));
    QCOMPARE(f.Edit(1161)->text(), QString("ABCDEFGHIJKL"));
    QCOMPARE(f.Edit(1179)->text(), QString("12"));
    QCOMPARE(f.Edit(1180)->text(), QString("10"));
    QCOMPARE(f.Edit(1182)->text(), QString("3.5"));
    QCOMPARE(f.Edit(1209)->text(), QString("100.0"));
    QCOMPARE(Control<QComboBox>(&f.page, 1164)->currentText(), QString("Italian"));
    QCOMPARE(Control<QComboBox>(&f.page, 1177)->currentText(), QString("ACGIH"));
    QVERIFY(f.Box(1167)->isChecked());
    QVERIFY(!f.Box(1174)->isChecked());
    QVERIFY(f.Box(1170)->isChecked());
    for (int id : {1128, 1142, 1190, 1161, 1164, 1177, 1179, 1182, 1183}) {
      QVERIFY2(FindControl(&f.page, id)->isEnabled(), qPrintable(QString::number(id)));
    }
  }

  void pageToRecordGivesTheRecordBack() {
    Fixture f;
    const Record record = FullRecord();
    f.page.RecordToPage(record);
    Record out{};
    out.fill(0xAA);
    f.page.PageToRecord(out);
    QCOMPARE(out, record);
    QCOMPARE(out[11], std::uint8_t{1});  // the hidden Language row survives
    QCOMPARE(out[84], std::uint8_t{4});
  }

  void uncheckedRowGoesOutAsZeros() {
    Fixture f;
    f.page.RecordToPage(FullRecord());
    f.Box(1126)->click();  // Low Alarm off; its texts stay on the page
    f.Box(1162)->click();  // User ID off
    QCOMPARE(f.Edit(1144)->text(), QString("19.5"));
    Record out{};
    f.page.PageToRecord(out);
    QCOMPARE(out[6], std::uint8_t{0});
    QCOMPARE(out[10], std::uint8_t{0});
    for (std::size_t i = 40; i < 48; ++i) QCOMPARE(out[i], std::uint8_t{0});
    for (std::size_t i = 72; i < 84; ++i) QCOMPARE(out[i], std::uint8_t{0});
    QCOMPARE(out[7], std::uint8_t{1});  // the other rows are kept
  }

  void concentrationsGoOutWithNoRowChecked() {
    Fixture f;
    Record out{};
    f.page.PageToRecord(out);
    QCOMPARE(out[0], std::uint8_t{100});
    for (std::size_t flag = 4; flag <= 22; ++flag) QCOMPARE(out[flag], std::uint8_t{0});
    QCOMPARE(out[90] | (out[91] << 8), 250);  // 25.0
    QCOMPARE(out[92] | (out[93] << 8), 1000);
    QCOMPARE(out[94] | (out[95] << 8), 170);
    QCOMPARE(out[96] | (out[97] << 8), 500);
  }

  void shortRecordLeavesThePage() {
    Fixture f;
    const Record record = FullRecord();
    f.page.RecordToPage(std::span<const std::uint8_t>(record).first(99));
    QCOMPARE(f.Edit(1132)->text(), QString("n/a"));
    QVERIFY(!f.Box(1124)->isChecked());
  }

  // ---- Read and Write ------------------------------------------------------------------

  void linkModeGoesToTheStation() {
    Fixture f;
    f.Button(1230)->click();
    f.Button(1231)->click();
    QCOMPARE(f.host.station.calls, (std::vector<std::string>{"PageRead rvx", "PageWrite rvx"}));
    QVERIFY(f.host.messages.empty());  // the engine owns the port check and its message
  }

  // A value the page would not take is refused before anything is sent or saved (the
  // button pressed without the field losing the focus first, as by a shortcut).
  void writeRefusesValuesOutsideTheLimits_data() {
    QTest::addColumn<bool>("link");
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("field");
    for (bool link : {true, false}) {
      const char* mode = link ? "link" : "USB";
      QTest::addRow("%s CO concentration 500.5", mode) << link << 0 << 1209 << "500.5"
                                                       << "Gas Concentration CO";
      QTest::addRow("%s TWA Intr 2", mode) << link << 1171 << 1179 << "2"
                                           << "TWA Intr";
      QTest::addRow("%s 100%% LEL 50", mode) << link << 1172 << 1182 << "50"
                                             << "100% LEL";
    }
  }
  void writeRefusesValuesOutsideTheLimits() {
    QFETCH(bool, link);
    QFETCH(int, box);
    QFETCH(int, edit);
    QFETCH(QString, typed);
    QFETCH(QString, field);
    QTemporaryDir drive;
    Fixture f;
    f.host.linkMode = link;
    f.host.usbRoot = drive.path().toStdString();
    if (box != 0) f.Box(box)->click();
    f.Edit(edit)->selectAll();
    QTest::keyClicks(f.Edit(edit), typed);
    f.Button(1231)->click();
    QCOMPARE(f.host.messages.size(), std::size_t{1});
    QVERIFY2(QString::fromStdString(f.host.messages[0]).startsWith(field + ":"),
             f.host.messages[0].c_str());
    QVERIFY(f.host.station.calls.empty());
    QVERIFY(!fs::exists(fs::path(f.host.usbRoot) / "Config/RVX/RVX.cfg"));
  }

  void usbRead_data() {
    QTest::addColumn<bool>("rvx");
    QTest::addColumn<bool>("hwr");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("RVX.cfg") << true << false << QStringList{"USB File Read Success (RVX Info)"};
    QTest::newRow("only the older HWR.cfg")
        << false << true << QStringList{"USB File Read Success (RVX Info)"};
    QTest::newRow("neither") << false << false
                             << QStringList{"File open error (RVX.cfg)",
                                            "USB File Read Fail (RVX Info)"};
  }
  void usbRead() {
    QFETCH(bool, rvx);
    QFETCH(bool, hwr);
    QFETCH(QStringList, messages);
    QTemporaryDir dir;
    const fs::path drive = dir.path().toStdString();
    const Record full = FullRecord();
    const Bytes bytes(full.begin(), full.end());
    if (rvx) WriteBytes(drive / "Config/RVX/RVX.cfg", bytes);
    if (hwr) WriteBytes(drive / "Config/HWR/HWR.cfg", bytes);
    Fixture f;
    f.host.linkMode = false;
    f.host.usbRoot = drive;
    f.Button(1230)->click();
    QStringList shown;
    for (const std::string& m : f.host.messages) shown << QString::fromStdString(m);
    QCOMPARE(shown, messages);
    QVERIFY(f.host.station.calls.empty());
    const bool read = rvx || hwr;
    QCOMPARE(f.Edit(1132)->text(), read ? QString("30") : QString("n/a"));
    QCOMPARE(f.Box(1124)->isChecked(), read);
    if (hwr) QCOMPARE(ReadBytes(drive / "Config/RVX/RVX.cfg"), bytes);  // now under the new name
    if (!read) QVERIFY(!fs::exists(drive / "Config/RVX/RVX.cfg"));
  }

  void usbWriteStoresThePage() {
    QTemporaryDir dir;
    const fs::path drive = dir.path().toStdString();
    Fixture f;
    f.host.linkMode = false;
    f.host.usbRoot = drive;
    f.page.RecordToPage(FullRecord());
    f.Button(1231)->click();
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File write Success (RVX Info)"});
    const Record full = FullRecord();
    QCOMPARE(ReadBytes(drive / "Config/RVX/RVX.cfg"), Bytes(full.begin(), full.end()));
  }

  void usbWriteFailureIsReported() {
    QTemporaryDir dir;
    const fs::path drive = fs::path(dir.path().toStdString()) / "not-a-drive";
    WriteBytes(drive, Bytes{1, 2, 3});  // a file where the drive's folders would go
    Fixture f;
    f.host.linkMode = false;
    f.host.usbRoot = drive;
    f.Button(1231)->click();
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File write Fail (RVX Info)"});
    QCOMPARE(ReadBytes(drive), (Bytes{1, 2, 3}));
  }

  // ---- firmware block ------------------------------------------------------------------

  void browse_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("message");  // empty: accepted
    QTest::newRow("RVX_FW.bin") << "RVX_FW.bin" << true << "";
    QTest::newRow("HWR_FW.bin") << "HWR_FW.bin" << true << "";
    QTest::newRow("lower case") << "rvx_fw.bin" << true
                                << "File Name Mismatch \n(File Name : RVX_FW.bin)";
    QTest::newRow("typed-only name")
        << "KT720_FW.bin" << true << "File Name Mismatch \n(File Name : RVX_FW.bin)";
    QTest::newRow("not a container")
        << "RVX_FW.bin" << false << "This is not the correct Firmware File.";
  }
  void browse() {
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const fs::path file = fs::path(dir.path().toStdString()) / name.toStdString();
    Bytes content = FirmwareContainer();
    if (!valid) content[150] ^= 0xFF;  // the digest no longer matches
    WriteBytes(file, content);
    Fixture f;
    f.host.choosers.files.push_back(file);
    f.Button(1119)->click();
    if (message.isEmpty()) {
      QVERIFY(f.host.messages.empty());
      QCOMPARE(f.Edit(1118)->text(), Q(file));
      QVERIFY(!Control<QLabel>(&f.page, 1120)->text().isEmpty());
    } else {
      QCOMPARE(f.host.messages, std::vector<std::string>{message.toStdString()});
      QCOMPARE(f.Edit(1118)->text(), QString());
    }
    QCOMPARE(f.host.positions, std::vector<int>{0});
  }

  void browseCancelledChangesNothing() {
    Fixture f;
    f.Edit(1118)->setText("kept");
    f.host.choosers.files.push_back(std::nullopt);
    f.Button(1119)->click();
    QVERIFY(f.host.messages.empty());
    QVERIFY(f.host.positions.empty());
    QCOMPARE(f.Edit(1118)->text(), QString("kept"));
  }

  void firmwareWriteInLinkMode_data() {
    QTest::addColumn<QString>("name");  // file name typed at the end of the path
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("message");  // empty: sent
    QTest::newRow("typed KT720_FW.bin") << "KT720_FW.bin" << true << "";
    QTest::newRow("typed HWR_FW_HALVORN.bin") << "HWR_FW_HALVORN.bin" << true << "";
    QTest::newRow("not ending in bin")
        << "RVX_FW.bin.old" << true << "File Name Mismatch \n(File Name : RVX_FW.bin)";
    QTest::newRow("missing file") << "KT720_FW.bin" << false << "File does not exist.";
    QTest::newRow("empty path") << "" << false << "Firmware File Empty";
  }
  void firmwareWriteInLinkMode() {
    QFETCH(QString, name);
    QFETCH(bool, exists);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const fs::path file = fs::path(dir.path().toStdString()) / name.toStdString();
    if (exists) WriteBytes(file, FirmwareContainer());
    Fixture f;
    f.host.station.portOpen = true;
    if (!name.isEmpty()) QTest::keyClicks(f.Edit(1118), Q(file));
    f.Button(1041)->click();
    if (message.isEmpty()) {
      QVERIFY(f.host.messages.empty());
      // The image carries the path as typed; the engine sends its file name part.
      QCOMPARE(f.host.station.calls, std::vector<std::string>{"Firmware rvx " + file.string()});
      QCOMPARE(f.host.station.lastImage->content, FirmwareContainer());
    } else {
      QCOMPARE(f.host.messages, std::vector<std::string>{message.toStdString()});
      QVERIFY(f.host.station.calls.empty());
    }
  }

  void firmwareUsbCopyRenamesHwr() {
    QTemporaryDir source;
    QTemporaryDir drive;
    const fs::path file = fs::path(source.path().toStdString()) / "HWR_FW.bin";
    const Bytes content = FirmwareContainer();
    WriteBytes(file, content);
    Fixture f;
    f.host.linkMode = false;
    f.host.usbRoot = drive.path().toStdString();
    f.host.choosers.files.push_back(file);
    f.Button(1119)->click();
    f.Button(1041)->click();
    QCOMPARE(f.host.messages, std::vector<std::string>{"USB File Write Success (RVX F/W)"});
    QCOMPARE(ReadBytes(f.host.usbRoot / "Firmware/RVX/RVX_FW.bin"), content);
    QVERIFY(!fs::exists(f.host.usbRoot / "Firmware/RVX/HWR_FW.bin"));
    QVERIFY(f.host.station.calls.empty());
  }

  void emptyingThePathEmptiesTheVersion() {
    QTemporaryDir dir;
    const fs::path file = fs::path(dir.path().toStdString()) / "RVX_FW.bin";
    WriteBytes(file, FirmwareContainer());
    Fixture f;
    f.host.choosers.files.push_back(file);
    f.Button(1119)->click();
    auto* version = Control<QLabel>(&f.page, 1120);
    QVERIFY(!version->text().isEmpty());
    f.Edit(1118)->selectAll();
    QTest::keyClick(f.Edit(1118), Qt::Key_Backspace);
    QCOMPARE(version->text(), QString());
    // And the window's own clearing after an upload.
    f.Edit(1118)->setText("x");
    version->setText("v");
    f.page.ClearFirmwareFields();
    QCOMPARE(f.page.FirmwarePath(), QString());
    QCOMPARE(version->text(), QString());
    QCOMPARE(f.page.FirmwareBar(), Control<QProgressBar>(&f.page, 1236));
  }

  // ---- keyboard ------------------------------------------------------------------------

  void enterAndEscapeAreSwallowed_data() {
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("key");
    QTest::newRow("Escape in a field") << 1208 << static_cast<int>(Qt::Key_Escape);
    QTest::newRow("Enter in a field") << 1208 << static_cast<int>(Qt::Key_Return);
    QTest::newRow("Enter on Read") << 1230 << static_cast<int>(Qt::Key_Return);
    QTest::newRow("Escape on Write") << 1231 << static_cast<int>(Qt::Key_Escape);
  }
  void enterAndEscapeAreSwallowed() {
    QFETCH(int, focus);
    QFETCH(int, key);
    FakeHost host;
    QDialog window;
    auto* page = new cDlgHWRTab(host, &window);
    (new QVBoxLayout(&window))->addWidget(page);
    page->EnablePage(true);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget* target = FindControl(page, focus);
    target->setFocus();
    QTest::keyClick(target, static_cast<Qt::Key>(key));
    QVERIFY(window.isVisible());
    QCOMPARE(window.result(), 0);
    QVERIFY(host.station.calls.empty());
  }
};

QTEST_MAIN(MultiGasTabTest)
#include "multi_gas_tab_test.moc"
