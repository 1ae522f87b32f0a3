#pragma once
// The command engine: requests and their pacing, time-outs and resends, the response
// table and its handlers, and the connection lifecycle. It owns the serial channel, the
// frame parser, the pacer and the record buffers.
//
// Threads: every public member is for the UI thread (the thread that runs the poster's
// tasks and the timer host's callbacks), except where noted. The engine never touches a
// widget; what it does to the window goes through IEngineUi, and it reports its connection
// state and the end of every operation there as typed events (engine/engine_ui.h).
// Tests reach the internals through engine/engine_testing.h.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/engine_ui.h"
#include "engine/timer_host.h"
#include "engine/wall_clock.h"
#include "link/drain.h"
#include "link/event_loop.h"
#include "link/frame.h"
#include "link/frame_pacer.h"
#include "link/serial_channel.h"
#include "link/shared_flags.h"
#include "link/transfer_stream.h"
#include "link/ymodem.h"
#include "protocol/commands.h"
#include "protocol/log_list.h"
#include "protocol/request_block.h"
#include "records/certificate.h"
#include "records/docking_info.h"
#include "records/firmware.h"
#include "records/multi_gas.h"
#include "records/single_gas.h"

namespace ql::engine {

namespace cmd = protocol::cmd;
using protocol::DateTime;
using protocol::DeviceType;
using protocol::RequestBlock;

// Which record an answer to 0x33 is taken for.
enum class ReadTarget { FollowTab = 0, Docking = 1, Detector = 2 };

struct EngineOptions {
  // Off in tests that drive the pacer by hand.
  bool startPacerThread = true;
  link::ITrafficMonitor* monitor = nullptr;
  // The clock of the transfers' time-outs; null for the steady clock. Must outlive the engine.
  link::IClock* transferClock = nullptr;
};

// A log name travels in a 20-byte slot; a run takes at most as many names as the list holds.
using protocol::kLogSlotSize;
using protocol::LogSlot;
inline constexpr std::size_t kMaxLogSelection = protocol::kLogListSlots;

class Engine final : private link::ISerialEvents,
                     private link::IFrameDispatcher,
                     private link::IGapTimer {
 public:
  // All references must outlive the engine.
  Engine(IEngineUi& ui, ITimerHost& timers, link::IUiPoster& poster, const IWallClock& clock,
         std::unique_ptr<link::ISerialPort> port = link::MakePlatformSerialPort(),
         EngineOptions options = {});
  ~Engine() override;
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // ---- connection ----
  // The OPEN/CLOSE button: opens `devicePath` (nothing: no port selected) and asks for the
  // device type, or closes the port and resets the window.
  void OpenCloseButton(const std::optional<std::string>& devicePath);
  // Closes the port without the window reset (a front end's start-up and shutdown). The
  // operation in flight ends Aborted.
  void Disconnect();
  bool PortOpen() const { return channel_.IsConnected(); }
  ConnectionState State() const { return state_; }
  // The station's family once the device type answer has come; None before and after.
  DeviceType StationType() const { return deviceType_.load(); }

  // Called by the timer host.
  void OnTimer(int id);

  // ---- operations; each reports its end through IEngineUi::OnRequestEnded ----
  // Record pages' "Read" and "Write" in link mode.
  void PageRead(RecordType type);
  void PageWrite(RecordType type);
  // The main READ in link mode: a Read whose answer is taken for `type` whatever tab is
  // selected; a detector read goes on with the docking station record and the clock.
  void MainRead(RecordType type);
  // After a write the station reported complete: reads the record back to see what the
  // station stored. The page Read's request, but its answer goes to
  // IEngineUi::RecordReadBack instead of the page, with no message and no clock read.
  // Ends as a 0x33 operation; an answer of another size ends it Refused, quietly.
  void ReadBack(RecordType type);
  // Date and time page.
  void ReadStationClock();
  void SetStationClock(const DateTime& dateTime);
  // A record page's firmware Write in link mode: `image` has passed the page's checks
  // (records/firmware_choice.h) and carries the file's name. Sends the family's start
  // request; the station's answer starts the upload.
  void StartFirmwareWrite(RecordType page, records::FirmwareImage image);
  // Log page: "Refresh", and "Local Save" once the folder is chosen (`names` are the
  // checked rows in list order).
  void RefreshLogList();
  void SaveLogs(const std::vector<std::string>& names, const std::filesystem::path& folder);
  // Certificate page: "Refresh", and "Load" with the name of the checked row (empty: none
  // is checked).
  void RefreshCertificateList();
  void LoadCertificate(std::string_view name);
  // The certificate last loaded: all zero (gas type 0, nothing to print) before the first
  // and after ClearCertificate (the certificate tab was selected).
  const records::CertificateRecord& Certificate() const { return certificate_; }
  void ClearCertificate() { certificate_ = {}; }

  // Service page.
  void WriteSerialNumber(std::string_view serialNumber);
  void SelfTest();
  void FactoryDefault();
  void EraseFirmware();
  void EthernetLinkTest();
  void GetIpAddress();
  // Gives up the operation in flight as its response time-out does ("Send timeOut", then
  // TimedOut): a front end's last resort when an operation outlasts every time-out the
  // engine keeps (a transfer the station drags on). Nothing happens when no operation is
  // in flight.
  void AbandonRequest();

  // ---- state the pages show ----
  bool StationClockKnown() const { return stationClockKnown_; }
  // PC time minus station time, in seconds; meaningful while StationClockKnown().
  std::int64_t StationClockOffset() const { return clockOffset_; }

 private:
  friend class EngineTestAccess;

  using Handler = void (Engine::*)(const link::ReceivedFrame&);
  struct ResponseEntry {
    std::uint8_t code;
    Handler handler;
  };
  static const std::array<ResponseEntry, 20> kResponseTable;

  // An outcome recorded for the operation in flight while its own result is still to come.
  struct PendingEnd {
    RequestOutcome outcome;
    link::Status status;
  };

  // link::ISerialEvents
  void OnSerialData() override;
  void OnTransferBytes(std::span<const std::uint8_t> bytes) override;
  void OnChannelMessage(std::string_view text) override;
  void OnLineLost() override;
  // link::IFrameDispatcher
  void Dispatch(const link::ReceivedFrame& frame) override;
  // Whether `frame` is an answer the request in flight (lastCommand_) can get.
  bool BelongsToRequest(const link::ReceivedFrame& frame) const;
  // link::IGapTimer
  void RestartGapTimer() override;

  // The two halves of the OPEN/CLOSE button and the window reset after a close.
  void Connect(const std::optional<std::string>& devicePath);
  // `reason`: Ok for a close somebody asked for, otherwise why the connection ended.
  void CloseConnection(const link::Status& reason);
  void ResetAfterDisconnect();
  void SetState(ConnectionState state, const link::Status& reason = link::Status::Ok());

  // Starts a request (ending the one in flight first). Does nothing on a closed port.
  void SendCommand(std::uint8_t code, std::span<const std::uint8_t> payload);
  // Ends the request in flight.
  void StopTransmitter();

  // Operations. Begin makes `request` the operation in flight (ending another one Aborted);
  // End reports it; Refuse reports a call that starts nothing, after showing `message`.
  void BeginOperation(std::uint8_t request);
  void EndOperation(RequestOutcome outcome, link::Status status = link::Status::Ok());
  void Refuse(std::uint8_t request, link::ErrorKind kind, std::string_view message,
              bool show = true);
  // From a response handler: ends the operation only when the frame answers it.
  void EndByAnswer(RequestOutcome outcome, link::Status status = link::Status::Ok());
  void RefuseByAnswer(std::string_view message);
  // The port closes under the operation in flight: ends it now, or, when its own result
  // is still to come (`resultToCome`), records why for that result to report.
  void StopOperation(RequestOutcome outcome, link::Status status, bool resultToCome);
  // A log save run's receive is running: a close ends it, and it reports its result.
  // Taken before the close sets abortTransfer, after which the worker clears the flag.
  bool LogReceiveUnderWay() const;
  // No request, upload or save run is under way.
  bool Idle() const;
  // The give-up of a request's response time-out.
  void GiveUpRequest();

  void StartTimer(int id, std::chrono::milliseconds period);
  void KillTimer(int id);
  void UpdateConnectionControls();
  void PrepareBlock(std::int32_t target);
  std::span<std::uint8_t> Buffer(RecordType type);
  // Steps shared by a page's Read and the automatic read sequence (readTarget untouched).
  void StartRecordRead(RecordType type, bool readBack = false);
  // The automatic read of the station family's detector record (readTarget: detector).
  void StartDetectorRead();
  void OnResponseTimeout();
  void OnResendTick();
  bool TakeStationClock(const link::ReceivedFrame& frame, bool replaceEmptyDate);
  // A service request without payload on an open port.
  void SendServiceRequest(std::uint8_t code);

  // Runs `task` on the UI thread later, unless the engine is gone by then.
  void PostToUi(std::function<void(Engine&)> task);
  // Bytes that arrived behind a transfer's start answer belong to the transfer.
  void HandOverQueueToStream();
  void OnFirmwareSent(std::uint64_t upload, const link::SendOutcome& outcome);
  void EndFirmwareWorker();
  void ShowFirmwareProgress();
  void LogWorkerLoop();
  void OnLogResult(std::uint64_t run, const link::Status& result);
  void EndLogWorker();
  // Ends a transfer's operation with its result, or with why a close stopped it.
  void EndTransfer(const link::Status& result);
  // The outcome of a transfer that failed on its own with `status`.
  static RequestOutcome TransferFailure(const link::Status& status);
  class TransferObserver;
  void OnDeviceType(const link::ReceivedFrame& frame);
  void OnSerialNumberWritten(const link::ReceivedFrame& frame);
  void OnWriteReady(const link::ReceivedFrame& frame);
  void OnWriteComplete(const link::ReceivedFrame& frame);
  void OnWriteFail(const link::ReceivedFrame& frame);
  void OnReadData(const link::ReceivedFrame& frame);
  void OnReadBack(const link::ReceivedFrame& frame);
  void OnLogList(const link::ReceivedFrame& frame);
  void OnLogFileStart(const link::ReceivedFrame& frame);
  void OnCertificateList(const link::ReceivedFrame& frame);
  void OnCertificateData(const link::ReceivedFrame& frame);
  void OnFirmwareStart(const link::ReceivedFrame& frame);
  void OnClockSet(const link::ReceivedFrame& frame);
  void OnClockRead(const link::ReceivedFrame& frame);
  void OnFirmwareErased(const link::ReceivedFrame& frame);
  void OnFactoryDefault(const link::ReceivedFrame& frame);
  void OnSelfTestDone(const link::ReceivedFrame& frame);
  void OnEthernetLinkTest(const link::ReceivedFrame& frame);
  void OnIpAddress(const link::ReceivedFrame& frame);

  IEngineUi& ui_;
  ITimerHost& timers_;
  const IWallClock& clock_;
  link::ITrafficMonitor* monitor_;

  link::IUiPoster& poster_;
  link::SharedFlags flags_;
  // Holds abortTransfer: set, every transfer wait ends at once.
  link::TransferStream stream_;
  std::atomic<bool> sendBusy_{false};
  std::atomic<DeviceType> deviceType_{DeviceType::None};

  link::CSerialChannel channel_;
  link::FrameParser parser_;
  link::TransmitBuffer transmit_{};
  link::FramePacer pacer_;  // after channel_: stops before the channel goes

  ConnectionState state_ = ConnectionState::Closed;
  // The operation in flight (the code of the request that started it), and a recorded end.
  std::optional<std::uint8_t> operation_;
  std::optional<PendingEnd> pendingEnd_;
  // Set while a handler runs for a frame that answers the operation in flight.
  bool answeringOperation_ = false;

  std::uint8_t lastCommand_ = 0;
  int resendCounter_ = 0;
  std::uint8_t timeoutTicks_ = 0;
  ReadTarget readTarget_ = ReadTarget::FollowTab;
  // The target of the last read whose answer was taken.
  std::optional<std::int32_t> answeredReadTarget_;
  bool readSequencePending_ = false;
  // The read in flight was started by ReadBack, for this record.
  bool readBack_ = false;
  RecordType readBackType_ = RecordType::Docking;
  bool stationClockKnown_ = false;
  std::int64_t clockOffset_ = 0;
  RequestBlock block_;

  std::array<std::uint8_t, records::kDockingInfoSize> docking_{};
  std::array<std::uint8_t, records::kSingleGasOptionSize> singleGas_{};
  std::array<std::uint8_t, records::kMultiGasOptionSize> multiGas_{};
  records::CertificateRecord certificate_;

  // Transfers. The YMODEM engine runs on one worker at a time; its observer posts to the UI.
  std::unique_ptr<TransferObserver> observer_;
  link::CYmodem ymodem_;
  // Lets posted tasks find out that the engine is gone.
  std::shared_ptr<Engine*> self_;

  // Firmware upload: the image, its send worker, and the upload it belongs to.
  records::FirmwareImage firmware_;
  std::thread firmwareWorker_;
  std::uint64_t firmwareUpload_ = 0;
  bool rateActive_ = false;
  std::uint32_t ackShown_ = 0;

  // Log download. The worker waits for `logReceiveArmed` under logMutex_.
  std::mutex logMutex_;
  std::condition_variable logWake_;
  bool logWorkerStop_ = false;         // guarded by logMutex_
  std::vector<LogSlot> logSelection_;  // guarded by logMutex_ while a worker runs
  std::filesystem::path logFolder_;    // guarded by logMutex_ while a worker runs
  std::atomic<std::size_t> logFileIndex_{0};
  std::uint64_t logRun_ = 0;   // UI thread
  bool logRunActive_ = false;  // UI thread
  std::thread logWorker_;
};

}  // namespace ql::engine
