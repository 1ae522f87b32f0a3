#pragma once
// A connection to a station driven by the engine without a window: the command-line
// tool's UI thread is its own event loop, the "pages" are the record bytes. Commands start
// the engine's operations and wait for their typed ends; the engine's messages go to
// stderr as they come. While a session lives, SIGINT, SIGTERM and SIGHUP stop it (see
// StopSignals): the wait in progress ends Aborted, every later one at once, and the
// session's end stops a transfer still running, dropping a file not received whole.

#include <array>
#include <chrono>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/event_loop_timer_host.h"
#include "link/event_loop.h"
#include "link/traffic_log.h"
#include "tools/cli/commands.h"
#include "tools/cli/stop_signals.h"

namespace ql::cli {

// What the engine reports, kept for the commands: the connection state, the ends of the
// operations, the records and log rows the station sent. Messages are written to `err`.
// Single-threaded: the engine calls it on the session's loop thread.
class HeadlessUi final : public engine::IEngineUi {
 public:
  explicit HeadlessUi(std::ostream& err) : err_(err) {}

  void ShowMessage(std::string_view text) override;
  void SetProgressPosition(int) override {}
  void SetProgressRange(int, int) override {}
  void EnableMainControls(bool) override {}
  void SetStatus(engine::StatusMode, std::string_view) override {}
  void SetConnectCaption(std::string_view) override {}
  void EnableRefreshButton(bool) override {}
  void EnableTransferModeButtons() override {}
  void OnConnectionState(engine::ConnectionState s, const link::Status& reason) override {
    state = s;
    stateReason = reason;
  }
  void OnRequestEnded(const engine::RequestEnd& end) override { ends.push_back(end); }
  void BuildTabItems(protocol::DeviceType) override {}
  int SelectedTab() const override { return selectedTab; }
  void ShowDockingPage() override { selectedTab = engine::kTabDocking; }
  void ShowDeviceType(protocol::DeviceType) override {}
  void EnableStationPages(bool) override {}
  void ClearFirmwareFields(RecordType) override {}
  void ClearLogList() override { logRows.clear(); }
  void ClearCertificateList() override { certificateRows.clear(); }
  void AddCertificateRow(std::string_view name) override { certificateRows.emplace_back(name); }
  void ShowCertificate(const records::CertificateRecord& certificate) override {
    shownCertificate = certificate;
  }
  void RecordToPage(RecordType type, std::span<const std::uint8_t> record) override {
    received[type].assign(record.begin(), record.end());
  }
  void PageToRecord(RecordType type, std::span<std::uint8_t> record) override;
  void RecordReadBack(RecordType type, std::span<const std::uint8_t> record) override {
    readBack[type].assign(record.begin(), record.end());
  }
  void ShowStationClock(const protocol::DateTime& station) override { stationClock = station; }
  void ClearStationClock() override { stationClock.reset(); }
  void ShowIpAddress(const std::array<std::uint8_t, 4>& address) override { ipAddress = address; }
  void ClearTransferStatus() override {}
  void SetFirmwareProgressRange(RecordType, int, int) override {}
  void DisableUsbDiskChoice() override {}
  void AddLogRow(std::string_view name) override { logRows.emplace_back(name); }
  void EnableLogSaveControls(bool) override {}

  // A line of the tool's own on stderr, among the engine's messages.
  void Say(std::string_view text);
  // The last line said with Say.
  const std::string& LastSaid() const { return lastSaid_; }

  int selectedTab = engine::kTabDocking;
  engine::ConnectionState state = engine::ConnectionState::Closed;
  link::Status stateReason;  // why the state last changed (Ok unless a failure closed it)
  std::vector<engine::RequestEnd> ends;
  std::string lastMessage;  // the engine's last message
  std::vector<std::string> logRows;
  std::vector<std::string> certificateRows;
  std::optional<records::CertificateRecord> shownCertificate;
  std::optional<protocol::DateTime> stationClock;            // from the last clock answer taken
  std::optional<std::array<std::uint8_t, 4>> ipAddress;      // from the last IP address answer
  std::map<RecordType, std::vector<std::uint8_t>> received;  // as the station sent them
  std::map<RecordType, std::vector<std::uint8_t>> toSend;    // what a write sends
  std::map<RecordType, std::vector<std::uint8_t>> readBack;  // what the station stored

