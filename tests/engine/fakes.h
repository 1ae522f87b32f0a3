#pragma once
// Test doubles of the engine's surroundings: a serial port in memory, a virtual-clock
// timer host, and a recorder of everything the engine does to the window. The port and
// the recorder check their own contract and fail the test when it is broken.

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "engine/engine_ui.h"
#include "engine/timer_host.h"
#include "engine/wall_clock.h"
#include "link/serial_port.h"
#include "tests/support/fixed_wall_clock.h"
#include "tests/support/virtual_timer_host.h"

namespace ql::engine::testsupport {

using ql::testsupport::VirtualTimerHost;

using Bytes = std::vector<std::uint8_t>;

// A serial port whose far end is the test. Thread-safe like a real port.
class FakeSerialPort final : public link::ISerialPort {
 public:
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::uint8_t> incoming;
    Bytes written;
    bool woken = false;
    bool lost = false;
    bool waiting = false;  // the watch thread sits in WaitForData with nothing to read
    bool refuseOpen = false;
    bool refuseWrites = false;  // the line takes no bytes: an adapter pulled a moment ago
    bool open = false;          // between a successful Open and Close
    int opens = 0;
  };

  explicit FakeSerialPort(std::shared_ptr<Shared> shared) : s_(std::move(shared)) {}

  link::Status Open(const std::string& path, const link::LineSettings&) override {
    std::lock_guard lock(s_->mutex);
    if (s_->refuseOpen || path.empty()) {
      return link::Status::Error(link::ErrorKind::Busy, path + " is in use");
    }
    s_->woken = false;
    s_->lost = false;
    s_->open = true;
    ++s_->opens;
    return link::Status::Ok();
  }
  void Close() override {
    std::lock_guard lock(s_->mutex);
    s_->open = false;
  }
  // A closed port takes no bytes and gives none: a caller that writes or reads after Close
  // has lost track of the port.
  std::size_t Write(std::span<const std::uint8_t> bytes,
                    std::optional<std::chrono::milliseconds>) override {
    std::lock_guard lock(s_->mutex);
    if (!s_->open) {
      ADD_FAILURE() << "Write on a closed port";
      return 0;
    }
    if (s_->refuseWrites) return 0;
    s_->written.insert(s_->written.end(), bytes.begin(), bytes.end());
    return bytes.size();
  }
  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override {
    std::lock_guard lock(s_->mutex);
    if (!s_->open) {
      ADD_FAILURE() << "Read on a closed port";
      return std::nullopt;
    }
    std::size_t n = 0;
    while (n < buffer.size() && !s_->incoming.empty()) {
      buffer[n++] = s_->incoming.front();
      s_->incoming.pop_front();
    }
    return n;
  }
  link::WaitResult WaitForData() override {
    std::unique_lock lock(s_->mutex);
    s_->waiting = true;
    s_->changed.notify_all();
    s_->changed.wait(lock, [&] { return s_->woken || s_->lost || !s_->incoming.empty(); });
    s_->waiting = false;
    if (s_->woken) return link::WaitResult::Woken;
    if (!s_->incoming.empty()) return link::WaitResult::Data;
    return link::WaitResult::LineLost;
  }
  void Wake() override {
    std::lock_guard lock(s_->mutex);
    s_->woken = true;
    s_->changed.notify_all();
  }

 private:
  std::shared_ptr<Shared> s_;
};

using ql::testsupport::FixedWallClock;

inline const char* Name(ConnectionState state) {
  switch (state) {
    case ConnectionState::Closed:
      return "Closed";
    case ConnectionState::Opening:
      return "Opening";
    case ConnectionState::Identifying:
      return "Identifying";
    case ConnectionState::Ready:
      return "Ready";
    case ConnectionState::Closing:
      return "Closing";
  }
  return "?";
}

inline const char* Name(RequestOutcome outcome) {
  switch (outcome) {
    case RequestOutcome::Done:
      return "Done";
    case RequestOutcome::Refused:
      return "Refused";
    case RequestOutcome::TimedOut:
      return "TimedOut";
    case RequestOutcome::Stalled:
      return "Stalled";
    case RequestOutcome::LineLost:
      return "LineLost";
    case RequestOutcome::Aborted:
      return "Aborted";
    case RequestOutcome::Failed:
      return "Failed";
  }
  return "?";
}

