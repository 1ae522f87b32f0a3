#pragma once
// Everything the engine does to the window goes through this one interface. The Qt main
// window implements it; the command-line tool and the tests implement it without widgets.
// All calls come on the UI thread.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "protocol/request_block.h"
#include "rules/record_type.h"

namespace ql::engine {

// Main tab indexes as the tab items are built: the docking station page first, then the
// detector page of the station's family.
inline constexpr int kTabDocking = 0;
inline constexpr int kTabDetector = 1;

enum class StatusMode { Disconnected = 0, Connected = 1 };

class IEngineUi {
 public:
  virtual ~IEngineUi() = default;

  // A modal message with one OK button, caption "Quaylink".
  virtual void ShowMessage(std::string_view text) = 0;

  // Position on all four progress bars; range of the main bar.
  virtual void SetProgressPosition(int position) = 0;
  virtual void SetProgressRange(int low, int high) = 0;
  // true while a request is in flight (the main buttons are disabled).
  virtual void EnableMainControls(bool requestInFlight) = 0;

  // Connection controls: status field, OPEN/CLOSE caption, port refresh button.
  virtual void SetStatus(StatusMode mode, std::string_view text) = 0;
  virtual void SetConnectCaption(std::string_view caption) = 0;
  virtual void EnableRefreshButton(bool enabled) = 0;
  // The " IR" and "USB Disk" transfer-mode choices.
  virtual void EnableTransferModeButtons() = 0;

  // Tabs and pages.
  virtual void BuildTabItems(int deviceType) = 0;
  virtual int SelectedTab() const = 0;
  // Selects tab item 0 and shows the docking station page.
  virtual void ShowDockingPage() = 0;
  virtual void ShowDeviceType(int deviceType) = 0;
  // The controls a connected station makes usable: the three record pages, the log
  // page's "Select All", "Local Save" and "Refresh", the certificate page's "Refresh"
  // and the date and time page.
  virtual void EnableStationPages(bool enabled) = 0;
  // Empties the firmware file field and label of a record page.
  virtual void ClearFirmwareFields(RecordType page) = 0;
  virtual void ClearLogList() = 0;
  virtual void ClearCertificateList() = 0;

  // Record pages: fill a page from its record, encode a page into its record.
  virtual void RecordToPage(RecordType type, std::span<const std::uint8_t> record) = 0;
  virtual void PageToRecord(RecordType type, std::span<std::uint8_t> record) = 0;

  // Station clock fields: shown after a clock answer, emptied when the port closes.
  virtual void ShowStationClock(const protocol::DateTime& station) = 0;
  virtual void ClearStationClock() = 0;

  // Service page: the station's IP address.
  virtual void ShowIpAddress(const std::array<std::uint8_t, 4>& address) = 0;

  // Transfers.
  // Empties the main window's transfer status text.
  virtual void ClearTransferStatus() = 0;
  // Range of a record page's own firmware progress bar.
  virtual void SetFirmwareProgressRange(RecordType page, int low, int high) = 0;
  // The "USB Disk" transfer-mode choice, disabled while the log page is in use.
  virtual void DisableUsbDiskChoice() = 0;
  // Log page list: rows are added in list order after the list was cleared.
  virtual void AddLogRow(std::string_view name) = 0;
  // OPEN, "Local Save" and "Refresh", disabled while log files are being saved.
  virtual void EnableLogSaveControls(bool enabled) = 0;
};

}  // namespace ql::engine
