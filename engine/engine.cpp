#include "engine/engine.h"

#include <algorithm>
#include <cstdio>

#include "engine/messages.h"
#include "protocol/certificate_list.h"
#include "protocol/name_slot.h"
#include "records/byte_order.h"
#include "rules/calendar.h"

namespace ql::engine {

using link::ReceivedFrame;
using namespace std::chrono_literals;

namespace {

using link::ErrorKind;
using link::Status;

constexpr int kResendLimit = 100;
constexpr std::uint8_t kResponseTickLimit = 10;
// Requests with a payload of this size or more are supervised by timer 0, not resent.
constexpr std::size_t kLongRequest = 12;

// The requests whose answers belong to an operation started by `request`.
bool AnswersOperation(std::uint8_t request, std::uint8_t answer) {
  switch (request) {
    case cmd::kReadRecord:  // a docking station record read goes on with the clock
      return answer == cmd::kReadRecord || answer == cmd::kReadClock;
    case cmd::kWriteRequest:
      return answer == cmd::kWriteRequest || answer == cmd::kWriteData || answer == cmd::kWriteFail;
    default:
      return answer == request;
  }
}

// Whether `answer` is one the request `request` (0: none in flight) can get: its own code,
// and for the record of a write also the station's refusal.
bool CanAnswer(std::uint8_t request, std::uint8_t answer) {
  if (request == 0) return false;
  return answer == request || (request == cmd::kWriteData && answer == cmd::kWriteFail);
}

// The size of the record a read of `target` asks for.
std::size_t RecordSizeOf(std::int32_t target) {
  switch (target) {
    case protocol::kTargetSingleGas:
      return records::kSingleGasOptionSize;
    case protocol::kTargetMultiGas:
      return records::kMultiGasOptionSize;
    default:
      return records::kDockingInfoSize;
  }
}

Status Refusal(std::string_view message) {
  return Status::Error(ErrorKind::Protocol, std::string(message));
}

std::int32_t Le32(std::span<const std::uint8_t> p, std::size_t offset) {
  return static_cast<std::int32_t>(records::le::LoadU32(p, offset));
}

// The station's clock as local time; nothing when a field is out of range.
std::optional<std::time_t> StationTimeToEpoch(const DateTime& t) {
  // A day past the month's end (31 February) would roll into the next month: the page would
  // show one date and follow another.
  if (t.year < 1900 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > rules::DaysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
      t.minute > 59 || t.second < 0 || t.second > 59) {
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
      OnLogResult(logRun_,
                  Status::Error(ErrorKind::Timeout, "no answer from the station for 10 s"));
      break;
    case timer::kParserGap:
      KillTimer(timer::kParserGap);
      parser_.OnGapElapsed();
      break;
    default:
      break;
  }
}

void Engine::GiveUpRequest() {
  StopTransmitter();
  stream_.SetAbort();
  ui_.SetProgressPosition(0);
  ui_.ShowMessage(msg::kSendTimeout);
  readTarget_ = ReadTarget::FollowTab;
  EndOperation(RequestOutcome::TimedOut,
               Status::Error(ErrorKind::Timeout, std::string(msg::kSendTimeout)));
}

void Engine::OnResponseTimeout() {
  const std::uint8_t ticks = timeoutTicks_;
  timeoutTicks_ = static_cast<std::uint8_t>(ticks + 1);
  if (ticks < kResponseTickLimit) return;
  GiveUpRequest();
}

void Engine::AbandonRequest() {
  if (operation_) GiveUpRequest();
}

void Engine::OnResendTick() {
  // Let the pacer repeat the request from where it paused.
  flags_.rxActivity.store(false);
  if (++resendCounter_ <= kResendLimit) return;
  const Status timedOut = Status::Error(ErrorKind::Timeout, std::string(msg::kSendTimeout));
  if (lastCommand_ == cmd::kDeviceType) {
    CloseConnection(timedOut);  // a station that never identifies itself: close the port again
  } else {
    StopTransmitter();
  }
  flags_.rxActivity.store(false);
  stream_.SetAbort();
  resendCounter_ = 0;
  ui_.ShowMessage(msg::kSendTimeout);
  readTarget_ = ReadTarget::FollowTab;
  EndOperation(RequestOutcome::TimedOut, timedOut);
}

// ---- operations ----------------------------------------------------------------------

void Engine::BeginOperation(std::uint8_t request) {
  if (operation_ == request) {
    pendingEnd_.reset();  // the same kind again carries the one in flight on
    return;
  }
  if (operation_) {
    if (pendingEnd_) {
      EndOperation(pendingEnd_->outcome, pendingEnd_->status);
    } else {
      EndOperation(RequestOutcome::Aborted,
                   Status::Error(ErrorKind::Aborted, "ended by a newer request"));
    }
  }
  operation_ = request;
  pendingEnd_.reset();
}

void Engine::EndOperation(RequestOutcome outcome, Status status) {
  if (!operation_) return;
  const RequestEnd end{*operation_, outcome, std::move(status)};
  operation_.reset();
  pendingEnd_.reset();
  answeringOperation_ = false;
  ui_.OnRequestEnded(end);
}

void Engine::Refuse(std::uint8_t request, ErrorKind kind, std::string_view message, bool show) {
  if (show) ui_.ShowMessage(message);
  ui_.OnRequestEnded({request, RequestOutcome::Refused, Status::Error(kind, std::string(message))});
}

void Engine::EndByAnswer(RequestOutcome outcome, Status status) {
  if (answeringOperation_) EndOperation(outcome, std::move(status));
}

void Engine::RefuseByAnswer(std::string_view message) {
  EndByAnswer(RequestOutcome::Refused, Refusal(message));
}

bool Engine::LogReceiveUnderWay() const {
  return operation_ == cmd::kLogFile && logRunActive_ && flags_.logReceiveArmed.load();
}

void Engine::StopOperation(RequestOutcome outcome, Status status, bool resultToCome) {
  if (!operation_) return;
  if (resultToCome) {
    pendingEnd_ = PendingEnd{outcome, std::move(status)};
    return;
  }
  EndOperation(outcome, std::move(status));
}

bool Engine::Idle() const {
  return !pacer_.Running() && !firmwareWorker_.joinable() && !logRunActive_;
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
  // A flooding line is reported once per request, not once per dropped chunk.
  channel_.RearmOverflowReport();
  pacer_.Start({transmit_.data(), size});
  ui_.EnableMainControls(true);
  lastCommand_ = code;
  flags_.rxActivity.store(false);
  // A log file request is watched by the log save run's watchdog, which also covers its
  // answer; every other request gets the response time-out of its length, the lists and
  // the certificate included, so a silent station cannot keep one waiting for ever.
  if (code == cmd::kLogFile) return;
  if (payload.size() < kLongRequest) {
    StartTimer(timer::kResend, 200ms);
  } else {
    StartTimer(timer::kResponse, 500ms);
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

void Engine::SetState(ConnectionState state, const Status& reason) {
  if (state == state_) return;
  state_ = state;
  ui_.OnConnectionState(state, reason);
}

void Engine::OpenCloseButton(const std::optional<std::string>& devicePath) {
  ui_.SetProgressRange(0, 100);
  ui_.SetProgressPosition(0);
  if (channel_.IsConnected()) {
    const bool receiving = LogReceiveUnderWay();
    CloseConnection(Status::Ok());
    ResetAfterDisconnect();
    StopOperation(RequestOutcome::Aborted, Status::Error(ErrorKind::Aborted, "the port was closed"),
                  receiving && logRunActive_);
  } else {
    Connect(devicePath);
  }
}

void Engine::Connect(const std::optional<std::string>& devicePath) {
  if (!channel_.IsConnected()) {
    SetState(ConnectionState::Opening);
    const Status opened = devicePath ? channel_.Open(*devicePath, link::LineSettings{})
                                     : Status::Error(ErrorKind::BadArgument, "no port is selected");
    if (opened.ok()) {
      SetState(ConnectionState::Identifying);
      BeginOperation(cmd::kDeviceType);
      SendCommand(cmd::kDeviceType, {});
    } else {
      ui_.ShowMessage(msg::kPortOpenFail);
      UpdateConnectionControls();
      SetState(ConnectionState::Closed, opened);
      return;
    }
  }
  UpdateConnectionControls();
}

void Engine::UpdateConnectionControls() {
  const bool open = channel_.IsConnected();
  ui_.EnableRefreshButton(!open);
  if (open) {
    ui_.SetConnectCaption(msg::kCaptionClose);
    ui_.SetStatus(StatusMode::Connected, msg::kStatusConnecting);
  } else {
    ui_.SetConnectCaption(msg::kCaptionOpen);
    ui_.SetStatus(StatusMode::Disconnected, msg::kStatusDisconnected);
  }
}

void Engine::Disconnect() {
  const bool open = channel_.IsConnected();
  const bool receiving = LogReceiveUnderWay();
  CloseConnection(Status::Ok());
  if (open) {
    // Without the window reset a log receive goes on until its own time-out.
    StopOperation(RequestOutcome::Aborted, Status::Error(ErrorKind::Aborted, "the port was closed"),
                  receiving);
  }
}

void Engine::CloseConnection(const Status& reason) {
  const bool open = channel_.IsConnected();
  if (open) SetState(ConnectionState::Closing);
  StopTransmitter();
  if (open) channel_.Close();
  UpdateConnectionControls();
  ui_.ClearStationClock();
  stationClockKnown_ = false;
  answeredReadTarget_.reset();
  SetState(ConnectionState::Closed, reason);
}

void Engine::ResetAfterDisconnect() {
  // Read before the abort below: the aborted receive disarms itself at once, and its
  // result (the save failure) must still end the run.
  const bool receiveArmed = flags_.logReceiveArmed.load();
  deviceType_.store(DeviceType::None);
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
  const bool uploading = firmwareWorker_.joinable();
  EndFirmwareWorker();
  // Its busy state ends with it, or OPEN and the transfer buttons would stay disabled.
  if (uploading) ui_.EnableMainControls(false);
  firmware_ = {};
  // A save run between two files waits for an answer nobody is left to give: it ends here.
  // One whose receive is running ends with the receive's result.
  if (logRunActive_ && !receiveArmed) {
    logFileIndex_.store(0);
    logRunActive_ = false;
    ++logRun_;
    EndLogWorker();
    ui_.EnableLogSaveControls(true);
  }
  ui_.BuildTabItems(DeviceType::None);
  ui_.ShowDeviceType(DeviceType::None);
  ui_.EnableTransferModeButtons();
}

// ---- channel events ------------------------------------------------------------------

void Engine::OnSerialData() {
  link::DrainReceiveQueue(channel_.Queue(), parser_, *this, flags_, monitor_);
  // The bytes paused the request's pacer, but no answer is on its way (they were dropped
  // answers or noise, and no frame is half received): let the request go out whole, or
  // the station never gets it and it runs into its time-out.
  if (pacer_.Running() && parser_.State() == link::ParserState::Idle) {
    flags_.rxActivity.store(false);
  }
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
  const Status lost = Status::Error(ErrorKind::Io, std::string(msg::kConnectionLost));
  const bool receiving = LogReceiveUnderWay();
  CloseConnection(lost);
  ResetAfterDisconnect();
  ui_.ShowMessage(msg::kConnectionLost);
  StopOperation(RequestOutcome::LineLost, lost, receiving && logRunActive_);
}

bool Engine::BelongsToRequest(const ReceivedFrame& frame) const {
  if (!CanAnswer(lastCommand_, frame.command)) return false;
  // The automatic read asks for two records in a row: while the second read is out, an
  // answer carrying the record of the read answered before is a late copy of that answer.
  return frame.command != cmd::kReadRecord || !answeredReadTarget_ ||
         *answeredReadTarget_ == block_.target ||
         frame.length != RecordSizeOf(*answeredReadTarget_);
}

void Engine::Dispatch(const ReceivedFrame& frame) {
  const auto entry = std::find_if(kResponseTable.begin(), kResponseTable.end(),
                                  [&](const ResponseEntry& e) { return e.code == frame.command; });
  if (entry == kResponseTable.end()) return;
  // Only the answer the request in flight waits for is acted on. Anything else (another
  // request's answer, a second answer to a resent copy, an answer after the request was
  // given up) is dropped without touching the request's time-out; the traffic monitor has
  // shown it already.
  if (!BelongsToRequest(frame)) return;
  if (frame.command == cmd::kReadRecord) answeredReadTarget_ = block_.target;
  resendCounter_ = 0;
  KillTimer(timer::kResend);
  KillTimer(timer::kResponse);
  const std::optional<std::uint8_t> waiting = operation_;
  answeringOperation_ = waiting && AnswersOperation(*waiting, frame.command);
  (this->*entry->handler)(frame);
  const bool answered = answeringOperation_;
  answeringOperation_ = false;
  // The answer to a request sent outside the operation in flight stopped that operation:
  // nothing will end it now.
  if (!answered && waiting && operation_ == waiting && !pendingEnd_ && Idle()) {
    char text[64];
    std::snprintf(text, sizeof text, "the station answered 0x%02X instead", frame.command);
    EndOperation(RequestOutcome::Refused, Status::Error(ErrorKind::Protocol, text));
  }
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

void Engine::PrepareBlock(std::int32_t target) {
  block_.target = target;
  block_.SetLocalTime(clock_.Now());
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

void Engine::StartRecordRead(RecordType type, bool readBack) {
  readBack_ = false;
  ui_.SetProgressRange(0, 100);
  ui_.SetProgressPosition(0);
  PrepareBlock(TargetCode(type));
  std::ranges::fill(Buffer(type), std::uint8_t{0});
  if (channel_.IsConnected()) {
    BeginOperation(cmd::kReadRecord);
    readBack_ = readBack;
    readBackType_ = type;
    SendCommand(cmd::kReadRecord, block_.Bytes());
  } else {
    Refuse(cmd::kReadRecord, ErrorKind::BadArgument, msg::kPortOpenCheck);
  }
}

void Engine::StartDetectorRead() {
  const DeviceType type = deviceType_.load();
  if (!protocol::HasDetectorRecord(type)) return;
  readTarget_ = ReadTarget::Detector;
  StartRecordRead(type == DeviceType::SingleGas ? RecordType::SingleGas : RecordType::MultiGas);
}

void Engine::PageRead(RecordType type) {
  readTarget_ = ReadTarget::FollowTab;
  StartRecordRead(type);
}

void Engine::MainRead(RecordType type) {
  readTarget_ = type == RecordType::Docking ? ReadTarget::Docking : ReadTarget::Detector;
  StartRecordRead(type);
}

void Engine::ReadBack(RecordType type) {
  StartRecordRead(type, true);
}

void Engine::PageWrite(RecordType type) {
  ui_.SetProgressRange(0, 100);
  ui_.SetProgressPosition(0);
  PrepareBlock(TargetCode(type));
  if (channel_.IsConnected()) {
    BeginOperation(cmd::kWriteRequest);
    SendCommand(cmd::kWriteRequest, block_.Bytes());
  } else {
    Refuse(cmd::kWriteRequest, ErrorKind::BadArgument, msg::kPortOpenCheck);
  }
}

// ---- handlers ------------------------------------------------------------------------

void Engine::OnDeviceType(const ReceivedFrame& frame) {
  StopTransmitter();
  ui_.SetProgressPosition(100);
  const DeviceType type =
      protocol::DeviceTypeFromByte(frame.length >= 1 ? frame.payload[0] : std::uint8_t{0});
  deviceType_.store(type);
  if (type == DeviceType::Pump) {
    ui_.ShowMessage(msg::kPumpStation);
  } else if (type == DeviceType::None) {
    ui_.ShowMessage(msg::kUnknownDeviceType);
  }
  if (type != DeviceType::None) ui_.EnableStationPages(true);
  ui_.SetProgressRange(0, 100);
  ui_.SetProgressPosition(0);
  ui_.ShowDeviceType(type);
  ui_.BuildTabItems(type);
  if (type == DeviceType::None) {
    RefuseByAnswer(msg::kUnknownDeviceType);
    return;
  }
  SetState(ConnectionState::Ready);
  EndByAnswer(RequestOutcome::Done);
  StartDetectorRead();
}

void Engine::OnReadData(const ReceivedFrame& frame) {
  StopTransmitter();
  if (readBack_) {
    OnReadBack(frame);
    return;
  }
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
      ui_.ClearFirmwareFields(RecordType::Docking);
    } else {
      ui_.SetProgressPosition(0);
      ui_.ShowMessage(msg::kReadFailure);
      ui_.ClearFirmwareFields(RecordType::Docking);
      readTarget_ = ReadTarget::FollowTab;
      RefuseByAnswer(msg::kReadFailure);
    }
    readTarget_ = ReadTarget::FollowTab;
    return;
  }
  if (kind != kTabDetector) {
    readTarget_ = ReadTarget::FollowTab;
    EndByAnswer(RequestOutcome::Refused,
                Status::Error(ErrorKind::BadArgument, "no record page is selected"));
    return;
  }

  bool ok = false;
  std::string_view failure;
  const DeviceType type = deviceType_.load();
  if (protocol::HasDetectorRecord(type)) {
    const RecordType recordType =
        type == DeviceType::MultiGas ? RecordType::MultiGas : RecordType::SingleGas;
    ok = take(Buffer(recordType));
    if (ok) {
      ui_.SetProgressPosition(100);
      ui_.RecordToPage(recordType, Buffer(recordType));
    } else {
      failure = frame.length == 1 ? msg::kDeviceTypeMismatch : msg::kReadFailure;
    }
  } else {
    failure = msg::kDeviceTypeMismatch;
  }
  if (!ok) {
    ui_.SetProgressPosition(0);
    ui_.ShowMessage(failure);
  }
  ui_.ClearFirmwareFields(RecordType::SingleGas);
  ui_.ClearFirmwareFields(RecordType::MultiGas);

  if (ok && readTarget_ == ReadTarget::FollowTab) {
    ui_.ShowMessage(msg::kReadComplete);
    EndByAnswer(RequestOutcome::Done);
  } else if (ok) {
    // A read started by READ or by the device type answer goes on with the station's
    // own record, whatever tab is selected.
    readTarget_ = ReadTarget::Docking;
    StartRecordRead(RecordType::Docking);
    return;
  } else {
    readTarget_ = ReadTarget::FollowTab;
    RefuseByAnswer(failure);
  }
  readTarget_ = ReadTarget::FollowTab;
}

void Engine::OnReadBack(const ReceivedFrame& frame) {
  readBack_ = false;
  const std::span<std::uint8_t> buffer = Buffer(readBackType_);
  const auto payload = frame.Payload();
  if (payload.size() != buffer.size()) {
    // The front end says that the write could not be checked; the engine adds no box.
    ui_.SetProgressPosition(0);
    RefuseByAnswer(frame.length == 1 ? msg::kDeviceTypeMismatch : msg::kReadFailure);
    return;
  }
  std::ranges::copy(payload, buffer.begin());
  ui_.SetProgressPosition(100);
  ui_.RecordReadBack(readBackType_, buffer);
  EndByAnswer(RequestOutcome::Done);
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
    const DeviceType type = deviceType_.load();
    if (type == DeviceType::MultiGas && frame.length != 1) {
      ui_.PageToRecord(RecordType::MultiGas, multiGas_);
      SendCommand(cmd::kWriteData, multiGas_);
    } else if (type == DeviceType::SingleGas && frame.length != 1) {
      ui_.PageToRecord(RecordType::SingleGas, singleGas_);
      SendCommand(cmd::kWriteData, singleGas_);
    } else {
      ui_.SetProgressPosition(0);
      ui_.ShowMessage(msg::kDeviceTypeMismatch);
      RefuseByAnswer(msg::kDeviceTypeMismatch);
    }
  } else {
    EndByAnswer(RequestOutcome::Refused,
                Status::Error(ErrorKind::BadArgument, "no record page is selected"));
  }
}

void Engine::OnWriteComplete(const ReceivedFrame& frame) {
  StopTransmitter();
  ui_.SetProgressPosition(100);
  // No payload byte counts as "USB link not present".
  const bool usbLinked = frame.length >= 1 && frame.payload[0] == 1;
  const int tab = ui_.SelectedTab();
  if (tab == kTabDocking || tab == kTabDetector) {
    if (!usbLinked) {
      ui_.ShowMessage(msg::kWriteCompleteUsbNotConnected);
    } else if (tab == kTabDocking) {
      ui_.ShowMessage(msg::kWriteCompleteDocking);
    } else if (deviceType_.load() == DeviceType::MultiGas) {
      ui_.ShowMessage(msg::kWriteCompleteMultiGas);
    } else {
      ui_.ShowMessage(msg::kWriteCompleteSingleGas);
    }
  }
  // The station took the record; without its USB link it passes it on later.
  EndByAnswer(RequestOutcome::Done);
}

void Engine::OnWriteFail(const ReceivedFrame&) {
  StopTransmitter();
  ui_.SetProgressPosition(0);
  ui_.ShowMessage(msg::kWriteFail);
  RefuseByAnswer(msg::kWriteFail);
}

// Until the certificate page is wired in, its answers only end the request.
void Engine::RefreshCertificateList() {
  if (!channel_.IsConnected()) {
    Refuse(cmd::kCertificateList, ErrorKind::BadArgument, msg::kPortNotOpen);
    return;
  }
  BeginOperation(cmd::kCertificateList);
  SendCommand(cmd::kCertificateList, {});
}

void Engine::LoadCertificate(std::string_view name) {
  ui_.SetProgressPosition(0);
  if (!channel_.IsConnected()) {
    Refuse(cmd::kCertificateData, ErrorKind::BadArgument, msg::kPortNotOpen);
    return;
  }
  if (name.empty()) {
    Refuse(cmd::kCertificateData, ErrorKind::BadArgument, msg::kNotSelected);
    return;
  }
  const std::optional<protocol::NameSlot> slot = protocol::NameToSlot(name);
  if (!slot) {
    // A row text the station could not have listed: asking would name another file.
    Refuse(cmd::kCertificateData, ErrorKind::BadArgument,
           "\"" + std::string(name) + "\" is not a certificate name the station can send");
    return;
  }
  BeginOperation(cmd::kCertificateData);
  SendCommand(cmd::kCertificateData, *slot);
}

void Engine::OnCertificateList(const ReceivedFrame& frame) {
  StopTransmitter();
  ui_.ClearCertificateList();
  ui_.DisableUsbDiskChoice();
  const auto p = frame.Payload();
  if (p.empty()) {
    ui_.ShowMessage(msg::kCertificateListFail);
    RefuseByAnswer(msg::kCertificateListFail);
    return;
  }
  for (const std::string& name : protocol::ParseCertificateList(p)) ui_.AddCertificateRow(name);
  ui_.ShowMessage(msg::kCertificateListOk);
  EndByAnswer(RequestOutcome::Done);
}

void Engine::OnCertificateData(const ReceivedFrame& frame) {
  StopTransmitter();
  ui_.DisableUsbDiskChoice();
  const auto p = frame.Payload();
  if (p.empty()) {
    ui_.ShowMessage(msg::kCertificateFail);
    RefuseByAnswer(msg::kCertificateFail);
    return;
  }
  // A shorter answer reads as zero where its bytes are missing.
  certificate_ = records::CertificateRecord::FromBytes(p);
  if (certificate_.gasType == records::kCertificateNoData) {
    ui_.ShowMessage(msg::kGasTypeMismatch);
    RefuseByAnswer(msg::kGasTypeMismatch);
    return;
  }
  ui_.ShowCertificate(certificate_);
  EndByAnswer(RequestOutcome::Done);
}

// ---- station clock -------------------------------------------------------------------

void Engine::ReadStationClock() {
  readSequencePending_ = false;
  if (!channel_.IsConnected()) {
    Refuse(cmd::kReadClock, ErrorKind::BadArgument, "the port is not open", false);
    return;
  }
  BeginOperation(cmd::kReadClock);
  SendCommand(cmd::kReadClock, block_.Bytes());
}

void Engine::SetStationClock(const DateTime& dateTime) {
  readSequencePending_ = false;
  if (!channel_.IsConnected()) {
    Refuse(cmd::kSetClock, ErrorKind::BadArgument, "the port is not open", false);
    return;
  }
  RequestBlock b;
  b.target = 0;
  b.time = dateTime;
  BeginOperation(cmd::kSetClock);
  SendCommand(cmd::kSetClock, b.Bytes());
}

bool Engine::TakeStationClock(const ReceivedFrame& frame, bool replaceEmptyDate) {
  const std::time_t now = clock_.Now();
  if (frame.length < RequestBlock::kSize) {
    ui_.ShowMessage(msg::kClockInvalid);
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
    ui_.ShowMessage(msg::kClockInvalid);
    return false;
  }
  clockOffset_ = static_cast<std::int64_t>(now) - static_cast<std::int64_t>(*station);
  stationClockKnown_ = true;
  ui_.ShowStationClock(t);
  return true;
}

void Engine::OnClockRead(const ReceivedFrame& frame) {
  StopTransmitter();
  if (!TakeStationClock(frame, true)) {
    RefuseByAnswer(msg::kClockInvalid);
    return;
  }
  if (readSequencePending_) {
    readSequencePending_ = false;
    ui_.ShowMessage(msg::kReadComplete);
  }
  EndByAnswer(RequestOutcome::Done);
}

void Engine::OnClockSet(const ReceivedFrame& frame) {
  StopTransmitter();
  if (!TakeStationClock(frame, false)) {
    RefuseByAnswer(msg::kClockInvalid);
    return;
  }
  EndByAnswer(RequestOutcome::Done);
  if (!readSequencePending_) return;
  readSequencePending_ = false;
  StartDetectorRead();
}

// ---- service page --------------------------------------------------------------------

void Engine::SendServiceRequest(std::uint8_t code) {
  if (!channel_.IsConnected()) {
    Refuse(code, ErrorKind::BadArgument, "the port is not open", false);
    return;
  }
  BeginOperation(code);
  SendCommand(code, {});
}

void Engine::FactoryDefault() {
  SendServiceRequest(cmd::kFactoryDefault);
}

void Engine::EraseFirmware() {
  SendServiceRequest(cmd::kEraseFirmware);
}

void Engine::EthernetLinkTest() {
  SendServiceRequest(cmd::kEthernetLinkTest);
}

void Engine::GetIpAddress() {
  SendServiceRequest(cmd::kIpAddress);
}

void Engine::WriteSerialNumber(std::string_view serialNumber) {
  if (!channel_.IsConnected()) {
    Refuse(cmd::kWriteSerialNumber, ErrorKind::BadArgument, msg::kPortNotOpen);
    return;
  }
  if (serialNumber.empty()) {
    Refuse(cmd::kWriteSerialNumber, ErrorKind::BadArgument, msg::kSerialNumberEmpty);
    return;
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(serialNumber.data());
  BeginOperation(cmd::kWriteSerialNumber);
  SendCommand(cmd::kWriteSerialNumber, {bytes, serialNumber.size()});
}

void Engine::SelfTest() {
  if (!channel_.IsConnected()) {
    Refuse(cmd::kSelfTest, ErrorKind::BadArgument, msg::kPortNotOpen);
    return;
  }
  ui_.SetProgressPosition(0);
  BeginOperation(cmd::kSelfTest);
  SendCommand(cmd::kSelfTest, {});
}

void Engine::OnSerialNumberWritten(const ReceivedFrame&) {
  StopTransmitter();
  ui_.SetProgressPosition(100);
  ui_.ShowMessage(msg::kSerialNumberWritten);
  EndByAnswer(RequestOutcome::Done);
}

void Engine::OnFirmwareErased(const ReceivedFrame&) {
  StopTransmitter();
  ui_.ShowMessage(msg::kFirmwareErased);
  EndByAnswer(RequestOutcome::Done);
}

void Engine::OnFactoryDefault(const ReceivedFrame&) {
  StopTransmitter();
  ui_.ShowMessage(msg::kFactoryDefaultDone);
  EndByAnswer(RequestOutcome::Done);
  // The station restarts with its defaults: reconnect and ask for its type again.
  const std::string port = channel_.PortName();
  const bool receiving = LogReceiveUnderWay();
  CloseConnection(Status::Ok());
  ResetAfterDisconnect();
  StopOperation(RequestOutcome::Aborted, Status::Error(ErrorKind::Aborted, "the port was closed"),
                receiving);
  Connect(port);
}

void Engine::OnSelfTestDone(const ReceivedFrame&) {
  StopTransmitter();
  ui_.SetProgressPosition(100);
  ui_.ShowMessage(msg::kSelfTestDone);
  EndByAnswer(RequestOutcome::Done);
}

void Engine::OnEthernetLinkTest(const ReceivedFrame& frame) {
  StopTransmitter();
  if (frame.length != 1) {
    ui_.ShowMessage(msg::kLinkUpLengthFail);
    RefuseByAnswer(msg::kLinkUpLengthFail);
  } else if (frame.payload[0] != 0) {
    ui_.ShowMessage(msg::kLinkUpFail);
    RefuseByAnswer(msg::kLinkUpFail);
  } else {
    ui_.ShowMessage(msg::kLinkUpOk);
    EndByAnswer(RequestOutcome::Done);
  }
}

void Engine::OnIpAddress(const ReceivedFrame& frame) {
  StopTransmitter();
  if (frame.length != 4) {
    ui_.ShowMessage(msg::kIpLengthFail);
    RefuseByAnswer(msg::kIpLengthFail);
    return;
  }
  ui_.ShowIpAddress({frame.payload[0], frame.payload[1], frame.payload[2], frame.payload[3]});
  EndByAnswer(RequestOutcome::Done);
}

}  // namespace ql::engine
