#pragma once
// The serial port to the docking station, its watch thread and its receive queue.
//
// Threads: Open, Close and the queue's consumer side belong to the UI thread. The watch
// thread reads the port, fills the queue and then hands the UI thread one serial-data
// notification per burst, waiting until it has been handled, so it never adds bytes while
// the UI thread drains. Write may be called from one other thread at a time (the pacer,
// or a transfer worker while the pacer is stopped).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "link/byte_writer.h"
#include "link/event_loop.h"
#include "link/rx_ring.h"
#include "link/serial_port.h"
#include "link/shared_flags.h"

namespace ql::link {

// What the channel tells its owner. OnSerialData, OnChannelMessage and OnLineLost run on
// the UI thread (through the poster). OnTransferBytes runs on the watch thread and must be
// thread-safe: it feeds the transfer stream while a firmware upload or log download runs.
class ISerialEvents {
 public:
  virtual ~ISerialEvents() = default;
  virtual void OnSerialData() = 0;
  virtual void OnTransferBytes(std::span<const std::uint8_t> bytes) = 0;
  virtual void OnChannelMessage(std::string_view text) = 0;
  // The device went away while open; the channel has stopped its watch thread.
  virtual void OnLineLost() = 0;
};

class CSerialChannel final : public IByteWriter {
 public:
  static constexpr std::size_t kStagingSize = 8192;

  // `flags`, `events` and `poster` must outlive the channel.
  CSerialChannel(SharedFlags& flags, ISerialEvents& events, IUiPoster& poster,
                 std::unique_ptr<ISerialPort> port = MakePlatformSerialPort());
  ~CSerialChannel() override;
  CSerialChannel(const CSerialChannel&) = delete;
  CSerialChannel& operator=(const CSerialChannel&) = delete;

  // Opens `path` with the line settings and starts the watch thread. On failure the
  // channel stays closed and the status says why (the OS message included); LastError()
  // keeps it.
  Status Open(const std::string& path, const LineSettings& line);
  // Stops the watch thread (it ends without a further notification) and closes the port.
  // Safe to call from a notification handler.
  void Close();
  bool IsConnected() const { return connected_.load(); }

  // Returns the count written; 0 without writing when the channel is closed.
  std::size_t Write(std::span<const std::uint8_t> bytes);
  // As Write, but gives up after `limit` when the line does not take the bytes.
  std::size_t WriteWithin(std::span<const std::uint8_t> bytes,
                          std::chrono::milliseconds limit) override;

  RxRing& Queue() { return queue_; }
  // An overflow of the receive queue is reported once ("buff full") and then only counted
  // until the owner re-arms the report, typically when it starts its next request: a
  // flooding line would otherwise bury the user in messages. Any thread.
  void RearmOverflowReport() { overflowReported_.store(false); }
  std::uint64_t DroppedChunks() const { return droppedChunks_.load(); }
  const std::string& PortName() const { return portName_; }
  const Status& LastError() const { return lastError_; }

 private:
  struct NotifyState;
  void WatchLoop(std::uint64_t generation);
  void Route(std::span<const std::uint8_t> chunk);
  void NotifyAndWait(std::uint64_t generation);
  void PostMessage(std::string text);
  void JoinWatchThread();

  SharedFlags& flags_;
  ISerialEvents& events_;
  IUiPoster& poster_;
  std::unique_ptr<ISerialPort> port_;
  std::shared_ptr<NotifyState> notify_;

  std::atomic<bool> connected_{false};
  std::atomic<std::uint64_t> generation_{0};
  std::shared_mutex portMutex_;  // writers share it; closing the port takes it whole
  std::thread watch_;
  std::atomic<bool> closeDeferred_{false};
  std::string portName_;
  Status lastError_;
  RxRing queue_;
  std::atomic<bool> overflowReported_{false};
  std::atomic<std::uint64_t> droppedChunks_{0};
  std::array<std::uint8_t, kStagingSize> staging_{};  // watch thread only
};

}  // namespace ql::link
