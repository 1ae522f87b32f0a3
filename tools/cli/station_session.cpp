#include "tools/cli/station_session.h"

#include <algorithm>
#include <ostream>

namespace ql::cli {

void HeadlessUi::ShowMessage(std::string_view text) {
  messages.emplace_back(text);
  err_ << text << "\n";
}

void HeadlessUi::PageToRecord(RecordType type, std::span<std::uint8_t> record) {
  const auto it = toSend.find(type);
  if (it == toSend.end()) return;
  std::copy_n(it->second.begin(), std::min(it->second.size(), record.size()), record.begin());
}

StationSession::StationSession(std::ostream& err)
    : ui_(err), engine_(std::make_unique<engine::Engine>(ui_, timers_, loop_, clock_)) {
  timers_.SetTarget([this](int id) { engine_->OnTimer(id); });
}

StationSession::~StationSession() {
  if (engine_->PortOpen()) engine_->Disconnect();
  // Late notifications of the watch thread are dropped by the engine once closed; run
  // them before the engine goes so nothing is left in the loop that points at it.
  loop_.RunPending();
  engine_.reset();
}

bool StationSession::WaitUntilIdle(std::chrono::milliseconds limit) {
  return loop_.RunUntil([&] { return engine_->LastCommand() == 0 || !engine_->PortOpen(); }, limit);
}

ExitCode StationSession::Connect(const std::string& device) {
  const std::size_t from = ui_.messages.size();
  engine_->OpenCloseButton(device);
  if (!engine_->PortOpen()) {
    const auto& error = engine_->Channel().LastError();
    if (!error.message.empty()) ui_.ShowMessage(error.message);
    return ExitCode::UsageOrFile;
  }
  if (!WaitUntilIdle() || !ui_.identified) {
    if (std::find(ui_.messages.begin() + static_cast<long>(from), ui_.messages.end(),
                  "Send timeOut") == ui_.messages.end()) {
      ui_.ShowMessage("Send timeOut");
    }
    return ExitCode::NoAnswer;
  }
  return ExitCode::Ok;
}

ExitCode StationSession::Outcome(std::size_t from,
                                 std::initializer_list<std::string_view> failures) const {
  ExitCode code = ExitCode::Ok;
  for (std::size_t i = from; i < ui_.messages.size(); ++i) {
    const std::string& m = ui_.messages[i];
    if (m == "Send timeOut") return ExitCode::NoAnswer;
    if (std::find(failures.begin(), failures.end(), m) != failures.end()) code = ExitCode::Refused;
  }
  return code;
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
