#pragma once
// The part of a record page that the main window drives: start values, enabling, the busy
// state of its transfer buttons, its record conversions and its firmware block. The three
// record pages (docking station, single-gas, multi-gas) derive from it.
//
// A page also keeps the record it was last filled from (read from the station, loaded from
// the drive, or stored by a write). A field whose value differs from it, which a Write
// would change, carries a small mark, and the page's Write button's tooltip lists those
// fields. After a write, the fields the station stored differently are marked too.
//
// GUI thread only.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pages/page_host.h"
#include "records/message_sink.h"
#include "records/record_text.h"
#include "rules/record_type.h"

class QAbstractButton;
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
  ~RecordPage() override;

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
  // rules and the rows' enabling as if the values had been typed. The record becomes the
  // one the page compares its fields with.
  void RecordToPage(std::span<const std::uint8_t> record);
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

  // ---- what the station or the drive holds, and what a Write would change ----
  // The record the station or the drive holds now (a write to the drive succeeded): the
  // page compares its fields with it from now on.
  void SetStoredRecord(std::span<const std::uint8_t> record);
  // A write's read-back: `stored` is what the station holds after `sent` was written. The
  // page shows `stored` (filled again only when it differs), marks the fields the station
  // stored differently, and returns them, written value before stored value, in page order.
  std::vector<records::FieldDifference> TakeReadBack(std::span<const std::uint8_t> sent,
                                                     std::span<const std::uint8_t> stored);
  // The fields whose value differs from the stored record, stored value before the page's
  // (what a Write would change), in page order. Empty before the page was first filled.
  std::vector<records::FieldDifference> ChangedFields() const;
  // The field a label of the record's text names; null when the page has none.
  QWidget* FieldWidget(std::string_view label) const;
  // How a field is marked: not, changed since the record was stored, or stored by the
  // station other than it was written.
  enum class Mark { None, Changed, StoredDifferently };
  Mark FieldMark(std::string_view label) const;

 protected:
  // Fills the controls from a record of the page's type.
  virtual void FillFromRecord(std::span<const std::uint8_t> record) = 0;
  // The record Write button (1231), whose tooltip lists the changed fields.
  virtual QAbstractButton* RecordWriteButton() const = 0;
  // Binds a label of the record's text to a field whose accessible name is another (a
  // caption that follows the detector family). Before WatchFields.
  void NameField(std::string label, QWidget* field) { m_fields.emplace(std::move(label), field); }
  // The end of a page's constructor: finds the other fields the record's text names, by
  // their accessible names, and follows their changes.
  void WatchFields();

  IPageHost& m_host;
  bool m_enabled = false;

 private:
  void UpdateMarks();
  void SetMark(QWidget* field, Mark mark, const QString& why);

  std::vector<std::uint8_t> m_stored;  // empty until the page is first filled
  // Written value → stored value, by label, from the last read-back.
  std::map<std::string, records::FieldDifference, std::less<>> m_storedDifferently;
  std::map<std::string, QWidget*, std::less<>> m_fields;
  std::map<QWidget*, QWidget*> m_markWidgets;  // field → its mark
  std::map<QWidget*, Mark> m_marks;
  bool m_filling = false;
};

}  // namespace ql::pages
