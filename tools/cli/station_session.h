#pragma once
// A connection to a station driven by the engine without a window: the command-line
// tool's UI thread is its own event loop, the "pages" are the record bytes.

#include <array>
#include <chrono>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/event_loop_timer_host.h"
#include "link/event_loop.h"
#include "tools/cli/commands.h"

namespace ql::cli {

// What the engine shows, kept for the command to judge the outcome. Messages are also
// written to `err` as they come.
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
  void BuildTabItems(int deviceType) override { identified = deviceType; }
  int SelectedTab() const override { return selectedTab; }
  void ShowDockingPage() override { selectedTab = engine::kTabDocking; }
  void ShowDeviceType(int) override {}
  void EnableStationPages(bool) override {}
  void ClearFirmwareFields(RecordType) override {}
  void ClearLogList() override { logRows.clear(); }
  void ClearCertificateList() override {}
  void RecordToPage(RecordType type, std::span<const std::uint8_t> record) override {
    received[type].assign(record.begin(), record.end());
  }
  void PageToRecord(RecordType type, std::span<std::uint8_t> record) override;
  void ShowStationClock(const protocol::DateTime&) override {}
  void ClearStationClock() override {}
  void ShowIpAddress(const std::array<std::uint8_t, 4>&) override {}
  void ClearTransferStatus() override {}
  void SetFirmwareProgressRange(RecordType, int, int) override {}
  void DisableUsbDiskChoice() override {}
  void AddLogRow(std::string_view name) override { logRows.emplace_back(name); }
  void EnableLogSaveControls(bool) override {}

  int selectedTab = engine::kTabDocking;
  std::optional<int> identified;  // the device type once the station answered
  std::vector<std::string> messages;
  std::vector<std::string> logRows;
  std::map<RecordType, std::vector<std::uint8_t>> received;  // as the station sent them
  std::map<RecordType, std::vector<std::uint8_t>> toSend;    // what a write sends

 private:
  std::ostream& err_;
};

class StationSession {
 public:
  explicit StationSession(std::ostream& err);
  ~StationSession();

  // Opens the port and waits for the device type answer (and the automatic read that
  // follows it). Returns Ok, or the exit code of the failure (its message already shown).
  ExitCode Connect(const std::string& device);
  // Runs the loop until the request in flight (and any request it leads to) has ended.
  // Returns false when the engine's own time-outs did not end it within `limit`.
  bool WaitUntilIdle(std::chrono::milliseconds limit = std::chrono::seconds(90));
  // Exit code for the messages shown since `from`: NoAnswer for "Send timeOut", Refused
  // for any message in `failures`, Ok otherwise.
  ExitCode Outcome(std::size_t from, std::initializer_list<std::string_view> failures) const;

  engine::Engine& Engine() { return *engine_; }
  HeadlessUi& Ui() { return ui_; }
  link::EventLoop& Loop() { return loop_; }

 private:
  HeadlessUi ui_;
  link::EventLoop loop_;
  engine::EventLoopTimerHost timers_{loop_};
  engine::SystemWallClock clock_;
  std::unique_ptr<engine::Engine> engine_;
};

// True when --port was given; otherwise says so on err.
bool RequirePort(const CommandContext& ctx);

// The record type a configuration file of this size holds, if any.
std::optional<RecordType> RecordTypeOfSize(std::size_t size);

}  // namespace ql::cli
