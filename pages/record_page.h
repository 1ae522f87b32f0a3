#pragma once
// The part of a record page that the main window drives: start values, enabling, the busy
// state of its transfer buttons, its record conversions and its firmware block. The three
// record pages (docking station, single-gas, multi-gas) derive from it.
//
// GUI thread only.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pages/page_host.h"
#include "records/message_sink.h"
#include "rules/record_type.h"

class QProgressBar;

namespace ql::pages {

// Holds the record layer's messages until the page shows what was read, then passes them
// to the window's one message path in their order.
class HeldMessages final : public records::IMessageSink {
 public:
  explicit HeldMessages(IPageHost& host) : m_host(host) {}
  void ShowMessage(std::string_view text) override { m_texts.emplace_back(text); }
  void Flush() {
    for (const std::string& text : m_texts) m_host.ShowMessage(text);
    m_texts.clear();
  }

 private:
  IPageHost& m_host;
  std::vector<std::string> m_texts;
};

class RecordPage : public QWidget {
  Q_OBJECT
 public:
  RecordPage(IPageHost& host, QWidget* parent) : QWidget(parent), m_host(host) {}

  virtual RecordType Type() const = 0;

  // The page's start values (the fields the Part names keep their contents).
  virtual void LoadDefaults() = 0;
  // Enables (true) or disables the page's controls and remembers the state.
  virtual void EnablePage(bool enabled) = 0;
  bool PageEnabled() const { return m_enabled; }
  // While busy, the page's Browse, Read, Write and firmware Write are disabled; not busy
  // gives them the remembered enabled state again.
  virtual void SetBusy(bool busy) = 0;

  // Fills the page from a record of the page's type (its fixed size), applying the field
  // rules and the rows' enabling as if the values had been typed.
  virtual void RecordToPage(std::span<const std::uint8_t> record) = 0;
  // Encodes the page into `record` (the page's fixed size), the way a Write sends it.
  virtual void PageToRecord(std::span<std::uint8_t> record) const = 0;
  // The first value the page would refuse to write, as a sentence naming the field, or
  // nothing. Write checks it before anything is sent or saved.
  virtual std::optional<std::string> CheckPage() const = 0;

  // Firmware block: the path field's text, emptying the path and its version label, and
  // the page's own progress bar.
  virtual QString FirmwarePath() const = 0;
  virtual void ClearFirmwareFields() = 0;
  virtual QProgressBar* FirmwareBar() const = 0;

 protected:
  IPageHost& m_host;
  bool m_enabled = false;
};

}  // namespace ql::pages
