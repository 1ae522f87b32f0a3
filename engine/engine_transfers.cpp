// Firmware upload and log download: the start answers, the workers that run the YMODEM
// transfers, and the result handling on the UI thread.

#include <algorithm>

#include "engine/engine.h"
#include "engine/messages.h"
#include "protocol/name_slot.h"
#include "records/folder_sink.h"
#include "records/requested_file_sink.h"
#include "rules/firmware_names.h"

namespace ql::engine {

using link::ErrorKind;
using link::ReceivedFrame;
using link::Status;
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

void Engine::EndTransfer(const Status& result) {
  if (result.ok()) {
    EndOperation(RequestOutcome::Done);
  } else if (pendingEnd_) {
    EndOperation(pendingEnd_->outcome, pendingEnd_->status);  // why a close stopped it
  } else {
    EndOperation(TransferFailure(result), result);
  }
}

RequestOutcome Engine::TransferFailure(const Status& status) {
  switch (status.kind) {
    case ErrorKind::Timeout:
      return RequestOutcome::Stalled;
    case ErrorKind::Protocol:
      return RequestOutcome::Refused;
    case ErrorKind::Aborted:
      return RequestOutcome::Aborted;
    case ErrorKind::None:
    case ErrorKind::BadArgument:
    case ErrorKind::Busy:
    case ErrorKind::Io:
      break;
  }
  return RequestOutcome::Failed;
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
  const std::uint8_t request = FirmwareRequest(page);
  if (!channel_.IsConnected()) {
    Refuse(request, ErrorKind::BadArgument, msg::kPortOpenCheck);
    return;
  }
  if (firmwareWorker_.joinable()) return;  // the transfer buttons are disabled meanwhile
  firmware_ = std::move(image);
  const std::string name(rules::FileNamePart(firmware_.fileName));
  ui_.SetFirmwareProgressRange(page, 0, std::max(0, firmware_.blockCount - 1));
  ui_.SetProgressPosition(0);
  block_.SetLocalTime(clock_.Now());
  BeginOperation(request);
  SendCommand(request, {reinterpret_cast<const std::uint8_t*>(name.data()), name.size()});
}

void Engine::OnFirmwareStart(const ReceivedFrame&) {
  StopTransmitter();
  // An answer with no image chosen (a late or stray one) has nothing to send.
  if (firmware_.content.empty() || firmwareWorker_.joinable()) return;
  ui_.SetProgressPosition(0);
  StartTimer(timer::kFirmware, 3000ms);
  stream_.ClearAbort();
  // The station's first 'C' may have come in the same burst as its answer.
  HandOverQueueToStream();
  flags_.firmwareUpload.store(true);
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
  const bool failed = outcome.result == 0 || stream_.AbortRequested() || !outcome.status.ok();
  // The line refused the upload's bytes: it is gone, whether or not the watch thread has
  // seen it yet. One message, the line's, as when the watch thread is first.
  if (failed && outcome.status.kind == link::ErrorKind::Io && channel_.IsConnected()) {
    OnLineLost();
    return;
  }
  if (failed) {
    ui_.ShowMessage(msg::kFirmwareSendFail);
  } else {
    for (RecordType t : {RecordType::Docking, RecordType::SingleGas, RecordType::MultiGas}) {
      ui_.ClearFirmwareFields(t);
    }
    ui_.ShowMessage(msg::kFirmwareSendOk);
  }
  // A send that ran to its end while somebody set abortTransfer was stopped all the same.
  const Status result = !failed ? Status::Ok()
                        : !outcome.status.ok()
                            ? outcome.status
                            : Status::Error(ErrorKind::Aborted, "the transfer was stopped");
  ui_.SetProgressPosition(0);
  StopTransmitter();
  stream_.SetAbort();
  flags_.firmwareUpload.store(false);
  EndFirmwareWorker();
  firmware_ = {};
  if (operation_ &&
      (*operation_ == cmd::kFirmwareDocking || *operation_ == cmd::kFirmwareSingleGas ||
       *operation_ == cmd::kFirmwareMultiGas)) {
    EndTransfer(result);
  }
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
    Refuse(cmd::kLogList, ErrorKind::BadArgument, msg::kPortNotOpen);
    return;
  }
  BeginOperation(cmd::kLogList);
  SendCommand(cmd::kLogList, {});
}

