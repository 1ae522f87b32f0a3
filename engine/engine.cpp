#include "engine/engine.h"

#include <algorithm>

#include "records/byte_order.h"

namespace ql::engine {

using link::ReceivedFrame;
using namespace std::chrono_literals;

namespace {

constexpr std::string_view kMismatch = "Device Type Mismatch \n (Close port and re-open)";
constexpr std::string_view kReadComplete = "   Read complete   ";
constexpr std::string_view kSendTimeout = "Send timeOut";
constexpr int kResendLimit = 100;
constexpr std::uint8_t kResponseTickLimit = 10;
// Requests with a payload of this size or more are supervised by timer 0, not resent.
constexpr std::size_t kLongRequest = 12;

std::int32_t Le32(std::span<const std::uint8_t> p, std::size_t offset) {
  return static_cast<std::int32_t>(records::le::LoadU32(p, offset));
}

// The station's clock as local time; nothing when a field is out of range.
std::optional<std::time_t> StationTimeToEpoch(const DateTime& t) {
  if (t.year < 1900 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 ||
      t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59) {
    return std::nullopt;
  }
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  const std::time_t epoch = std::mktime(&tm);
  if (epoch == static_cast<std::time_t>(-1)) return std::nullopt;
  return epoch;
}

}  // namespace

// What a transfer reports from its worker thread, carried over to the UI thread.
class Engine::TransferObserver final : public link::ITransferObserver {
 public:
  explicit TransferObserver(Engine& engine) : engine_(engine) {}
  void SetProgressRange(int low, int high) override {
    engine_.PostToUi([low, high](Engine& e) { e.ui_.SetProgressRange(low, high); });
  }
  void SetProgressPosition(int position) override {
    engine_.PostToUi([position](Engine& e) { e.ui_.SetProgressPosition(position); });
  }
  void RestartWatchdog() override {
    engine_.PostToUi([](Engine& e) {
      if (e.logRunActive_) e.StartTimer(timer::kLogWatchdog, std::chrono::milliseconds(10000));
    });
  }
  void ClearStatusText() override {
    engine_.PostToUi([](Engine& e) { e.ui_.ClearTransferStatus(); });
  }

