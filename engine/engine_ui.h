#pragma once
// Everything the engine does to the window goes through this one interface. The Qt main
// window implements it; the command-line tool and the tests implement it without widgets.
// All calls come on the UI thread (the thread that runs the engine's poster and timers).
//
// Beside what a window shows (messages, progress, enabled controls) the engine reports two
// typed events, and front ends decide on those, never on the message texts:
//   - OnConnectionState: every change of the connection state;
//   - OnRequestEnded: the end of every operation a front end started, with its outcome.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "link/status.h"
#include "protocol/commands.h"
#include "protocol/request_block.h"
#include "records/certificate.h"
#include "rules/record_type.h"

namespace ql::engine {

// The life of a connection. Reported on every change, and only on a change.
//   Closed → Opening (OPEN pressed) → Identifying (the port is open, the device type query
//   0x40 is out) → Ready (its answer named a known family: single-gas, multi-gas or pump)
//   → Closing (CLOSE, a lost line, the query's time-out) → Closed.
// An open that fails goes Opening → Closed. An answer naming no known family leaves the
// state at Identifying: the port stays open, the pages stay disabled, and the query ends
// Refused. The factory default answer goes Closing → Closed → Opening → Identifying.
enum class ConnectionState { Closed, Opening, Identifying, Ready, Closing };

// How an operation ended.
enum class RequestOutcome {
  Done,      // the station did what was asked (status Ok)
  Refused,   // not done. The station refused it or sent something unusable (status kind
             // Protocol); or the engine did not start it (BadArgument: the port is closed,
             // nothing is selected, an empty serial number)
  TimedOut,  // a request of it got no answer within its response time-out ("Send timeOut")
  Stalled,   // a transfer had started and the station stopped answering part way (the
             // YMODEM waits, the log download watchdog)
  LineLost,  // the port went away
  Aborted,   // the user closed the port, or started another request over it
  Failed,    // the PC's side failed: a received file could not be stored, the line took no
             // bytes
};

// The end of one operation: a request and whatever it leads to.
//   0x40 device type query: its answer (Done for a known family), or its time-out.
//   0x33 record read (a page's Read, and the automatic read that follows a device type
//        answer of a single-gas or multi-gas station): ends with the last answer of the
//        sequence, the station clock's after a docking station record. A read-back
//        (Engine::ReadBack) ends with its one answer.
//   0x30 record write: the 0x30 → 0x31 pair; ends with the answer 0x31 or 0x32.
//   0x37, 0x38, 0x39 firmware upload: ends with the transfer's result.
//   0x34 log list; 0x35 log save run: ends when the last file is stored or the run fails.
//   0x50 certificate list; 0x51 certificate: their answers.
//   0xAE clock read; 0xAF clock set; 0x41, 0xFF, 0xAC, 0xAD, 0x42, 0x43 service requests.
struct RequestEnd {
  std::uint8_t request = 0;  // the code of the request that started it (protocol::cmd)
  RequestOutcome outcome = RequestOutcome::Done;
  // Ok when Done. Otherwise why, in the most telling words at hand: a failed transfer's
  // own reason (its YMODEM error), else the message the engine showed for it (the
  // station's refusal, "Send timeOut", "Connection lost"), else the engine's own words
  // ("the port was closed", "ended by a newer request"). Its kind agrees with the outcome:
  // Protocol or BadArgument for Refused, Timeout for TimedOut and Stalled, Io for LineLost,
  // Aborted for Aborted.
  link::Status status;
};

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

  // Typed events. Order, for any operation: first what the engine does to end it (its
  // state changes, progress, its message), then OnRequestEnded; whatever the engine starts
  // because of it (the automatic read after 0x40, the reconnect after a factory default,
  // the next request of a sequence) comes after the event.
  //
  // OnConnectionState: `reason` is Ok except on a change to Closed that nobody asked for:
  // a port that cannot be opened (the OS message, kind Busy, Io or BadArgument; after the
  // "Port open fail" message), a device type query that got no answer (Timeout), a lost
  // line (Io). Ready comes after the device type answer's page updates and before its
  // operation's end.
  virtual void OnConnectionState(ConnectionState state, const link::Status& reason) = 0;
  // Exactly once for every operation a front-end call started: also for a call the engine
  // refuses at once (a closed port, nothing selected), which reports Refused without
  // touching the operation in flight. A call made while the same transfer runs (a second
  // upload or save run) is ignored, as its disabled button would be, and reports nothing.
  // Starting another request over one in flight ends that one Aborted first; starting the
  // same kind again carries it on, and the later one's end is reported. Closing the port
  // ends the operation in flight: Aborted (CLOSE), LineLost, TimedOut (the device type
  // query); a log save run whose receive is under way reports when the receive has ended.
  // An answer the request in flight cannot get (another request's code, a second answer to
  // a resent copy, an answer when nothing is in flight) is dropped: it changes nothing and
  // reports nothing.
  virtual void OnRequestEnded(const RequestEnd& end) = 0;

  // Tabs and pages.
  virtual void BuildTabItems(protocol::DeviceType deviceType) = 0;
  virtual int SelectedTab() const = 0;
  // Selects tab item 0 and shows the docking station page.
  virtual void ShowDockingPage() = 0;
  virtual void ShowDeviceType(protocol::DeviceType deviceType) = 0;
  // The controls a connected station makes usable: the three record pages, the log
  // page's "Select All", "Local Save" and "Refresh", the certificate page's "Refresh"
  // and the date and time page.
  virtual void EnableStationPages(bool enabled) = 0;
  // Empties the firmware file field and label of a record page.
  virtual void ClearFirmwareFields(RecordType page) = 0;
  virtual void ClearLogList() = 0;
  virtual void ClearCertificateList() = 0;
  // Certificate page: rows are added in list order after the list was cleared; a loaded
  // certificate with data is shown (one with no data leaves the panel clear).
  virtual void AddCertificateRow(std::string_view name) = 0;
  virtual void ShowCertificate(const records::CertificateRecord& certificate) = 0;

  // Record pages: fill a page from its record, encode a page into its record.
  virtual void RecordToPage(RecordType type, std::span<const std::uint8_t> record) = 0;
  virtual void PageToRecord(RecordType type, std::span<std::uint8_t> record) = 0;
  // The record the station holds, read back after a write (Engine::ReadBack); the page is
  // not filled by the engine.
  virtual void RecordReadBack(RecordType type, std::span<const std::uint8_t> record) = 0;

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
