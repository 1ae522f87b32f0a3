// What a record page shows of the record it was last filled from: a mark on each field a
// Write would change, the list of them on the Write button, and, after a write's
// read-back, a mark on each field the station stored other than it was written.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "pages/control_id.h"
#include "pages/docking_tab.h"
#include "pages/field_widgets.h"
#include "pages/multi_gas_tab.h"
#include "pages/single_gas_tab.h"
#include "records/record_text.h"
#include "tests/pages/fake_host.h"

using ql::RecordType;
using ql::pages::RecordPage;
using ql::testsupport::FakeHost;
using Mark = ql::pages::RecordPage::Mark;
using Bytes = std::vector<std::uint8_t>;

Q_DECLARE_METATYPE(ql::RecordType)

namespace {

std::unique_ptr<RecordPage> MakePage(RecordType type, FakeHost& host) {
  std::unique_ptr<RecordPage> page;
  switch (type) {
    case RecordType::Docking:
      page = std::make_unique<ql::pages::cDlgDockingTab>(host);
      break;
    case RecordType::SingleGas:
      page = std::make_unique<ql::pages::cDlgYBRTab>(host);
      break;
    case RecordType::MultiGas:
      page = std::make_unique<ql::pages::cDlgHWRTab>(host);
      break;
  }
  page->EnablePage(true);
  return page;
}

// The page's start values with every row of the detector pages on, as a station holds
// them; built through the record's text, not through the page.
Bytes BaseRecord(RecordType type, const RecordPage& page) {
  Bytes record(ql::records::RecordSize(type));
  page.PageToRecord(record);
  std::vector<ql::records::FieldEdit> rowsOn;
  for (const auto& shown : ql::records::ShowRecord(type, record)) {
    if (shown.value == "off" &&
        (shown.label == "Low Alarm" || shown.label == "High Alarm" || shown.label == "TWA Method"))
      rowsOn.push_back({shown.label, "on"});
  }
  const auto refusal = ql::records::ApplyEdits(type, record, rowsOn);
  if (refusal) qWarning("%s", refusal->c_str());
  return record;
}

Bytes WithEdit(RecordType type, Bytes record, const std::string& label, const std::string& value) {
  const ql::records::FieldEdit edit{label, value};
  const auto refusal = ql::records::ApplyEdits(type, record, {&edit, 1});
  if (refusal) qWarning("%s", refusal->c_str());
  return record;
}

// Changes a field as a technician would: another text, the box flipped, the next item of
// the list, the next day.
void ChangeField(QWidget* field, const QString& text) {
  if (auto* edit = qobject_cast<QLineEdit*>(field)) {
    edit->setText(text);
  } else if (auto* box = qobject_cast<QCheckBox*>(field)) {
    box->click();
  } else if (auto* list = qobject_cast<QComboBox*>(field)) {
    list->setCurrentIndex((list->currentIndex() + 1) % list->count());
  } else if (auto* date = qobject_cast<QDateEdit*>(field)) {
    date->setDate(date->date().addDays(1));
  }
}

QStringList Labels(const std::vector<ql::records::FieldDifference>& differences) {
  QStringList labels;
  for (const auto& d : differences) labels << QString::fromStdString(d.label);
  return labels;
}

QAbstractButton* WriteButton(RecordPage& page) {
  return ql::pages::Control<QAbstractButton>(&page, 1231);
}

}  // namespace

class ChangeMarksTest : public QObject {
  Q_OBJECT

 private slots:
  void everyLabelOfTheRecordTextIsAFieldOfThePage_data() {
    QTest::addColumn<RecordType>("type");
    QTest::newRow("docking") << RecordType::Docking;
    QTest::newRow("single-gas") << RecordType::SingleGas;
    QTest::newRow("multi-gas") << RecordType::MultiGas;
  }
  void everyLabelOfTheRecordTextIsAFieldOfThePage() {
    QFETCH(RecordType, type);
    FakeHost host;
    auto page = MakePage(type, host);
    const Bytes blank(ql::records::RecordSize(type));
    for (const auto& shown : ql::records::ShowRecord(type, blank)) {
      QWidget* field = page->FieldWidget(shown.label);
      QVERIFY2(field != nullptr, shown.label.c_str());
      // The two update switches are captioned with the detector family (TKL until told).
      QString name = QString::fromStdString(shown.label);
      if (type == RecordType::Docking) name.replace("Detector", "TKL");
      QCOMPARE(field->accessibleName(), name);
      QVERIFY2(field->property(ql::pages::kControlIdProperty).toInt() > 0, shown.label.c_str());
    }
  }

