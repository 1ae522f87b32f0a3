#include "pages/record_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPainter>
#include <QPolygonF>
#include <QStringList>
#include <algorithm>

#include "pages/field_widgets.h"

namespace ql::pages {

namespace {

// A small triangle in a field's top left corner: noticeable without flooding the page with
// colour, and drawn in logical pixels so it keeps its size at any scale.
class MarkCorner final : public QWidget {
 public:
  explicit MarkCorner(QWidget* field) : QWidget(field) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    const int side = std::max(6, field->fontMetrics().height() / 2);
    setFixedSize(side, side);
    move(0, 0);
    hide();
  }
  void SetColour(const QColor& colour) {
    m_colour = colour;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_colour);
    const QPolygonF corner{QPointF(0, 0), QPointF(width(), 0), QPointF(0, height())};
    painter.drawPolygon(corner);
  }

 private:
  QColor m_colour;
};

// A field the record's text names: an entry, a check box, a list or a date.
bool IsField(QWidget* widget) {
  return qobject_cast<QLineEdit*>(widget) != nullptr ||
         qobject_cast<QCheckBox*>(widget) != nullptr ||
         qobject_cast<QComboBox*>(widget) != nullptr ||
         qobject_cast<QDateTimeEdit*>(widget) != nullptr;
}

QString Shown(const std::string& value) {
  return value.empty() ? QStringLiteral("(empty)") : FromLatin1(value);
}

}  // namespace

RecordPage::~RecordPage() {
  // The fields outlive this part of the page (QWidget deletes them later) and may still
  // change as they go, when the focus leaves one.
  for (const auto& [label, field] : m_fields) disconnect(field, nullptr, this, nullptr);
}

void RecordPage::RecordToPage(std::span<const std::uint8_t> record) {
  m_filling = true;
  FillFromRecord(record);
  m_filling = false;
  SetStoredRecord(record);
}

void RecordPage::SetStoredRecord(std::span<const std::uint8_t> record) {
  m_stored.assign(record.begin(), record.end());
  m_storedDifferently.clear();
  UpdateMarks();
}

std::vector<records::FieldDifference> RecordPage::TakeReadBack(
    std::span<const std::uint8_t> sent, std::span<const std::uint8_t> stored) {
  std::vector<records::FieldDifference> differences = records::DiffRecords(Type(), sent, stored);
  if (!std::ranges::equal(sent, stored)) {
    // The page shows what the station holds, not what it was asked to hold.
    m_filling = true;
    FillFromRecord(stored);
    m_filling = false;
  }
  m_stored.assign(stored.begin(), stored.end());
  m_storedDifferently.clear();
  for (const records::FieldDifference& d : differences) m_storedDifferently.emplace(d.label, d);
  UpdateMarks();
  return differences;
}

std::vector<records::FieldDifference> RecordPage::ChangedFields() const {
  if (m_stored.empty()) return {};
  std::vector<std::uint8_t> now(m_stored.size());
  PageToRecord(now);
  return records::DiffRecords(Type(), m_stored, now);
}

QWidget* RecordPage::FieldWidget(std::string_view label) const {
  const auto it = m_fields.find(label);
  return it == m_fields.end() ? nullptr : it->second;
}

RecordPage::Mark RecordPage::FieldMark(std::string_view label) const {
  QWidget* field = FieldWidget(label);
  if (field == nullptr) return Mark::None;
  const auto it = m_marks.find(field);
  return it == m_marks.end() ? Mark::None : it->second;
}

void RecordPage::WatchFields() {
  const std::vector<std::uint8_t> blank(records::RecordSize(Type()));
  const QList<QWidget*> children = findChildren<QWidget*>();
  for (const records::ShownField& shown : records::ShowRecord(Type(), blank)) {
    if (m_fields.contains(shown.label)) continue;
    const QString name = FromLatin1(shown.label);
    const auto found = std::ranges::find_if(
        children, [&](QWidget* w) { return w->accessibleName() == name && IsField(w); });
    if (found != children.end()) m_fields.emplace(shown.label, *found);
  }
  const auto edited = [this] {
    if (!m_filling) UpdateMarks();
  };
  for (const auto& [label, field] : m_fields) {
    if (auto* edit = qobject_cast<QLineEdit*>(field)) {
      connect(edit, &QLineEdit::textChanged, this, edited);
    } else if (auto* box = qobject_cast<QCheckBox*>(field)) {
      connect(box, &QCheckBox::toggled, this, edited);
    } else if (auto* list = qobject_cast<QComboBox*>(field)) {
      connect(list, &QComboBox::currentIndexChanged, this, edited);
    } else if (auto* date = qobject_cast<QDateTimeEdit*>(field)) {
      connect(date, &QDateTimeEdit::dateTimeChanged, this, edited);
    }
  }
}

void RecordPage::UpdateMarks() {
  const std::vector<records::FieldDifference> changed = ChangedFields();
  for (const auto& [label, field] : m_fields) {
    const auto isLabel = [&](const records::FieldDifference& d) { return d.label == label; };
    if (const auto c = std::ranges::find_if(changed, isLabel); c != changed.end()) {
      SetMark(field, Mark::Changed,
              QStringLiteral("Changed since the last read; it was %1").arg(Shown(c->before)));
    } else if (const auto s = m_storedDifferently.find(label); s != m_storedDifferently.end()) {
      SetMark(field, Mark::StoredDifferently,
              QStringLiteral("The station stored %1; %2 was written")
                  .arg(Shown(s->second.after), Shown(s->second.before)));
    } else {
      SetMark(field, Mark::None, {});
    }
  }

  QAbstractButton* write = RecordWriteButton();
  if (m_stored.empty()) {
    write->setToolTip({});
  } else if (changed.empty()) {
    write->setToolTip(QStringLiteral("This Write changes no field"));
  } else {
    QStringList lines{QStringLiteral("This Write changes:")};
    for (const records::FieldDifference& d : changed) {
      lines << QStringLiteral("%1: %2 \u2192 %3")
                   .arg(FromLatin1(d.label), Shown(d.before), Shown(d.after));
    }
    write->setToolTip(lines.join(QLatin1Char('\n')));
  }
}

void RecordPage::SetMark(QWidget* field, Mark mark, const QString& why) {
  Mark& current = m_marks[field];
  if (current == mark && field->toolTip() == why) return;
  current = mark;
  QWidget*& corner = m_markWidgets[field];
  if (corner == nullptr && mark != Mark::None) corner = new MarkCorner(field);
  if (corner != nullptr) {
    auto* markCorner = static_cast<MarkCorner*>(corner);
    markCorner->SetColour(mark == Mark::StoredDifferently ? QColor(214, 120, 0)
                                                          : QColor(40, 110, 200));
    markCorner->setVisible(mark != Mark::None);
    markCorner->raise();
  }
  // Screen readers hear what the mark shows.
  field->setToolTip(why);
  field->setAccessibleDescription(why);
}

}  // namespace ql::pages
