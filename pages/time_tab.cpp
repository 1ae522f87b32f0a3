#include "pages/time_tab.h"

#include <QDate>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "pages/control_id.h"
#include "pages/dialog_keys.h"

namespace ql::pages {

namespace {

QString DateText(const protocol::DateTime& t) {
  return QString::asprintf("%04d-%02d-%02d", t.year, t.month, t.day);
}

QString TimeText(const protocol::DateTime& t) {
  return QString::asprintf("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

protocol::DateTime LocalDateTime(std::time_t when) {
  protocol::RequestBlock block;
  block.SetLocalTime(when);
  return block.time;
}

QLineEdit* ClockField(QWidget* parent, int id, const QString& accessibleName, const QFont& font,
                      const QColor& text, const QColor& background) {
  auto* field = new QLineEdit(parent);
  field->setReadOnly(true);
  field->setFocusPolicy(Qt::NoFocus);
  field->setAlignment(Qt::AlignCenter);
  field->setFont(font);
  QPalette palette = field->palette();
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Base, background);
  field->setPalette(palette);
  field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("  0000-00-00  ")));
  SetControlId(field, id, accessibleName);
  return field;
}

QPushButton* TwoLineButton(QWidget* parent, int id, const QString& first, const QString& second) {
  // The caption's line break; the accessible name reads it as one phrase.
  auto* button = new QPushButton(first + QLatin1Char('\n') + second, parent);
  button->setAutoDefault(false);
  SetControlId(button, id, first + QLatin1Char(' ') + second);
  return button;
}

}  // namespace

cDlgtTimeSetTab::cDlgtTimeSetTab(IPageHost& host, const engine::IWallClock& clock, QWidget* parent)
    : QWidget(parent),
      m_host(host),
      m_clock(clock),
      m_setGroup(new QGroupBox(QStringLiteral("Docking Timer Set"), this)),
      m_currentTime(TwoLineButton(this, 1234, QStringLiteral("CURRENT"), QStringLiteral("TIME"))),
      m_datePicker(new QDateEdit(this)),
      m_timePicker(new QTimeEdit(this)),
      m_update(TwoLineButton(this, 1232, QStringLiteral("DATE/TIME"), QStringLiteral("UPDATE"))),
      m_read(TwoLineButton(this, 1233, QStringLiteral("DATE/TIME"), QStringLiteral("READ"))) {
  SetControlId(this, 327);
  SetControlId(m_setGroup, 1106);
  SetControlId(m_datePicker, 1241, QStringLiteral("Date to set"));
  SetControlId(m_timePicker, 1242, QStringLiteral("Time to set"));
  m_datePicker->setDisplayFormat(QStringLiteral("    yyyy - MM - dd "));
  m_timePicker->setDisplayFormat(QStringLiteral("      HH : mm : ss "));
  // The station's answer is only taken from 1900 on.
  m_datePicker->setMinimumDate(QDate(1900, 1, 1));
  for (QAbstractSpinBox* picker :
       {static_cast<QAbstractSpinBox*>(m_datePicker), static_cast<QAbstractSpinBox*>(m_timePicker)})
    picker->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  // One font for the headings and the clock fields: light, 18 pixels high at 100%.
  QFont clockFont = font();
  clockFont.setPointSizeF(13.5);
  clockFont.setWeight(QFont::Light);
  const QColor heading(86, 86, 86);
  const QColor value(30, 30, 30);
  m_pcHeading =
      ClockField(this, 1037, QStringLiteral("PC DATE/TIME"), clockFont, Qt::white, heading);
  m_pcHeading->setText(QStringLiteral("PC DATE/TIME"));
  m_pcDate = ClockField(this, 1024, QStringLiteral("PC date"), clockFont, value, Qt::white);
  m_pcTime = ClockField(this, 1026, QStringLiteral("PC time"), clockFont, value, Qt::white);
  m_stationHeading =
      ClockField(this, 1040, QStringLiteral("Docking DATE/TIME"), clockFont, Qt::white, heading);
  m_stationHeading->setText(QStringLiteral("Docking DATE/TIME"));
  m_stationDate =
      ClockField(this, 1027, QStringLiteral("Docking date"), clockFont, value, Qt::white);
  m_stationTime =
      ClockField(this, 1028, QStringLiteral("Docking time"), clockFont, value, Qt::white);

  auto* pickers = new QVBoxLayout;
  pickers->addWidget(m_datePicker);
  pickers->addWidget(m_timePicker);
  auto* setRow = new QHBoxLayout(m_setGroup);
  setRow->addWidget(m_currentTime);
  setRow->addLayout(pickers, 1);
  setRow->addWidget(m_update);

  auto* clocks = new QGridLayout;
  clocks->addWidget(m_pcHeading, 0, 0);
  clocks->addWidget(m_pcDate, 1, 0);
  clocks->addWidget(m_pcTime, 2, 0);
  clocks->addWidget(m_stationHeading, 0, 1);
  clocks->addWidget(m_stationDate, 1, 1);
  clocks->addWidget(m_stationTime, 2, 1);
  auto* readRow = new QHBoxLayout;
  readRow->addLayout(clocks, 1);
  readRow->addWidget(m_read);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_setGroup);
  layout->addLayout(readRow);
  layout->addStretch(1);

  connect(m_currentTime, &QPushButton::clicked, this, &cDlgtTimeSetTab::OnCurrentTime);
  connect(m_update, &QPushButton::clicked, this, &cDlgtTimeSetTab::OnUpdate);
  connect(m_read, &QPushButton::clicked, this, &cDlgtTimeSetTab::OnRead);
  SwallowDialogKeys(this);

  OnCurrentTime();
  RefreshClock(std::nullopt);
  ApplyEnabling();
}