  void editMarksTheFieldAndListsItOnWrite_data() {
    QTest::addColumn<RecordType>("type");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");  // for an entry field
    QTest::newRow("docking text") << RecordType::Docking << "Location"
                                  << "BAY9";
    QTest::newRow("docking number") << RecordType::Docking << "Maximum Bump Time"
                                    << "90";
    QTest::newRow("docking switch") << RecordType::Docking << "Calibrate"
                                    << "";
    QTest::newRow("docking list") << RecordType::Docking << "Bump Result Decision"
                                  << "";
    QTest::newRow("docking date") << RecordType::Docking << "Gas Expiration Date"
                                  << "";
    QTest::newRow("single-gas alarm") << RecordType::SingleGas << "Low Alarm H2S"
                                      << "12.0";
    QTest::newRow("multi-gas alarm") << RecordType::MultiGas << "Low Alarm H2S"
                                     << "12.5";
    QTest::newRow("multi-gas list") << RecordType::MultiGas << "TWA Method Value"
                                    << "";
    QTest::newRow("multi-gas option") << RecordType::MultiGas << "Safe Display"
                                      << "";
  }
  void editMarksTheFieldAndListsItOnWrite() {
    QFETCH(RecordType, type);
    QFETCH(QString, label);
    QFETCH(QString, text);
    FakeHost host;
    auto page = MakePage(type, host);
    const Bytes base = BaseRecord(type, *page);
    page->RecordToPage(base);
    QVERIFY(page->ChangedFields().empty());
    QCOMPARE(WriteButton(*page)->toolTip(), QString("This Write changes no field"));

    QWidget* field = page->FieldWidget(label.toStdString());
    QVERIFY(field != nullptr);
    ChangeField(field, text);
    const auto changed = page->ChangedFields();
    QCOMPARE(Labels(changed), QStringList{label});
    QVERIFY(page->FieldMark(label.toStdString()) == Mark::Changed);
    QVERIFY(field->toolTip().startsWith("Changed since the last read; it was "));
    const auto shown = [](const std::string& v) {
      return v.empty() ? QString("(empty)") : QString::fromStdString(v);
    };
    const QString line =
        QString("%1: %2 \u2192 %3").arg(label, shown(changed[0].before), shown(changed[0].after));
    QCOMPARE(WriteButton(*page)->toolTip(), "This Write changes:\n" + line);

    // Filled again from what the station holds: nothing is marked.
    page->RecordToPage(base);
    QVERIFY(page->FieldMark(label.toStdString()) == Mark::None);
    QVERIFY(field->toolTip().isEmpty());
    QCOMPARE(WriteButton(*page)->toolTip(), QString("This Write changes no field"));
  }

  void readBackMarksWhatTheStationStoredDifferently_data() {
    QTest::addColumn<RecordType>("type");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("stored");
    QTest::newRow("docking") << RecordType::Docking << "Maximum Bump Time"
                             << "90";
    QTest::newRow("single-gas") << RecordType::SingleGas << "High Alarm H2S"
                                << "20.0";
    QTest::newRow("multi-gas") << RecordType::MultiGas << "Low Alarm CO"
                               << "30.0";
  }
  void readBackMarksWhatTheStationStoredDifferently() {
    QFETCH(RecordType, type);
    QFETCH(QString, label);
    QFETCH(QString, stored);
    FakeHost host;
    auto page = MakePage(type, host);
    const Bytes sent = BaseRecord(type, *page);
    page->RecordToPage(sent);
    const Bytes held = WithEdit(type, sent, label.toStdString(), stored.toStdString());
    QVERIFY(held != sent);

    const auto differences = page->TakeReadBack(sent, held);
    QCOMPARE(Labels(differences), QStringList{label});
    QCOMPARE(QString::fromStdString(differences[0].after), stored);
    QVERIFY(page->FieldMark(label.toStdString()) == Mark::StoredDifferently);
    QCOMPARE(page->FieldWidget(label.toStdString())->toolTip(),
             QString("The station stored %1; %2 was written")
                 .arg(stored, QString::fromStdString(differences[0].before)));
    // The page shows what the station holds, so a Write now changes nothing.
    Bytes shown(held.size());
    page->PageToRecord(shown);
    QCOMPARE(shown, held);
    QVERIFY(page->ChangedFields().empty());

    // The next read replaces the marks.
    page->RecordToPage(held);
    QVERIFY(page->FieldMark(label.toStdString()) == Mark::None);
  }

  void readBackOfWhatWasSentMarksNothing() {
    FakeHost host;
    auto page = MakePage(RecordType::MultiGas, host);
    const Bytes sent = BaseRecord(RecordType::MultiGas, *page);
    page->RecordToPage(sent);
    ChangeField(page->FieldWidget("Low Alarm H2S"), "12.5");
    Bytes written(sent.size());
    page->PageToRecord(written);
    QVERIFY(page->TakeReadBack(written, written).empty());
    QVERIFY(page->ChangedFields().empty());
    QVERIFY(page->FieldMark("Low Alarm H2S") == Mark::None);
    QCOMPARE(qobject_cast<QLineEdit*>(page->FieldWidget("Low Alarm H2S"))->text(), QString("12.5"));
  }

  // Before the page has shown a record there is nothing to compare with.
  void nothingIsMarkedBeforeTheFirstRecord() {
    FakeHost host;
    auto page = MakePage(RecordType::Docking, host);
    ChangeField(page->FieldWidget("Location"), "BAY9");
    QVERIFY(page->ChangedFields().empty());
    QVERIFY(page->FieldMark("Location") == Mark::None);
    QVERIFY(WriteButton(*page)->toolTip().isEmpty());
  }

  // In USB disk mode the drive's file is what the page compares with: after its Read, and
  // after a Write has stored the page on it.
  void driveReadAndWriteSetWhatThePageComparesWith() {
    FakeHost host;
    QTemporaryDir drive;
    host.linkMode = false;
    host.usbRoot = drive.path().toStdString();
    auto page = MakePage(RecordType::Docking, host);
    ChangeField(page->FieldWidget("Location"), "BAY9");
    ql::pages::Control<QAbstractButton>(page.get(), 1231)->click();  // Write
    QCOMPARE(host.messages, std::vector<std::string>{"USB File write Success (Docking Info)"});
    QVERIFY(page->ChangedFields().empty());

    ChangeField(page->FieldWidget("Location"), "BAY10");
    QCOMPARE(Labels(page->ChangedFields()), QStringList{"Location"});
    ql::pages::Control<QAbstractButton>(page.get(), 1230)->click();  // Read
    QCOMPARE(qobject_cast<QLineEdit*>(page->FieldWidget("Location"))->text(), QString("BAY9"));
    QVERIFY(page->ChangedFields().empty());
    QVERIFY(page->FieldMark("Location") == Mark::None);
  }
};

QTEST_MAIN(ChangeMarksTest)
#include "change_marks_test.moc"
