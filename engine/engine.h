#pragma once
// The command engine: requests and their pacing, time-outs and resends, the response
// table and its handlers, and the connection lifecycle. It owns the serial channel, the
// frame parser, the pacer and the record buffers.
//
// Threads: every public member is for the UI thread (the thread that runs the poster's
// tasks and the timer host's callbacks), except where noted. The engine never touches a
// widget; what it does to the window goes through IEngineUi.

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
#include "records/docking_info.h"
#include "records/firmware.h"
#include "records/multi_gas.h"
#include "records/single_gas.h"

namespace ql::engine {

namespace cmd = protocol::cmd;
namespace device = protocol::device;
using protocol::DateTime;
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

  // The OPEN/CLOSE button. `devicePath` is the selected port, or nothing.
  void OpenCloseButton(const std::optional<std::string>& devicePath);
  void Connect(const std::optional<std::string>& devicePath);
  void Disconnect();
  void ResetAfterDisconnect();
  bool PortOpen() const { return channel_.IsConnected(); }

  // Starts a request (ending the one in flight first). Does nothing on a closed port.
  void SendCommand(std::uint8_t code, std::span<const std::uint8_t> payload);
  // Ends the request in flight.
  void StopTransmitter();
  // Called by the timer host.
  void OnTimer(int id);

  // Record pages' "Read" and "Write" in link mode.
  void PageRead(RecordType type);
  void PageWrite(RecordType type);
  // Date and time page.
  void ReadStationClock();
  void SetStationClock(const DateTime& dateTime);
  // A record page's firmware Write in link mode: `image` has passed the page's checks
  // (file name and container) and carries the file's name. Sends the family's start
  // request; the station's answer starts the upload.
  void StartFirmwareWrite(RecordType page, records::FirmwareImage image);
  bool FirmwareUploadRunning() const { return firmwareWorker_.joinable(); }

  // Log page: "Refresh", and "Local Save" once the folder is chosen (`names` are the
  // checked rows in list order).
  void RefreshLogList();
  void SaveLogs(const std::vector<std::string>& names, const std::filesystem::path& folder);
  bool LogSaveRunning() const { return logRunActive_; }
  // Why the last transfer failed, for front ends that can say more than the message.
  const std::string& LastTransferError() const { return lastTransferError_; }

  // Service page.
  void WriteSerialNumber(std::string_view serialNumber);
  void SelfTest();
  void FactoryDefault() { SendCommand(cmd::kFactoryDefault, {}); }
  void EraseFirmware() { SendCommand(cmd::kEraseFirmware, {}); }
  void EthernetLinkTest() { SendCommand(cmd::kEthernetLinkTest, {}); }
  void GetIpAddress() { SendCommand(cmd::kIpAddress, {}); }

  int DeviceType() const { return deviceType_.load(); }
  std::uint8_t LastCommand() const { return lastCommand_; }
  ReadTarget CurrentReadTarget() const { return readTarget_; }
  bool StationClockKnown() const { return stationClockKnown_; }
  // PC time minus station time, in seconds; meaningful while StationClockKnown().
  std::int64_t StationClockOffset() const { return clockOffset_; }
  const RequestBlock& Block() const { return block_; }
  std::span<const std::uint8_t> Record(RecordType type) const;
  link::SharedFlags& Flags() { return flags_; }
  bool TransferAborted() const { return stream_.AbortRequested(); }
  // The transfers' input, for tests that move a virtual clock while a worker waits.
  link::TransferStream& Stream() { return stream_; }
  link::FramePacer& Pacer() { return pacer_; }
  const link::CSerialChannel& Channel() const { return channel_; }

 private:
  using Handler = void (Engine::*)(const link::ReceivedFrame&);
  struct ResponseEntry {
    std::uint8_t code;
    Handler handler;
  };
  static const std::array<ResponseEntry, 20> kResponseTable;

  // link::ISerialEvents
  void OnSerialData() override;
  void OnTransferBytes(std::span<const std::uint8_t> bytes) override;
  void OnChannelMessage(std::string_view text) override;
  void OnLineLost() override;
  // link::IFrameDispatcher
  bool Dispatch(const link::ReceivedFrame& frame) override;
  // link::IGapTimer
  void RestartGapTimer() override;

  void StartTimer(int id, std::chrono::milliseconds period);
  void KillTimer(int id);
  void UpdateConnectionControls();
  void PrepareBlock(std::int32_t target);
  std::span<std::uint8_t> Buffer(RecordType type);
  // Steps shared by a page's Read and the automatic read sequence (readTarget untouched).
  void StartRecordRead(RecordType type);
  // The automatic read of the station family's detector record (readTarget: detector).
  void StartDetectorRead();
  void OnResponseTimeout();
  void OnResendTick();
  bool TakeStationClock(const link::ReceivedFrame& frame, bool replaceEmptyDate);

  // Runs `task` on the UI thread later, unless the engine is gone by then.
  void PostToUi(std::function<void(Engine&)> task);
  // Bytes that arrived behind a transfer's start answer belong to the transfer.
  void HandOverQueueToStream();
  void OnFirmwareSent(std::uint64_t upload, const link::SendOutcome& outcome);
  void EndFirmwareWorker();
  void ShowFirmwareProgress();
  void LogWorkerLoop();
  void OnLogResult(std::uint64_t run, bool ok);
  void EndLogWorker();
  class TransferObserver;
  void OnDeviceType(const link::ReceivedFrame& frame);
  void OnSerialNumberWritten(const link::ReceivedFrame& frame);
  void OnWriteReady(const link::ReceivedFrame& frame);
  void OnWriteComplete(const link::ReceivedFrame& frame);
  void OnWriteFail(const link::ReceivedFrame& frame);
  void OnReadData(const link::ReceivedFrame& frame);
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
  std::atomic<int> deviceType_{device::kNone};
  int activeDeviceType_ = device::kNone;

  link::CSerialChannel channel_;
  link::FrameParser parser_;
  link::TransmitBuffer transmit_{};
  link::FramePacer pacer_;  // after channel_: stops before the channel goes

  std::uint8_t lastCommand_ = 0;
  int resendCounter_ = 0;
  std::uint8_t timeoutTicks_ = 0;
  bool justOpened_ = false;
  ReadTarget readTarget_ = ReadTarget::FollowTab;
  bool readSequencePending_ = false;
  bool stationClockKnown_ = false;
  std::int64_t clockOffset_ = 0;
  std::time_t requestStart_ = 0;
  RequestBlock block_;

  std::array<std::uint8_t, records::kDockingInfoSize> docking_{};
  std::array<std::uint8_t, records::kSingleGasOptionSize> singleGas_{};
  std::array<std::uint8_t, records::kMultiGasOptionSize> multiGas_{};

  // Transfers. The YMODEM engine runs on one worker at a time; its observer posts to the UI.
  std::unique_ptr<TransferObserver> observer_;
  link::CYmodem ymodem_;
  std::string lastTransferError_;
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