void cDlgtTimeSetTab::SetStationAvailable(bool available) {
  m_stationAvailable = available;
  ApplyEnabling();
}

void cDlgtTimeSetTab::SetAutoSync(bool on) {
  m_autoSync = on;
  ApplyEnabling();
}

void cDlgtTimeSetTab::SetBusy(bool busy) {
  m_busy = busy;
  ApplyEnabling();
}

void cDlgtTimeSetTab::ApplyEnabling() {
  m_read->setEnabled(m_stationAvailable && !m_busy);
  m_update->setEnabled(m_stationAvailable && !m_autoSync && !m_busy);
  const bool settable = m_stationAvailable && !m_autoSync;
  for (QWidget* control : {static_cast<QWidget*>(m_datePicker), static_cast<QWidget*>(m_timePicker),
                           static_cast<QWidget*>(m_currentTime)})
    control->setEnabled(settable);
}

void cDlgtTimeSetTab::RefreshClock(std::optional<std::int64_t> stationOffset) {
  const std::time_t now = m_clock.Now();
  const protocol::DateTime pc = LocalDateTime(now);
  m_pcDate->setText(DateText(pc));
  m_pcTime->setText(TimeText(pc));
  if (stationOffset) {
    const auto station = static_cast<std::time_t>(static_cast<std::int64_t>(now) - *stationOffset);
    ShowStationClock(LocalDateTime(station));
  }
}

void cDlgtTimeSetTab::ShowStationClock(const protocol::DateTime& station) {
  m_stationDate->setText(DateText(station));
  m_stationTime->setText(TimeText(station));
}

void cDlgtTimeSetTab::ClearStationClock() {
  m_stationDate->clear();
  m_stationTime->clear();
}

protocol::DateTime cDlgtTimeSetTab::PickedDateTime() const {
  const QDate date = m_datePicker->date();
  const QTime time = m_timePicker->time();
  return {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
}

void cDlgtTimeSetTab::SetPickedDateTime(const protocol::DateTime& t) {
  m_datePicker->setDate(QDate(t.year, t.month, t.day));
  m_timePicker->setTime(QTime(t.hour, t.minute, t.second));
}

void cDlgtTimeSetTab::OnCurrentTime() {
  SetPickedDateTime(LocalDateTime(m_clock.Now()));
}

void cDlgtTimeSetTab::OnUpdate() {
  m_host.Station().SetStationClock(PickedDateTime());
}

void cDlgtTimeSetTab::OnRead() {
  m_host.Station().ReadStationClock();
}

}  // namespace ql::pages