 private:
  Engine& engine_;
};

// Searched in this order; the first match wins.
const std::array<Engine::ResponseEntry, 20> Engine::kResponseTable = {{
    {cmd::kDeviceType, &Engine::OnDeviceType},
    {cmd::kWriteSerialNumber, &Engine::OnSerialNumberWritten},
    {cmd::kWriteRequest, &Engine::OnWriteReady},
    {cmd::kWriteData, &Engine::OnWriteComplete},
    {cmd::kWriteFail, &Engine::OnWriteFail},
    {cmd::kReadRecord, &Engine::OnReadData},
    {cmd::kLogList, &Engine::OnLogList},
    {cmd::kLogFile, &Engine::OnLogFileStart},
    {cmd::kCertificateList, &Engine::OnCertificateList},
    {cmd::kCertificateData, &Engine::OnCertificateData},
    {cmd::kFirmwareDocking, &Engine::OnFirmwareStart},
    {cmd::kFirmwareSingleGas, &Engine::OnFirmwareStart},
    {cmd::kFirmwareMultiGas, &Engine::OnFirmwareStart},
    {cmd::kSetClock, &Engine::OnClockSet},
    {cmd::kReadClock, &Engine::OnClockRead},
    {cmd::kEraseFirmware, &Engine::OnFirmwareErased},
    {cmd::kFactoryDefault, &Engine::OnFactoryDefault},
    {cmd::kSelfTest, &Engine::OnSelfTestDone},
    {cmd::kEthernetLinkTest, &Engine::OnEthernetLinkTest},
    {cmd::kIpAddress, &Engine::OnIpAddress},
}};

Engine::Engine(IEngineUi& ui, ITimerHost& timers, link::IUiPoster& poster, const IWallClock& clock,
               std::unique_ptr<link::ISerialPort> port, EngineOptions options)
    : ui_(ui),
      timers_(timers),
      clock_(clock),
      monitor_(options.monitor),
      poster_(poster),
      stream_(options.transferClock ? *options.transferClock : link::SteadyClock::Instance()),
      channel_(flags_, *this, poster, std::move(port)),
      parser_(*this),
      pacer_(channel_, flags_.rxActivity),
      observer_(std::make_unique<TransferObserver>(*this)),
      ymodem_(stream_, channel_, observer_.get()),
      self_(std::make_shared<Engine*>(this)) {
  if (options.startPacerThread) pacer_.StartThread();
}

Engine::~Engine() {
  *self_ = nullptr;
  EndFirmwareWorker();
  EndLogWorker();
  pacer_.Stop();
  for (int id : {timer::kResponse, timer::kResend, timer::kFirmware, timer::kLogWatchdog,
                 timer::kParserGap}) {
    timers_.KillTimer(id);
  }
  channel_.Close();
}

// ---- timers --------------------------------------------------------------------------

void Engine::StartTimer(int id, std::chrono::milliseconds period) {
  if (id <= timer::kLogWatchdog) timeoutTicks_ = 0;
  timers_.StartTimer(id, period);
}

void Engine::KillTimer(int id) {
  if (id <= timer::kLogWatchdog) timeoutTicks_ = 0;
  timers_.KillTimer(id);
}

void Engine::RestartGapTimer() {
  StartTimer(timer::kParserGap, 500ms);
}

void Engine::OnTimer(int id) {
  switch (id) {
    case timer::kResponse:
      OnResponseTimeout();
      break;
    case timer::kResend:
      OnResendTick();
      break;
    case timer::kFirmware:
      KillTimer(timer::kFirmware);
      break;
    case timer::kLogWatchdog:
      // No block for 10 s: the save run fails.
      logFileIndex_.store(0);
      flags_.logReceiveArmed.store(false);
      OnLogResult(logRun_, false);
      break;
    case timer::kParserGap:
      KillTimer(timer::kParserGap);
      parser_.OnGapElapsed();
      break;
    default:
      break;
  }
}

void Engine::OnResponseTimeout() {
  const std::uint8_t ticks = timeoutTicks_;
  timeoutTicks_ = static_cast<std::uint8_t>(ticks + 1);
  if (ticks < kResponseTickLimit) return;
  StopTransmitter();
  stream_.SetAbort();
  ui_.SetProgressPosition(0);
  ui_.ShowMessage(kSendTimeout);
  readTarget_ = ReadTarget::FollowTab;
}

void Engine::OnResendTick() {
  // Let the pacer repeat the request from where it paused.
  flags_.rxActivity.store(false);
  if (++resendCounter_ <= kResendLimit) return;
  if (lastCommand_ == cmd::kDeviceType) {
    Disconnect();  // a station that never identifies itself: close the port again
  } else {
    StopTransmitter();
  }
  flags_.rxActivity.store(false);
  stream_.SetAbort();
  resendCounter_ = 0;
  ui_.ShowMessage(kSendTimeout);
  readTarget_ = ReadTarget::FollowTab;
}

// ---- requests ------------------------------------------------------------------------

void Engine::SendCommand(std::uint8_t code, std::span<const std::uint8_t> payload) {
  if (!channel_.IsConnected()) return;
  if (pacer_.Running()) StopTransmitter();
  if (sendBusy_.exchange(true)) return;
  const std::size_t size = link::BuildFrame(code, payload, transmit_);
  if (size == 0) {
    sendBusy_.store(false);
    return;
  }
  if (monitor_ != nullptr && monitor_->MonitorVisible()) {
    monitor_->LogSent({transmit_.data(), size});
  }
  pacer_.Start({transmit_.data(), size});
  ui_.EnableMainControls(true);
  lastCommand_ = code;
  flags_.rxActivity.store(false);
  switch (code) {
    case cmd::kLogList:
    case cmd::kLogFile:
    case cmd::kCertificateList:
    case cmd::kCertificateData:
      break;  // their transfers have their own supervision
    default:
      if (payload.size() < kLongRequest) {
        StartTimer(timer::kResend, 200ms);
      } else {
        StartTimer(timer::kResponse, 500ms);
      }
  }
}

void Engine::StopTransmitter() {
  for (int id : {timer::kResponse, timer::kResend, timer::kFirmware, timer::kLogWatchdog,
                 timer::kParserGap}) {
    KillTimer(id);
  }
  if (pacer_.Running()) {
    sendBusy_.store(false);
    pacer_.Stop();
    ui_.EnableMainControls(false);
    flags_.rxActivity.store(true);
  }
  lastCommand_ = 0;
}

// ---- connection ----------------------------------------------------------------------

void Engine::OpenCloseButton(const std::optional<std::string>& devicePath) {
  ui_.SetProgressRange(0, 100);
  ui_.SetProgressPosition(0);
  if (channel_.IsConnected()) {
    Disconnect();
    ResetAfterDisconnect();
  } else {
    Connect(devicePath);
  }
}

void Engine::Connect(const std::optional<std::string>& devicePath) {
  if (!channel_.IsConnected()) {
    if (devicePath && channel_.Open(*devicePath, link::LineSettings{})) {
      justOpened_ = true;
      SendCommand(cmd::kDeviceType, {});
    } else {
      ui_.ShowMessage("Port open fail");
    }
  }
  UpdateConnectionControls();
}

void Engine::UpdateConnectionControls() {
  const bool open = channel_.IsConnected();
  ui_.EnableRefreshButton(!open);
  if (open) {
    ui_.SetConnectCaption("CLOSE");
    ui_.SetStatus(StatusMode::Connected, "Connecting");
  } else {
    ui_.SetConnectCaption("OPEN");
    ui_.SetStatus(StatusMode::Disconnected, "Disconnect");
  }
}

void Engine::Disconnect() {
  StopTransmitter();
  if (channel_.IsConnected()) channel_.Close();
  UpdateConnectionControls();
  ui_.ClearStationClock();
  stationClockKnown_ = false;
}

void Engine::ResetAfterDisconnect() {
  deviceType_.store(device::kNone);
  activeDeviceType_ = device::kNone;
  ui_.ShowDockingPage();
  ui_.SetProgressPosition(0);
  stream_.SetAbort();
  ui_.ClearLogList();
  ui_.ClearCertificateList();
  ui_.EnableStationPages(false);
  for (RecordType t : {RecordType::Docking, RecordType::SingleGas, RecordType::MultiGas}) {
    ui_.ClearFirmwareFields(t);
  }
  // An upload in progress ends without waiting for its transfer; the log worker stays.
  EndFirmwareWorker();
  firmware_ = {};
  ui_.BuildTabItems(device::kNone);
  ui_.ShowDeviceType(device::kNone);
  ui_.EnableTransferModeButtons();
}

// ---- channel events ------------------------------------------------------------------

void Engine::OnSerialData() {
  link::DrainReceiveQueue(channel_.Queue(), parser_, *this, flags_, monitor_);
  ShowFirmwareProgress();
}

void Engine::OnTransferBytes(std::span<const std::uint8_t> bytes) {
  stream_.Feed(bytes);
}

void Engine::OnChannelMessage(std::string_view text) {
  ui_.ShowMessage(text);
}

void Engine::OnLineLost() {
  if (!channel_.IsConnected()) return;
  Disconnect();
  ResetAfterDisconnect();
  ui_.ShowMessage("Connection lost");
}

bool Engine::Dispatch(const ReceivedFrame& frame) {
  const auto entry = std::find_if(kResponseTable.begin(), kResponseTable.end(),
                                  [&](const ResponseEntry& e) { return e.code == frame.command; });
  if (entry == kResponseTable.end()) return false;
  resendCounter_ = 0;
  KillTimer(timer::kResend);
  KillTimer(timer::kResponse);
  (this->*entry->handler)(frame);
  return true;
}

// ---- records -------------------------------------------------------------------------

std::span<std::uint8_t> Engine::Buffer(RecordType type) {
  switch (type) {
    case RecordType::Docking:
      return docking_;
    case RecordType::SingleGas:
      return singleGas_;
    case RecordType::MultiGas:
      return multiGas_;
  }
  return {};
}

std::span<const std::uint8_t> Engine::Record(RecordType type) const {
  return const_cast<Engine*>(this)->Buffer(type);
}

void Engine::PrepareBlock(std::int32_t target) {
  requestStart_ = clock_.Now();
  block_.target = target;
  block_.SetLocalTime(requestStart_);
}

static std::int32_t TargetCode(RecordType type) {
  switch (type) {
    case RecordType::Docking:
      return protocol::kTargetDocking;
    case RecordType::SingleGas:
      return protocol::kTargetSingleGas;
    case RecordType::MultiGas:
      return protocol::kTargetMultiGas;
  }
  return protocol::kTargetDocking;
}

void Engine::StartRecordRead(RecordType type) {
  ui_.SetProgressRange(0, 100);
  ui_.SetProgressPosition(0);
  PrepareBlock(TargetCode(type));
  std::ranges::fill(Buffer(type), std::uint8_t{0});
  if (channel_.IsConnected()) {
    SendCommand(cmd::kReadRecord, block_.Bytes());
  } else {
    ui_.ShowMessage("Port open check");
  }
}

void Engine::StartDetectorRead() {
  const int type = deviceType_.load();
  if (type != device::kSingleGas && type != device::kMultiGas) return;
  readTarget_ = ReadTarget::Detector;
  StartRecordRead(type == device::kSingleGas ? RecordType::SingleGas : RecordType::MultiGas);
}

void Engine::PageRead(RecordType type) {
  readTarget_ = ReadTarget::FollowTab;
  StartRecordRead(type);
}

void Engine::PageWrite(RecordType type) {
  ui_.SetProgressRange(0, 100);
  ui_.SetProgressPosition(0);
  PrepareBlock(TargetCode(type));
  if (channel_.IsConnected()) {
    SendCommand(cmd::kWriteRequest, block_.Bytes());
  } else {
    ui_.ShowMessage("Port open check");
  }
}

// ---- handlers ------------------------------------------------------------------------

void Engine::OnDeviceType(const ReceivedFrame& frame) {
  StopTransmitter();
  ui_.SetProgressPosition(100);
  const int type = frame.length >= 1 ? frame.payload[0] : device::kNone;
  switch (type) {
    case device::kSingleGas:
    case device::kMultiGas:
      deviceType_.store(type);
      break;
    case device::kPump:
      deviceType_.store(type);
      ui_.ShowMessage("Device Type : Docking for PUMP");
      break;
    default:
      deviceType_.store(device::kNone);
      ui_.ShowMessage("Unknown Device Type !!");
      break;
  }
  if (deviceType_.load() != device::kNone) ui_.EnableStationPages(true);
  ui_.SetProgressRange(0, 100);
  ui_.SetProgressPosition(0);
  activeDeviceType_ = deviceType_.load();
  ui_.ShowDeviceType(activeDeviceType_);
  ui_.BuildTabItems(deviceType_.load());
  StartDetectorRead();
}

void Engine::OnReadData(const ReceivedFrame& frame) {
  StopTransmitter();
  const int kind =
      readTarget_ != ReadTarget::FollowTab ? static_cast<int>(readTarget_) - 1 : ui_.SelectedTab();
  const auto payload = frame.Payload();
  // Copies what the answer has, at most the record's size.
  auto take = [&](std::span<std::uint8_t> buffer) {
    std::copy_n(payload.begin(), std::min(payload.size(), buffer.size()), buffer.begin());
    return payload.size() == buffer.size();
  };

  if (kind == kTabDocking) {
    if (take(docking_)) {
      ui_.SetProgressPosition(100);
      ui_.RecordToPage(RecordType::Docking, docking_);
      readTarget_ = ReadTarget::FollowTab;
      readSequencePending_ = true;
      SendCommand(cmd::kReadClock, block_.Bytes());
    } else {
      ui_.SetProgressPosition(0);
      ui_.ShowMessage("Read failure");
    }
    ui_.ClearFirmwareFields(RecordType::Docking);
    readTarget_ = ReadTarget::FollowTab;
    return;
  }
  if (kind != kTabDetector) {
    readTarget_ = ReadTarget::FollowTab;
    return;
  }

  bool ok = false;
  const int type = deviceType_.load();
  if (type == device::kMultiGas || type == device::kSingleGas) {
    const RecordType recordType =
        type == device::kMultiGas ? RecordType::MultiGas : RecordType::SingleGas;
    ok = take(Buffer(recordType));
    if (ok) {
      ui_.SetProgressPosition(100);
      ui_.RecordToPage(recordType, Record(recordType));
    } else {
      ui_.SetProgressPosition(0);
      ui_.ShowMessage(frame.length == 1 ? kMismatch : "Read failure");
    }
  } else {
    ui_.SetProgressPosition(0);
    ui_.ShowMessage(kMismatch);
  }
  ui_.ClearFirmwareFields(RecordType::SingleGas);
  ui_.ClearFirmwareFields(RecordType::MultiGas);

  if (ok && readTarget_ == ReadTarget::FollowTab) {
    ui_.ShowMessage(kReadComplete);
  } else if (ok) {
    // A read started by READ or by the device type answer goes on with the station's
    // own record, whatever tab is selected.
    readTarget_ = ReadTarget::Docking;
    StartRecordRead(RecordType::Docking);
    return;
  }
  readTarget_ = ReadTarget::FollowTab;
}

void Engine::OnWriteReady(const ReceivedFrame& frame) {
  StopTransmitter();
  ui_.SetProgressPosition(20);
  for (RecordType t : {RecordType::Docking, RecordType::SingleGas, RecordType::MultiGas}) {
    std::ranges::fill(Buffer(t), std::uint8_t{0});
  }
  const int tab = ui_.SelectedTab();
  if (tab == kTabDocking) {
    ui_.PageToRecord(RecordType::Docking, docking_);
    SendCommand(cmd::kWriteData, docking_);
  } else if (tab == kTabDetector) {
    const int type = deviceType_.load();
    if (type == device::kMultiGas && frame.length != 1) {
      ui_.PageToRecord(RecordType::MultiGas, multiGas_);
      SendCommand(cmd::kWriteData, multiGas_);
    } else if (type == device::kSingleGas && frame.length != 1) {
      ui_.PageToRecord(RecordType::SingleGas, singleGas_);
      SendCommand(cmd::kWriteData, singleGas_);
    } else {
      ui_.SetProgressPosition(0);
      ui_.ShowMessage(kMismatch);
    }
  }
}

void Engine::OnWriteComplete(const ReceivedFrame& frame) {
  StopTransmitter();
  ui_.SetProgressPosition(100);
  // No payload byte counts as "USB link not present".
  const bool usbLinked = frame.length >= 1 && frame.payload[0] == 1;
  const int tab = ui_.SelectedTab();
  if (tab != kTabDocking && tab != kTabDetector) return;
  if (!usbLinked) {
    ui_.ShowMessage("Write complete \n(Docking USB not connected)");
  } else if (tab == kTabDocking) {
    ui_.ShowMessage("Write complete (Docking Info)");
  } else if (deviceType_.load() == device::kMultiGas) {
    ui_.ShowMessage("Write complete (RVX Info)");
  } else {
    ui_.ShowMessage("Write complete (TKL Info)");
  }
}

void Engine::OnWriteFail(const ReceivedFrame&) {
  StopTransmitter();
  ui_.SetProgressPosition(0);
  ui_.ShowMessage("Write fail (Device is different)");
}

// Until the certificate page is wired in, its answers only end the request.
void Engine::OnCertificateList(const ReceivedFrame&) {
  StopTransmitter();
}
void Engine::OnCertificateData(const ReceivedFrame&) {
  StopTransmitter();
}

// ---- station clock -------------------------------------------------------------------

void Engine::ReadStationClock() {
  readSequencePending_ = false;
  SendCommand(cmd::kReadClock, block_.Bytes());
}

void Engine::SetStationClock(const DateTime& dateTime) {
  RequestBlock b;
  b.target = 0;
  b.time = dateTime;
  readSequencePending_ = false;
  SendCommand(cmd::kSetClock, b.Bytes());
}

bool Engine::TakeStationClock(const ReceivedFrame& frame, bool replaceEmptyDate) {
  const std::time_t now = clock_.Now();
  if (frame.length < RequestBlock::kSize) {
    ui_.ShowMessage("Docking clock invalid");
    return false;
  }
  const auto p = frame.Payload();
  DateTime t{Le32(p, 4), Le32(p, 8), Le32(p, 12), Le32(p, 16), Le32(p, 20), Le32(p, 24)};
  if (replaceEmptyDate && t.month == 0 && t.day == 0) {
    t.month = 1;
    t.day = 1;
  }
  const std::optional<std::time_t> station = StationTimeToEpoch(t);
  if (!station) {
    ui_.ShowMessage("Docking clock invalid");
    return false;
  }
  clockOffset_ = static_cast<std::int64_t>(now) - static_cast<std::int64_t>(*station);
  stationClockKnown_ = true;
  ui_.ShowStationClock(t);
  return true;
}

void Engine::OnClockRead(const ReceivedFrame& frame) {
  StopTransmitter();
  if (!TakeStationClock(frame, true)) return;
  if (readSequencePending_) {
    readSequencePending_ = false;
    ui_.ShowMessage(kReadComplete);
  }
}

void Engine::OnClockSet(const ReceivedFrame& frame) {
  StopTransmitter();
  if (!TakeStationClock(frame, false)) return;
  if (!readSequencePending_) return;
  readSequencePending_ = false;
  StartDetectorRead();
}

// ---- service page --------------------------------------------------------------------

void Engine::WriteSerialNumber(std::string_view serialNumber) {
  if (!channel_.IsConnected()) {
    ui_.ShowMessage("The port not open");
    return;
  }
  if (serialNumber.empty()) {
    ui_.ShowMessage("Serial Number Empty !!");
    return;
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(serialNumber.data());
  SendCommand(cmd::kWriteSerialNumber, {bytes, serialNumber.size()});
}

void Engine::SelfTest() {
  if (!channel_.IsConnected()) {
    ui_.ShowMessage("The port not open");
    return;
  }
  ui_.SetProgressPosition(0);
  SendCommand(cmd::kSelfTest, {});
}

void Engine::OnSerialNumberWritten(const ReceivedFrame&) {
  StopTransmitter();
  ui_.SetProgressPosition(100);
  ui_.ShowMessage("SN Write OK !!");
}

void Engine::OnFirmwareErased(const ReceivedFrame&) {
  StopTransmitter();
  ui_.ShowMessage("Flash erase success !!");
}

void Engine::OnFactoryDefault(const ReceivedFrame&) {
  StopTransmitter();
  ui_.ShowMessage("Factory default success !!");
  // The station restarts with its defaults: reconnect and ask for its type again.
  const std::string port = channel_.PortName();
  Disconnect();
  ResetAfterDisconnect();
  Connect(port);
}

void Engine::OnSelfTestDone(const ReceivedFrame&) {
  StopTransmitter();
  ui_.SetProgressPosition(100);
  ui_.ShowMessage("Docking Self Test Complete !!");
}

void Engine::OnEthernetLinkTest(const ReceivedFrame& frame) {
  StopTransmitter();
  if (frame.length != 1) {
    ui_.ShowMessage("Docking Ethernet Link up length Fail !!");
  } else if (frame.payload[0] != 0) {
    ui_.ShowMessage("Docking Ethernet Link up Fail !!");
  } else {
    ui_.ShowMessage("Docking Ethernet Link up Success !!");
  }
}

void Engine::OnIpAddress(const ReceivedFrame& frame) {
  StopTransmitter();
  if (frame.length != 4) {
    ui_.ShowMessage("Docking Ethernet IP length Fail !!");
    return;
  }
  ui_.ShowIpAddress({frame.payload[0], frame.payload[1], frame.payload[2], frame.payload[3]});
}

}  // namespace ql::engine