void Engine::OnLogList(const ReceivedFrame& frame) {
  StopTransmitter();
  ui_.ClearLogList();
  ui_.DisableUsbDiskChoice();
  ui_.SetProgressPosition(100);
  const auto p = frame.Payload();
  if (p.empty()) {
    ui_.ShowMessage(msg::kLogListFail);
    RefuseByAnswer(msg::kLogListFail);
    return;
  }
  const DeviceType type = deviceType_.load();
  if (type == DeviceType::SingleGas || type == DeviceType::MultiGas) {
    for (const std::string& name : protocol::ParseLogList(p)) ui_.AddLogRow(name);
  }
  ui_.ShowMessage(msg::kLogListOk);
  EndByAnswer(RequestOutcome::Done);
}

void Engine::SaveLogs(const std::vector<std::string>& names, const std::filesystem::path& folder) {
  ui_.SetProgressPosition(0);
  if (!channel_.IsConnected()) {
    Refuse(cmd::kLogFile, ErrorKind::BadArgument, msg::kPortNotOpen);
    return;
  }
  if (logRunActive_) return;  // "Local Save" is disabled while a run is active
  std::vector<LogSlot> slots;
  for (const std::string& name : names) {
    if (slots.size() == kMaxLogSelection) break;
    const std::optional<LogSlot> slot = protocol::NameToSlot(name);
    if (!slot) {
      // Not a name the station can list: cut short, it would ask for another file.
      Refuse(cmd::kLogFile, ErrorKind::BadArgument,
             "\"" + name + "\" is not a log file name the station can send");
      return;
    }
    if (name.starts_with('.')) {
      // The receive would refuse it anyway (a hidden file is never written): say so now.
      Refuse(cmd::kLogFile, ErrorKind::BadArgument,
             "\"" + name + "\" is not saved: a file name may not start with a dot");
      return;
    }
    slots.push_back(*slot);
  }
  if (slots.empty()) {
    Refuse(cmd::kLogFile, ErrorKind::BadArgument, msg::kNotSelected);
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
  ui_.EnableLogSaveControls(false);
  StartTimer(timer::kLogWatchdog, 10000ms);
  LogSlot first;
  {
    std::lock_guard lock(logMutex_);
    first = logSelection_.front();
  }
  BeginOperation(cmd::kLogFile);
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
  ui_.ShowMessage(msg::kDockingUsbNotConnected);
  RefuseByAnswer(msg::kDockingUsbNotConnected);
}

void Engine::LogWorkerLoop() {
  for (;;) {
    std::filesystem::path folder;
    std::size_t count = 0;
    std::string requested;
    {
      std::unique_lock lock(logMutex_);
      logWake_.wait(lock, [&] { return logWorkerStop_ || flags_.logReceiveArmed.load(); });
      if (logWorkerStop_) return;
      folder = logFolder_;
      count = logSelection_.size();
      // The station accepted the request for this slot's file: that file and no other.
      const std::size_t index = logFileIndex_.load();
      if (index < count) requested = protocol::SlotToName(logSelection_[index]);
    }
    records::FolderSink folderSink(folder);
    records::RequestedFileSink sink(folderSink, requested);
    const link::ReceiveOutcome outcome = ymodem_.Receive(sink);
    const bool ok = outcome.status.ok() && !outcome.files.empty();
    if (!ok) {
      logFileIndex_.store(0);
      flags_.logReceiveArmed.store(false);
      const Status reason = outcome.status.ok()
                                ? Status::Error(ErrorKind::Protocol, "the station sent no file")
                                : outcome.status;
      PostToUi([reason](Engine& e) { e.OnLogResult(e.logRun_, reason); });
      return;
    }
    const std::size_t index = logFileIndex_.fetch_add(1) + 1;
    if (index >= count) {
      logFileIndex_.store(0);
      flags_.logReceiveArmed.store(false);
      PostToUi([](Engine& e) { e.OnLogResult(e.logRun_, Status::Ok()); });
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

void Engine::OnLogResult(std::uint64_t run, const Status& result) {
  if (run != logRun_ || !logRunActive_) return;
  KillTimer(timer::kLogWatchdog);
  StopTransmitter();
  flags_.logReceiveArmed.store(false);
  logRunActive_ = false;
  ++logRun_;
  EndLogWorker();
  ui_.EnableLogSaveControls(true);
  if (result.ok()) {
    ui_.ShowMessage(msg::kLogSaveOk);
  } else {
    ui_.SetProgressPosition(0);
    ui_.ShowMessage(msg::kLogSaveFail);
  }
  if (operation_ == cmd::kLogFile) EndTransfer(result);
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
