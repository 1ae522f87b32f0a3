#include "pages/field_widgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

namespace ql::pages {

std::string ToLatin1(const QString& text) {
  return text.toLatin1().toStdString();
}

QString FromLatin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

RuleEdit::RuleEdit(QWidget* parent) : QLineEdit(parent) {}

void RuleEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  emit focusLost();
}

ArrowPair::ArrowPair(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QToolButton* button : {m_up, m_down}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    layout->addWidget(button);
  }
  m_up->setArrowType(Qt::UpArrow);
  m_down->setArrowType(Qt::DownArrow);
  connect(m_up, &QToolButton::clicked, this, [this] { emit stepped(rules::Arrow::Up); });
  connect(m_down, &QToolButton::clicked, this, [this] { emit stepped(rules::Arrow::Down); });
}

void ArrowPair::SetFieldName(const QString& name) {
  setAccessibleName(name);
  m_up->setAccessibleName(name + QStringLiteral(" up"));
  m_down->setAccessibleName(name + QStringLiteral(" down"));
}

FieldRules NumericFieldRules(const rules::NumericField& field, const QCheckBox* row) {
  FieldRules result;
  result.change = [field](std::string_view text) { return rules::ApplyChangeRule(field, text); };
  if (field.kind == rules::NumericKind::B || field.kind == rules::NumericKind::L) {
    result.leave = [field](std::string_view text) { return rules::ClampOnLeave(field, text); };
  }
  result.step = [field, row](std::string_view text, rules::Arrow arrow) {
    return rules::StepNumericField(field, text, arrow, row == nullptr || row->isChecked());
  };
  // The typing caps put the caret at the end on every change; the W and T rule only when
  // it filtered characters out (a rewrite).
  result.caretToEndAlways =
      field.kind != rules::NumericKind::W && field.kind != rules::NumericKind::T;
  return result;
}

namespace {

// Shows `text` unless the field shows it already; the change rule runs again on it.
void Rewrite(RuleEdit* edit, const std::string& text) {
  const QString shown = FromLatin1(text);
  if (edit->text() != shown) edit->setText(shown);
}

}  // namespace

void BindField(RuleEdit* edit, ArrowPair* arrows, FieldRules rules) {
  auto shared = std::make_shared<FieldRules>(std::move(rules));
  if (shared->change) {
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, shared](const QString& text) {
      const std::string result = shared->change(ToLatin1(text));
      if (FromLatin1(result) != text) {
        Rewrite(edit, result);  // setText leaves the caret at the end
      } else if (shared->caretToEndAlways) {
        edit->end(false);
      }
    });
  }
  if (shared->leave) {
    QObject::connect(edit, &RuleEdit::focusLost, edit,
                     [edit, shared] { Rewrite(edit, shared->leave(ToLatin1(edit->text()))); });
  }
  if (arrows != nullptr && shared->step) {
    QObject::connect(arrows, &ArrowPair::stepped, edit, [edit, shared](rules::Arrow arrow) {
      Rewrite(edit, shared->step(ToLatin1(edit->text()), arrow));
    });
  }
  if (shared->change) Rewrite(edit, shared->change(ToLatin1(edit->text())));
}

}  // namespace ql::pages
