#include "tools/cli/station_session.h"

#include <algorithm>
#include <ostream>

#include "records/docking_info.h"
#include "records/multi_gas.h"
#include "records/single_gas.h"

namespace ql::cli {

using engine::RequestEnd;
using engine::RequestOutcome;

void HeadlessUi::ShowMessage(std::string_view text) {
  lastMessage = text;
  err_ << text << "\n";
}

void HeadlessUi::Say(std::string_view text) {
  lastSaid_ = text;
  err_ << text << "\n";
}

void HeadlessUi::PageToRecord(RecordType type, std::span<std::uint8_t> record) {
  const auto it = toSend.find(type);
  if (it == toSend.end()) return;
  std::copy_n(it->second.begin(), std::min(it->second.size(), record.size()), record.begin());
}

void StreamTrafficMonitor::LogReceived(std::span<const std::uint8_t> line) {
  Write(line, link::TrafficDirection::Received);
}

void StreamTrafficMonitor::LogSent(std::span<const std::uint8_t> frame) {
  Write(frame, link::TrafficDirection::Sent);
}

void StreamTrafficMonitor::Write(std::span<const std::uint8_t> bytes,
                                 link::TrafficDirection direction) {
  const std::string entry = link::FormatTrafficEntry(bytes, direction, false);
  std::string lines;
  lines.reserve(entry.size());
  for (std::size_t i = 0; i < entry.size(); ++i) {
    if (entry[i] == '\r' && i + 1 < entry.size() && entry[i + 1] == '\n') continue;
    lines += entry[i];
  }
  const std::lock_guard lock(mutex_);
  out_.write(lines.data(), static_cast<std::streamsize>(lines.size()));
  out_.flush();
}

StationSession::StationSession(std::ostream& err, bool monitor)
    : ui_(err),
      monitor_(err),
      engine_(std::make_unique<engine::Engine>(
          ui_, timers_, loop_, clock_, link::MakePlatformSerialPort(),
          engine::EngineOptions{.startPacerThread = true,
                                .monitor = monitor ? &monitor_ : nullptr,
                                .transferClock = nullptr})) {
  timers_.SetTarget([this](int id) { engine_->OnTimer(id); });
}

StationSession::~StationSession() {
  if (engine_->PortOpen()) engine_->Disconnect();
  // Late notifications of the watch thread are dropped by the engine once closed; run
  // them before the engine goes so nothing is left in the loop that points at it.
  loop_.RunPending();
  engine_.reset();
}

RequestEnd StationSession::WaitFor(std::uint8_t request, std::size_t from,
                                   std::chrono::milliseconds limit) {
  const auto find = [&]() -> const RequestEnd* {
    for (std::size_t i = from; i < ui_.ends.size(); ++i) {
      if (ui_.ends[i].request == request) return &ui_.ends[i];
    }
    return nullptr;
  };
  const auto ended = [&] { return find() != nullptr || stopSignal_.has_value(); };
  if (!loop_.RunUntil(ended, limit)) engine_->AbandonRequest();
  if (const RequestEnd* end = find()) return *end;
  if (stopSignal_) {
    // The session's end (Disconnect, then the engine's end) stops what still runs.
    return {request, RequestOutcome::Aborted,
            link::Status::Error(link::ErrorKind::Aborted,
                                "stopped by " + StopSignals::Name(*stopSignal_))};
  }
  return {request, RequestOutcome::TimedOut,
          link::Status::Error(link::ErrorKind::Timeout, "no answer")};
}

void StationSession::OnStopSignal(int signal) {
  if (stopSignal_) return;
  stopSignal_ = signal;
  ui_.Say("quaylink-cli: stopped by " + StopSignals::Name(signal));
}

RequestEnd StationSession::Run(std::uint8_t request, const std::function<void()>& start,
                               std::chrono::milliseconds limit) {
  const std::size_t from = ui_.ends.size();
  start();
  return WaitFor(request, from, limit);
}

ExitCode StationSession::Connect(const std::string& device) {
  const std::size_t from = ui_.ends.size();
  engine_->OpenCloseButton(device);
  if (ui_.state == engine::ConnectionState::Closed) {  // the port did not open
    if (!ui_.stateReason.message.empty()) ui_.Say(ui_.stateReason.message);
    return ExitCode::UsageOrFile;
  }
  const RequestEnd identify = WaitFor(protocol::cmd::kDeviceType, from, kRequestLimit);
  if (identify.outcome != RequestOutcome::Done) return ExitCodeOf(identify);
  stationType_ = engine_->StationType();
  if (protocol::HasDetectorRecord(stationType_)) {
    // The read that the device type answer started; only the read command judges it.
    automaticRead_ = WaitFor(protocol::cmd::kReadRecord, ui_.ends.size(), kRequestLimit);
    if (automaticRead_->outcome == RequestOutcome::LineLost || stopSignal_) {
      return ExitCode::Refused;
    }
  }
  return ExitCode::Ok;
}

ExitCode ExitCodeOf(const RequestEnd& end) {
  switch (end.outcome) {
    case RequestOutcome::Done:
      return ExitCode::Ok;
    case RequestOutcome::TimedOut:
      return ExitCode::NoAnswer;
    case RequestOutcome::Refused:
    case RequestOutcome::Stalled:
    case RequestOutcome::LineLost:
    case RequestOutcome::Aborted:
    case RequestOutcome::Failed:
      break;
  }
  return ExitCode::Refused;
}

void SayTransferFailure(HeadlessUi& ui, const RequestEnd& end) {
  const std::string line = "quaylink-cli: " + end.status.message;
  if (end.status.ok() || end.status.message.empty() || end.status.message == ui.lastMessage ||
      line == ui.LastSaid()) {
    return;
  }
  ui.Say(line);
}

bool RequirePort(const CommandContext& ctx) {
  if (!ctx.options.port.empty()) return true;
  ctx.err << "quaylink-cli: this command needs --port DEV (see: quaylink-cli ports)\n";
  return false;
}

std::optional<RecordType> RecordTypeOfSize(std::size_t size) {
  switch (size) {
    case records::kDockingInfoSize:
      return RecordType::Docking;
    case records::kSingleGasOptionSize:
      return RecordType::SingleGas;
    case records::kMultiGasOptionSize:
      return RecordType::MultiGas;
    default:
      return std::nullopt;
  }
}

}  // namespace ql::cli
