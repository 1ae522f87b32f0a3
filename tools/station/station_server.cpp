#include "tools/station/station_server.h"

#include <ostream>
#include <random>
#include <system_error>

#include "io/file_io.h"
#include "records/firmware.h"
#include "records/folder_sink.h"
#include "tools/station/station_state.h"

namespace ql::station {
namespace fs = std::filesystem;

StationServer::StationServer(StationState& state, link::ISerialPort& port,
                             std::optional<fs::path> stateDir, std::ostream& log,
                             StationOptions options)
    : state_(state),
      port_(port),
      stateDir_(std::move(stateDir)),
      log_(log),
      options_(options),
      core_(
          state, [] { return std::time(nullptr); }, std::move(options)) {
  core_.onChanged = [this] {
    if (stateDir_) SaveStationRecords(*stateDir_, state_);
  };
  std::error_code ec;
  if (stateDir_) {
    firmwareDir_ = *stateDir_ / "firmware";
    fs::create_directories(firmwareDir_, ec);
  } else {
    // A folder of its own, new: one another program left under the name is not used.
    std::random_device random;
    const fs::path temp = fs::temp_directory_path(ec);
    for (int attempt = 0; attempt < 100 && !ownsFirmwareDir_; ++attempt) {
      firmwareDir_ = temp / ("quaylink-station-" + std::to_string(random()));
      ownsFirmwareDir_ = fs::create_directory(firmwareDir_, ec);
    }
  }
}

StationServer::~StationServer() {
  stream_.SetAbort();
  if (transfer_.joinable()) transfer_.join();
  if (ownsFirmwareDir_) {
    std::error_code ec;
    fs::remove_all(firmwareDir_, ec);
  }
}

int StationServer::Serve(const std::atomic<bool>& stopping) {
  std::array<std::uint8_t, 4096> buffer{};
  while (!stopping) {
    const link::WaitResult wait = port_.WaitForData();
    if (wait == link::WaitResult::Woken) break;
    const std::optional<std::size_t> n =
        wait == link::WaitResult::LineLost ? std::nullopt : port_.Read(buffer);
    if (!n) {
      log_ << "the line was lost" << std::endl;
      return 1;
    }
    const std::span<const std::uint8_t> bytes(buffer.data(), *n);
    if (inTransfer_) {
      stream_.Feed(bytes);
      continue;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      // A restarting station loses what the line brings, a frame begun included.
      if (core_.Restarting(Clock::now())) {
        parser_ = RequestParser{};
        continue;
      }
      const auto request = parser_.Feed(bytes[i], Clock::now());
      if (!request) continue;
      const Reply reply = core_.OnRequest(*request, Clock::now());
      if (!reply.frame.empty()) port_.Write(reply.frame, std::nullopt);
      if (reply.followUp.kind != FollowUp::Kind::None) {
        StartTransfer(reply.followUp, bytes.subspan(i + 1));
        break;
      }
    }
  }
  return 0;
}

void StationServer::StartTransfer(const FollowUp& followUp, std::span<const std::uint8_t> rest) {
  if (transfer_.joinable()) transfer_.join();
  stream_.Purge();
  stream_.ClearAbort();
  stream_.Feed(rest);
  inTransfer_ = true;
  transfer_ = std::thread([this, followUp] {
    RunTransfer(followUp);
    // Requests come again from here on.
    inTransfer_ = false;
  });
}

void StationServer::RunTransfer(const FollowUp& followUp) {
  // Copies of the request may still be on their way (the tool repeats it until our answer
  // reaches it); let the line settle so they are not taken for the transfer's first bytes.
  std::uint8_t b = 0;
  while (stream_.Take(b, stream_.Clock().Now() + kSettle) == link::WaitStatus::Ready) {
  }
  if (followUp.kind == FollowUp::Kind::SendLog) {
    SendLog(followUp.logName);
  } else {
    ReceiveFirmware(followUp);
  }
}

void StationServer::SendLog(const std::string& name) {
  const auto it = std::find_if(state_.logs.begin(), state_.logs.end(),
                               [&](const StationFile& f) { return f.name == name; });
  if (it == state_.logs.end()) return;
  const std::string& sentName = options_.logHeaderName.empty() ? it->name : options_.logHeaderName;
  const link::SendOutcome out =
      ymodem_.SendFile(it->content, sentName, link::SendStart::Unprompted);
  log_ << "log " << name << ": " << (out.status.ok() ? "sent" : out.status.message) << std::endl;
}

void StationServer::ReceiveFirmware(const FollowUp& followUp) {
  records::FolderSink sink(firmwareDir_);
  const link::ReceiveOutcome out = ymodem_.Receive(sink, link::ReceiverRole::Station);
  if (!out.status.ok() || out.files.empty()) {
    log_ << "firmware " << followUp.firmwareName << ": " << out.status.message << std::endl;
    return;
  }
  const fs::path file = firmwareDir_ / out.files.back();
  const auto data = io::ReadWholeFile(file, records::kMaxFirmwareFileSize);
  ReceivedFirmware received;
  received.fileName = out.files.back();
  if (data) {
    const auto check = records::CheckFirmwareContainer(followUp.family, *data);
    received.label = check.label;
    received.valid = check.ok();
  }
  state_.firmware[followUp.family] = received;
  log_ << "firmware " << received.fileName << ": " << out.total << " bytes, "
       << (received.valid ? received.label : "not a valid firmware file") << std::endl;
}

}  // namespace ql::station
