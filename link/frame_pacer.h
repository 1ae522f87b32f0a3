#pragma once
// Puts the current request frame on the line one byte per tick (every 2 ms), over and
// over, while no answer byte has been seen (`rxActivity` clear).
//
// Start, Stop and Tick may be called from any thread; the pacer serialises them. The
// ticking thread exists only after StartThread(); tests can leave it off and call Tick().

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>

#include "link/byte_writer.h"
#include "link/frame.h"

namespace ql::link {

class FramePacer {
 public:
  static constexpr std::chrono::milliseconds kPeriod{2};
  // A line that takes no byte for this long is not waited on: Stop must stay prompt.
  static constexpr std::chrono::milliseconds kWriteLimit{100};

  FramePacer(IByteWriter& out, const std::atomic<bool>& rxActivity);
  ~FramePacer();
  FramePacer(const FramePacer&) = delete;
  FramePacer& operator=(const FramePacer&) = delete;

  // Starts the 2 ms ticking thread (idle, without CPU use, while the pacer is stopped).
  void StartThread();
  // Copies the frame and starts sending it from its STX. An empty frame stops the pacer.
  void Start(std::span<const std::uint8_t> frame);
  // Stops sending; when Stop returns no further byte of the frame goes out.
  void Stop();
  bool Running() const { return running_.load(); }
  // One tick: writes the next byte unless stopped or paused by `rxActivity`.
  void Tick();

 private:
  void ThreadLoop();

  IByteWriter& out_;
  const std::atomic<bool>& rxActivity_;
  std::mutex mutex_;  // guards the frame and the position, and is held through a write
  std::condition_variable changed_;
  TransmitBuffer frame_{};
  std::size_t size_ = 0;
  std::size_t position_ = 0;
  std::atomic<bool> running_{false};
  bool shutdown_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace ql::link
