#include "app/traffic_monitor.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <string>

#include "pages/control_id.h"

namespace ql::app {

using pages::SetControlId;

namespace {

// A byte as the character it codes; control codes as their visible pictures (U+2400 on),
// so a CR or NUL in a frame neither breaks the line nor vanishes.
QString Characters(const std::string& line) {
  QString text;
  text.reserve(static_cast<qsizetype>(line.size()));
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20) {
      text += QChar(0x2400 + byte);
    } else if (byte == 0x7F) {
      text += QChar(0x2421);
    } else {
      text += QChar(byte);  // Latin-1
    }
  }
  return text;
}

}  // namespace

CCommDlg::CCommDlg(QWidget* parent)
    : QDialog(parent),
      m_log(new QTextEdit(this)),
      m_ascii(new QCheckBox(QStringLiteral("Ascii"), this)) {
  // The template's caption is "Dialog"; a title that says what the window is.
  setWindowTitle(QStringLiteral("Traffic Monitor"));
  SetControlId(this, 326);
  SetControlId(m_log, 1040, QStringLiteral("Traffic"));
  m_log->setReadOnly(true);
  m_log->setUndoRedoEnabled(false);
  m_log->setLineWrapMode(QTextEdit::NoWrap);
  m_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_log->setFont(QFont(QStringLiteral("monospace")));
  SetControlId(m_ascii, 1011, m_ascii->text());
  auto* clear = new QPushButton(QStringLiteral("CLEAR"), this);
  SetControlId(clear, 1041, clear->text());
  auto* ok = new QPushButton(QStringLiteral("확인"), this);
  SetControlId(ok, 1, ok->text());
  auto* cancel = new QPushButton(QStringLiteral("취소"), this);
  SetControlId(cancel, 2, cancel->text());
  for (QPushButton* button : {clear, ok, cancel}) button->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(clear);
  buttons->addWidget(m_ascii);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_log, 1);
  layout->addLayout(buttons);
  // 608 x 180 dialog units.
  resize(fontMetrics().averageCharWidth() * 152, fontMetrics().height() * 23);

  connect(clear, &QPushButton::clicked, this, &CCommDlg::Clear);
  connect(ok, &QPushButton::clicked, this, &QDialog::hide);
  connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

void CCommDlg::LogReceived(std::span<const std::uint8_t> line) {
  Log(line, link::TrafficDirection::Received);
}

void CCommDlg::LogSent(std::span<const std::uint8_t> frame) {
  Log(frame, link::TrafficDirection::Sent);
}

void CCommDlg::Log(std::span<const std::uint8_t> bytes, link::TrafficDirection direction) {
  const bool ascii = m_ascii->isChecked();
  // The document counts every line break as one character.
  if (static_cast<std::size_t>(m_log->document()->characterCount() - 1) > link::kTrafficLogLimit)
    m_log->clear();
  QTextCharFormat format;
  format.setForeground(direction == link::TrafficDirection::Sent ? QColor(255, 0, 0)
                                                                 : QColor(0, 0, 255));
  QTextCursor cursor(m_log->document());
  cursor.movePosition(QTextCursor::End);
  cursor.beginEditBlock();
  for (const std::string& line : link::TrafficEntryLines(bytes, direction, ascii)) {
    cursor.insertText(Characters(line), format);
    cursor.insertBlock();  // the line end
  }
  cursor.endEditBlock();
  m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
}

void CCommDlg::Clear() {
  m_log->clear();
}

}  // namespace ql::app