 private:
  std::ostream& err_;
  std::string lastSaid_;
};

// --monitor: the traffic monitor's entries on a stream, hexadecimal, one line per line.
// The engine logs on the session's loop thread, the thread that also writes its messages
// to the same stream; each entry still goes out in one piece under a lock, so a caller on
// another thread could never split one.
class StreamTrafficMonitor final : public link::ITrafficMonitor {
 public:
  explicit StreamTrafficMonitor(std::ostream& out) : out_(out) {}
  bool MonitorVisible() const override { return true; }
  void LogReceived(std::span<const std::uint8_t> line) override;
  void LogSent(std::span<const std::uint8_t> frame) override;

 private:
  void Write(std::span<const std::uint8_t> bytes, link::TrafficDirection direction);

  std::mutex mutex_;
  std::ostream& out_;  // guarded by mutex_
};

class StationSession {
 public:
  // Longer than any of the engine's own time-outs: only a station that keeps the line busy
  // for ever runs into them.
  static constexpr std::chrono::seconds kRequestLimit{90};
  static constexpr std::chrono::minutes kTransferLimit{15};

  // Messages go to `err`; with `monitor` the traffic monitor's lines too.
  explicit StationSession(std::ostream& err, bool monitor = false);
  // As the command line asks: messages to its stderr, --monitor honoured.
  explicit StationSession(const CommandContext& ctx)
      : StationSession(ctx.err, ctx.options.monitor) {}
  ~StationSession();

  // Opens the port and waits for the device type answer and, on a single-gas or
  // multi-gas station, for the automatic read that follows it. Ok, or the exit code of
  // the failure (its message already shown): 2 when the port cannot be opened.
  ExitCode Connect(const std::string& device);
  // The family the device type answer named.
  protocol::DeviceType StationType() const { return stationType_; }
  // The end of the automatic read, when Connect waited for one.
  const std::optional<engine::RequestEnd>& AutomaticRead() const { return automaticRead_; }

  // Runs `start`, which starts the operation of `request`, and the loop until that
  // operation ends. Past `limit` the engine gives it up as a time-out. After a stop signal
  // it ends Aborted, the signal named in its status.
  engine::RequestEnd Run(std::uint8_t request, const std::function<void()>& start,
                         std::chrono::milliseconds limit = kRequestLimit);

  // The stop signal received, if any.
  std::optional<int> StopSignal() const { return stopSignal_; }

  engine::Engine& Engine() { return *engine_; }
  HeadlessUi& Ui() { return ui_; }
  link::EventLoop& Loop() { return loop_; }

 private:
  void OnStopSignal(int signal);
  // Waits for the first end of `request` reported from index `from` on.
  engine::RequestEnd WaitFor(std::uint8_t request, std::size_t from,
                             std::chrono::milliseconds limit);

  HeadlessUi ui_;
  StreamTrafficMonitor monitor_;
  link::EventLoop loop_;
  engine::EventLoopTimerHost timers_{loop_};
  engine::SystemWallClock clock_;
  std::unique_ptr<engine::Engine> engine_;
  protocol::DeviceType stationType_ = protocol::DeviceType::None;
  std::optional<engine::RequestEnd> automaticRead_;
  std::optional<int> stopSignal_;
  // Last: its watcher is gone before anything it posts to can go.
  StopSignals stopSignals_{loop_, [this](int signal) { OnStopSignal(signal); }};
};

// The exit code of an operation's end: 0 done, 3 no answer to a request,
// 1 for every other end (refused, a transfer that broke off, a lost line).
ExitCode ExitCodeOf(const engine::RequestEnd& end);

// After a failed transfer: its own reason on `err` ("quaylink-cli: ..."), unless the
// engine's message or the tool's last line already said it.
void SayTransferFailure(HeadlessUi& ui, const engine::RequestEnd& end);

// True when --port was given; otherwise says so on err.
bool RequirePort(const CommandContext& ctx);

// The record type a configuration file of this size holds, if any.
std::optional<RecordType> RecordTypeOfSize(std::size_t size);

}  // namespace ql::cli
