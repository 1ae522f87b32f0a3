#pragma once
// The widgets of the bounded entry fields and their wiring to the pure field rules:
// a line edit that reports losing the focus, a pair of arrows beside it (not attached to
// it), and BindField, which runs a field's change rule on every text change (typed or set
// by the program), its leave rule when the focus leaves, and its step rule on an arrow.

#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>

#include "rules/field_rules.h"

class QCheckBox;
class QToolButton;

namespace ql::pages {

// Texts are 8-bit (Latin-1) strings in the core.
std::string ToLatin1(const QString& text);
QString FromLatin1(std::string_view text);

class RuleEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit RuleEdit(QWidget* parent = nullptr);

 signals:
  void focusLost();

 protected:
  void focusOutEvent(QFocusEvent* event) override;
};

// Up and down arrows for a field, reporting which one was pressed (auto-repeating).
class ArrowPair : public QWidget {
  Q_OBJECT
 public:
  explicit ArrowPair(QWidget* parent = nullptr);
  // Names the pair and its two buttons after the field ("<name> up", "<name> down").
  void SetFieldName(const QString& name);
  QToolButton* UpButton() const { return m_up; }
  QToolButton* DownButton() const { return m_down; }

 signals:
  void stepped(ql::rules::Arrow arrow);

 private:
  QToolButton* m_up;
  QToolButton* m_down;
};

struct FieldRules {
  // Each may be empty. A rule returns the text the field must show.
  std::function<std::string(std::string_view)> change;
  std::function<std::string(std::string_view)> leave;
  std::function<std::string(std::string_view, rules::Arrow)> step;
  // Put the caret at the end after every change rule, not only after a rewrite.
  bool caretToEndAlways = false;
};

// The rules of a numeric field of the detector pages. `row`: the check box that enables
// the field's row (the arrows act only while it is checked), or null.
FieldRules NumericFieldRules(const rules::NumericField& field, const QCheckBox* row);

// Wires `edit` (and `arrows`, may be null) to `rules`. The rules run at once on the
// field's current text.
void BindField(RuleEdit* edit, ArrowPair* arrows, FieldRules rules);

}  // namespace ql::pages
