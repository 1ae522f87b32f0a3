// The binding of a field to its rules: a rule runs on typed and on program-set text, a
// rewrite settles (the rule runs again on its own result), the leave rule runs when the
// focus goes, and the arrows step only while the row is checked.

#include "pages/field_widgets.h"

#include <QCheckBox>
#include <QTest>
#include <QToolButton>

#include "rules/field_tables.h"

using ql::pages::ArrowPair;
using ql::pages::BindField;
using ql::pages::NumericFieldRules;
using ql::pages::RuleEdit;

namespace {

constexpr ql::rules::NumericField kDays{ql::rules::NumericKind::W, 0, 365, {}};

}  // namespace

class FieldWidgetsTest : public QObject {
  Q_OBJECT

 private slots:
  void typingRunsTheChangeRule_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("above the maximum") << ""
                                       << "400"
                                       << "365";
    QTest::newRow("letters removed") << ""
                                     << "12a3"
                                     << "123";
    QTest::newRow("zero is n/a") << ""
                                 << "0"
                                 << "n/a";
    QTest::newRow("letters only end as n/a") << ""
                                             << "abc"
                                             << "n/a";
  }
  void typingRunsTheChangeRule() {
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QWidget page;
    auto* edit = new RuleEdit(&page);
    BindField(edit, nullptr, NumericFieldRules(kDays, nullptr));
    edit->setText(start);
    edit->selectAll();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
    QCOMPARE(edit->cursorPosition(), static_cast<int>(shown.size()));
  }

  void programSetTextPassesTheRuleToo() {
    QWidget page;
    auto* edit = new RuleEdit(&page);
    BindField(edit, nullptr, NumericFieldRules(kDays, nullptr));
    QCOMPARE(edit->text(), QString("n/a"));  // the empty start text, at binding
    edit->setText("1.5");
    QCOMPARE(edit->text(), QString("15"));
  }

  void leaveRuleRunsWhenTheFocusGoes() {
    QWidget page;
    auto* edit = new RuleEdit(&page);
    auto* other = new RuleEdit(&page);
    BindField(edit, nullptr, NumericFieldRules(ql::rules::kTwaInterval, nullptr));
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "2");
    QCOMPARE(edit->text(), QString("2"));  // below the minimum stays while typing
    other->setFocus();
    QCOMPARE(edit->text(), QString("4"));
  }

  void arrowsActOnlyWhileTheRowIsChecked() {
    QWidget page;
    auto* row = new QCheckBox(&page);
    auto* edit = new RuleEdit(&page);
    auto* arrows = new ArrowPair(&page);
    BindField(edit, arrows, NumericFieldRules(kDays, row));
    QTest::mouseClick(arrows->UpButton(), Qt::LeftButton);
    QCOMPARE(edit->text(), QString("n/a"));
    row->setChecked(true);
    QTest::mouseClick(arrows->UpButton(), Qt::LeftButton);
    QCOMPARE(edit->text(), QString("1"));
    QTest::mouseClick(arrows->DownButton(), Qt::LeftButton);
    QCOMPARE(edit->text(), QString("n/a"));
  }
};

QTEST_MAIN(FieldWidgetsTest)
#include "field_widgets_test.moc"
