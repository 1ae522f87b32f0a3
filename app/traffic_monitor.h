#pragma once
// The traffic monitor `CCommDlg`: every request frame sent and every frame received, in
// hexadecimal or as characters, sent lines in red and received lines in blue. The window
// creates it hidden at start-up; its buttons only hide it. It logs only while shown, so a
// hidden monitor costs the link nothing.
//
// GUI thread only: the engine calls it from the UI thread.

#include <QDialog>
#include <cstdint>
#include <span>

#include "link/drain.h"
#include "link/traffic_log.h"

class QCheckBox;
class QKeyEvent;
class QTextEdit;

namespace ql::app {

class CCommDlg final : public QDialog, public link::ITrafficMonitor {
  Q_OBJECT
 public:
  explicit CCommDlg(QWidget* parent = nullptr);

  // link::ITrafficMonitor
  bool MonitorVisible() const override { return isVisible(); }
  void LogReceived(std::span<const std::uint8_t> line) override;
  void LogSent(std::span<const std::uint8_t> frame) override;

  // One entry at the end of the log; the log starts afresh once it holds more than
  // link::kTrafficLogLimit characters.
  void Log(std::span<const std::uint8_t> bytes, link::TrafficDirection direction);
  // "CLEAR".
  void Clear();
  QTextEdit& LogView() const { return *m_log; }

 private:
  QTextEdit* m_log;    // 1040
  QCheckBox* m_ascii;  // 1011
};

}  // namespace ql::app
