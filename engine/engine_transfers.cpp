// Firmware upload and log download: the start answers, the workers that run the YMODEM
// transfers, and the result handling on the UI thread.

#include <algorithm>

#include "engine/engine.h"
#include "records/folder_sink.h"
#include "rules/firmware_names.h"

namespace ql::engine {

using link::ReceivedFrame;
using namespace std::chrono_literals;

namespace {

std::uint8_t FirmwareRequest(RecordType page) {
  switch (page) {
    case RecordType::Docking:
      return cmd::kFirmwareDocking;
    case RecordType::SingleGas:
      return cmd::kFirmwareSingleGas;
    case RecordType::MultiGas:
      return cmd::kFirmwareMultiGas;
  }
  return cmd::kFirmwareDocking;
}

}  // namespace

void Engine::PostToUi(std::function<void(Engine&)> task) {
  std::weak_ptr<Engine*> weak = self_;
  poster_.Post([weak, task = std::move(task)] {
    if (auto self = weak.lock(); self && *self) task(**self);
  });
}

void Engine::HandOverQueueToStream() {
  stream_.Purge();
  std::vector<std::uint8_t> leftover;
  std::uint8_t b = 0;
  while (channel_.Queue().Pop(b)) leftover.push_back(b);
  stream_.Feed(leftover);
}

// ---- firmware upload -----------------------------------------------------------------

void Engine::StartFirmwareWrite(RecordType page, records::FirmwareImage image) {
  if (!channel_.IsConnected()) {
    ui_.ShowMessage("Port open check");
    return;
  }
  if (FirmwareUploadRunning()) return;  // the transfer buttons are disabled meanwhile
  firmware_ = std::move(image);
  const std::string name(rules::FileNamePart(firmware_.fileName));
  ui_.SetFirmwareProgressRange(page, 0, std::max(0, firmware_.blockCount - 1));
  ui_.SetProgressPosition(0);
  block_.SetLocalTime(clock_.Now());
  SendCommand(FirmwareRequest(page),
              {reinterpret_cast<const std::uint8_t*>(name.data()), name.size()});
}

void Engine::OnFirmwareStart(const ReceivedFrame&) {
  StopTransmitter();
  // An answer with no image chosen (a late or stray one) has nothing to send.
  if (firmware_.content.empty() || FirmwareUploadRunning()) return;
  ui_.SetProgressPosition(0);
  StartTimer(timer::kFirmware, 3000ms);
  stream_.ClearAbort();
  // The station's first 'C' may have come in the same burst as its answer.
  HandOverQueueToStream();
  flags_.firmwareUpload.store(true);
  lastTransferError_.clear();
  const std::uint64_t upload = ++firmwareUpload_;
  auto content = std::make_shared<const std::vector<std::uint8_t>>(firmware_.content);
  const std::string name(rules::FileNamePart(firmware_.fileName));
  firmwareWorker_ = std::thread([this, upload, content, name] {
    // The request pacer is already stopped; keep it quiet and the response timers off.
    flags_.rxActivity.store(true);
    PostToUi([](Engine& e) {
      for (int id : {timer::kResponse, timer::kResend, timer::kFirmware, timer::kLogWatchdog,
                     timer::kParserGap}) {
        e.KillTimer(id);
      }
    });
    const link::SendOutcome outcome = ymodem_.SendFile(*content, name);
    flags_.firmwareUpload.store(false);
    PostToUi([upload, outcome](Engine& e) { e.OnFirmwareSent(upload, outcome); });
  });
  ui_.EnableMainControls(true);
  // The bars follow the station's ACKs, counted by the drain (no rate thread needed:
  // the count changes only on the UI thread).
  flags_.ackCount.store(0);
  ackShown_ = 0;
  rateActive_ = true;
}

void Engine::ShowFirmwareProgress() {
  if (!rateActive_) return;
  const std::uint32_t acks = flags_.ackCount.load();
  if (acks == ackShown_) return;
  ackShown_ = acks;
  // Past the block count the bars stay at the block count.
  ui_.SetProgressPosition(static_cast<int>(std::min<std::uint32_t>(acks, firmware_.blockCount)));
  if (acks > firmware_.blockCount) rateActive_ = false;
}

void Engine::OnFirmwareSent(std::uint64_t upload, const link::SendOutcome& outcome) {
  if (upload != firmwareUpload_ || !firmwareWorker_.joinable()) return;  // a torn-down upload
  ShowFirmwareProgress();
  rateActive_ = false;
  ui_.EnableMainControls(false);
  if (outcome.result == 0 || stream_.AbortRequested() || !outcome.status.ok()) {
    lastTransferError_ = outcome.status.message;
    ui_.ShowMessage("Firmware file send fail");
  } else {
    for (RecordType t : {RecordType::Docking, RecordType::SingleGas, RecordType::MultiGas}) {
      ui_.ClearFirmwareFields(t);
    }
    ui_.ShowMessage("Firmware file send ok");
  }
  ui_.SetProgressPosition(0);
  StopTransmitter();
  stream_.SetAbort();
  flags_.firmwareUpload.store(false);
  EndFirmwareWorker();
  firmware_ = {};
}

void Engine::EndFirmwareWorker() {
  if (!firmwareWorker_.joinable()) return;
  // Every wait of the transfer ends at once; writes on a closed port return at once.
  stream_.SetAbort();
  flags_.firmwareUpload.store(false);
  firmwareWorker_.join();
  ++firmwareUpload_;  // its result, still on its way, is for an upload that is gone
  rateActive_ = false;
}

// ---- log download --------------------------------------------------------------------

void Engine::RefreshLogList() {
  ui_.ClearTransferStatus();
  ui_.SetProgressRange(0, 100);
  ui_.SetProgressPosition(0);
  if (!channel_.IsConnected()) {
    ui_.ShowMessage("The port not open");
    return;
  }
  SendCommand(cmd::kLogList, {});
}

void Engine::OnLogList(const ReceivedFrame& frame) {
  StopTransmitter();
  ui_.ClearLogList();
  ui_.DisableUsbDiskChoice();
  ui_.SetProgressPosition(100);
  const auto p = frame.Payload();
  if (p.empty()) {
    ui_.ShowMessage("Log file receive fail \n (Log data empty or USB not connected)");
    return;
  }
  const int type = deviceType_.load();
  if (type == device::kSingleGas || type == device::kMultiGas) {
    for (const std::string& name : protocol::ParseLogList(p)) ui_.AddLogRow(name);
  }
  ui_.ShowMessage("Log file receive success");
}

void Engine::SaveLogs(const std::vector<std::string>& names, const std::filesystem::path& folder) {
  ui_.SetProgressPosition(0);
  if (!channel_.IsConnected()) {
    ui_.ShowMessage("The port not open");
    return;
  }
  if (logRunActive_) return;  // "Local Save" is disabled while a run is active
  std::vector<LogSlot> slots;
  for (const std::string& name : names) {
    if (slots.size() == kMaxLogSelection) break;
    const std::optional<LogSlot> slot = protocol::NameToSlot(name);
    if (!slot) {
      // Not a name the station can list: cut short, it would ask for another file.
      lastTransferError_ = "\"" + name + "\" is not a log file name the station can send";
      ui_.ShowMessage(lastTransferError_);
      return;
    }
    slots.push_back(*slot);
  }
  if (slots.empty()) {
    ui_.ShowMessage("Not Selected !!");
    return;
  }
  {
    std::lock_guard lock(logMutex_);
    logSelection_ = std::move(slots);
    logFolder_ = folder;
  }
  logFileIndex_.store(0);
  ++logRun_;
  logRunActive_ = true;
  lastTransferError_.clear();
  ui_.EnableLogSaveControls(false);
  StartTimer(timer::kLogWatchdog, 10000ms);
  LogSlot first;
  {
    std::lock_guard lock(logMutex_);
    first = logSelection_.front();
  }
  SendCommand(cmd::kLogFile, first);
}

void Engine::OnLogFileStart(const ReceivedFrame& frame) {
  StopTransmitter();
  const bool accepted = frame.length >= 1 && frame.payload[0] == 1;
  if (accepted) {
    std::size_t count = 0;
    {
      std::lock_guard lock(logMutex_);
      count = logSelection_.size();
    }
    if (count == 0 || !logRunActive_) {
      ui_.SetProgressPosition(100);
      return;
    }
    stream_.ClearAbort();
    // The station starts sending at once; what came behind its answer is the file's.
    HandOverQueueToStream();
    {
      std::lock_guard lock(logMutex_);
      flags_.logReceiveArmed.store(true);
      logWorkerStop_ = false;
    }
    logWake_.notify_all();
    if (!logWorker_.joinable()) logWorker_ = std::thread([this] { LogWorkerLoop(); });
    return;
  }
  ui_.SetProgressPosition(0);
  flags_.logReceiveArmed.store(false);
  logFileIndex_.store(0);
  logRunActive_ = false;
  ++logRun_;
  ui_.EnableLogSaveControls(true);
  ui_.ShowMessage("Docking USB not connected");
}

void Engine::LogWorkerLoop() {
  for (;;) {
    std::filesystem::path folder;
    std::size_t count = 0;
    {
      std::unique_lock lock(logMutex_);
      logWake_.wait(lock, [&] { return logWorkerStop_ || flags_.logReceiveArmed.load(); });
      if (logWorkerStop_) return;
      folder = logFolder_;
      count = logSelection_.size();
    }
    records::FolderSink sink(folder);
    const link::ReceiveOutcome outcome = ymodem_.Receive(sink);
    const bool ok = outcome.status.ok() && !outcome.files.empty();
    if (!ok) {
      logFileIndex_.store(0);
      flags_.logReceiveArmed.store(false);
      const std::string reason = outcome.status.message;
      PostToUi([reason](Engine& e) {
        e.lastTransferError_ = reason;
        e.OnLogResult(e.logRun_, false);
      });
      return;
    }
    const std::size_t index = logFileIndex_.fetch_add(1) + 1;
    if (index >= count) {
      logFileIndex_.store(0);
      flags_.logReceiveArmed.store(false);
      PostToUi([](Engine& e) { e.OnLogResult(e.logRun_, true); });
      return;
    }
    LogSlot next;
    {
      std::lock_guard lock(logMutex_);
      next = logSelection_[index];
      flags_.logReceiveArmed.store(false);
    }
    // Requests go out from the UI thread, which owns the pacer and the timers.
    PostToUi([next](Engine& e) {
      if (e.logRunActive_) e.SendCommand(cmd::kLogFile, next);
    });
  }
}

void Engine::OnLogResult(std::uint64_t run, bool ok) {
  if (run != logRun_ || !logRunActive_) return;
  KillTimer(timer::kLogWatchdog);
  StopTransmitter();
  flags_.logReceiveArmed.store(false);
  logRunActive_ = false;
  ++logRun_;
  EndLogWorker();
  ui_.EnableLogSaveControls(true);
  if (ok) {
    ui_.ShowMessage("Log data save success");
  } else {
    ui_.SetProgressPosition(0);
    ui_.ShowMessage("Log data save failure\n(File opened on pc or IRDA fail)");
  }
}

void Engine::EndLogWorker() {
  if (!logWorker_.joinable()) return;
  {
    std::lock_guard lock(logMutex_);
    logWorkerStop_ = true;
  }
  stream_.SetAbort();  // a receive still running ends at once
  logWake_.notify_all();
  logWorker_.join();
}

}  // namespace ql::engine