// Records what the engine does to the window. Every call must come on the thread that
// created the recorder (the test's UI thread); one from elsewhere fails the test.
class RecordingUi final : public IEngineUi {
 public:
  void ShowMessage(std::string_view text) override {
    OnUiThread();
    messages.emplace_back(text);
    trail.push_back("message " + std::string(text));
  }
  void SetProgressPosition(int position) override {
    OnUiThread();
    progress.push_back(position);
  }
  void SetProgressRange(int, int high) override {
    OnUiThread();
    progressHigh = high;
  }
  void EnableMainControls(bool inFlight) override {
    OnUiThread();
    requestInFlight = inFlight;
  }
  void SetStatus(StatusMode mode, std::string_view text) override {
    OnUiThread();
    statusMode = mode;
    status = text;
  }
  void SetConnectCaption(std::string_view text) override {
    OnUiThread();
    caption = text;
  }
  void EnableRefreshButton(bool enabled) override {
    OnUiThread();
    refreshEnabled = enabled;
  }
  void EnableTransferModeButtons() override {
    OnUiThread();
    ++transferModeEnables;
  }
  void OnConnectionState(ConnectionState state, const link::Status& reason) override {
    OnUiThread();
    states.push_back(state);
    stateReasons.push_back(reason);
    trail.push_back(std::string("state ") + Name(state));
  }
  void OnRequestEnded(const RequestEnd& end) override {
    OnUiThread();
    ends.push_back(end);
    char code[8];
    std::snprintf(code, sizeof code, "%02X", end.request);
    trail.push_back(std::string("end ") + code + " " + Name(end.outcome));
  }
  void BuildTabItems(DeviceType deviceType) override {
    OnUiThread();
    tabItemsFor.push_back(deviceType);
  }
  int SelectedTab() const override {
    OnUiThread();
    return selectedTab;
  }
  void ShowDockingPage() override {
    OnUiThread();
    selectedTab = kTabDocking;
  }
  void ShowDeviceType(DeviceType deviceType) override {
    OnUiThread();
    shownDeviceType = deviceType;
  }
  void EnableStationPages(bool enabled) override {
    OnUiThread();
    pagesEnabled = enabled;
  }
  void ClearFirmwareFields(RecordType page) override {
    OnUiThread();
    firmwareCleared.push_back(page);
  }
  void ClearLogList() override {
    OnUiThread();
    ++logListClears;
    logRows.clear();
  }
  void ClearCertificateList() override {
    OnUiThread();
    ++certificateListClears;
    certificateRows.clear();
  }
  void AddCertificateRow(std::string_view name) override {
    OnUiThread();
    certificateRows.emplace_back(name);
  }
  void ShowCertificate(const records::CertificateRecord& certificate) override {
    OnUiThread();
    shownCertificates.push_back(certificate);
  }
  void RecordToPage(RecordType type, std::span<const std::uint8_t> record) override {
    OnUiThread();
    pages[type] = Bytes(record.begin(), record.end());
    filled.push_back(type);
  }
  void PageToRecord(RecordType type, std::span<std::uint8_t> record) override {
    OnUiThread();
    const Bytes& source = pages[type];
    std::copy_n(source.begin(), std::min(source.size(), record.size()), record.begin());
  }
  void RecordReadBack(RecordType type, std::span<const std::uint8_t> record) override {
    OnUiThread();
    readBack[type] = Bytes(record.begin(), record.end());
    trail.push_back("read back");
  }
  void ShowStationClock(const DateTime& station) override {
    OnUiThread();
    stationClock = station;
  }
  void ClearStationClock() override {
    OnUiThread();
    stationClock.reset();
  }
  void ShowIpAddress(const std::array<std::uint8_t, 4>& address) override {
    OnUiThread();
    ip = address;
  }
  void ClearTransferStatus() override {
    OnUiThread();
    ++statusClears;
  }
  void SetFirmwareProgressRange(RecordType page, int low, int high) override {
    OnUiThread();
    firmwareRange = {page, low, high};
  }
  void DisableUsbDiskChoice() override {
    OnUiThread();
    usbDiskDisabled = true;
  }
  void AddLogRow(std::string_view name) override {
    OnUiThread();
    logRows.emplace_back(name);
  }
  void EnableLogSaveControls(bool enabled) override {
    OnUiThread();
    logSaveEnabled = enabled;
  }

  std::thread::id owner = std::this_thread::get_id();
  // Messages, state changes and operation ends in the order they came ("message TEXT",
  // "state Ready", "end 33 Done").
  std::vector<std::string> trail;
  std::vector<ConnectionState> states;
  std::vector<link::Status> stateReasons;
  std::vector<RequestEnd> ends;

  std::vector<std::string> messages;
  std::vector<int> progress;
  int progressHigh = 0;
  bool requestInFlight = false;
  StatusMode statusMode = StatusMode::Disconnected;
  std::string status;
  std::string caption;
  bool refreshEnabled = true;
  int transferModeEnables = 0;
  std::vector<DeviceType> tabItemsFor;
  int selectedTab = kTabDocking;
  std::optional<DeviceType> shownDeviceType;
  bool pagesEnabled = false;
  std::vector<RecordType> firmwareCleared;
  int logListClears = 0;
  int certificateListClears = 0;
  std::map<RecordType, Bytes> pages;  // what each page shows, as record bytes
  std::vector<RecordType> filled;
  std::map<RecordType, Bytes> readBack;  // records read back after a write
  std::optional<DateTime> stationClock;
  std::optional<std::array<std::uint8_t, 4>> ip;
  int statusClears = 0;
  std::tuple<RecordType, int, int> firmwareRange{RecordType::Docking, 0, 0};
  bool usbDiskDisabled = false;
  std::vector<std::string> logRows;
  std::vector<std::string> certificateRows;
  std::vector<records::CertificateRecord> shownCertificates;
  bool logSaveEnabled = true;

 private:
  void OnUiThread() const {
    EXPECT_EQ(std::this_thread::get_id(), owner) << "an engine call off the UI thread";
  }
};

}  // namespace ql::engine::testsupport
