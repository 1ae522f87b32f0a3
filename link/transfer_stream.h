#pragma once
// The input side of a file transfer: the bytes the watch thread receives while a firmware
// upload or a log download runs, queued for the transfer thread, which takes them with
// time-outs. The stream also owns `abortTransfer`: while it is set every wait ends at once.
//
// Threads: Feed, SetAbort, ClearAbort, AbortRequested and Purge may be called from any
// thread. The Take/Read/WaitForData family belongs to one reader thread at a time (the
// transfer thread). Waits block on a condition variable and measure time on the clock
// given at construction, so tests drive the time-outs with a VirtualClock.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>

#include "link/clock.h"

namespace ql::link {

enum class WaitStatus {
  Ready,    // the byte or bytes were taken
  Timeout,  // the deadline passed with nothing to take
  Aborted,  // abortTransfer is set
};

class TransferStream final : public IClockClient {
 public:
  using TimePoint = IClock::TimePoint;

  // Bytes held before the oldest are dropped. A transfer reads a block at a time, so only
  // stale input from a stalled reader can come near this.
  static constexpr std::size_t kDefaultCapacity = 64 * 1024;

  // `clock` must outlive the stream.
  explicit TransferStream(IClock& clock = SteadyClock::Instance(),
                          std::size_t capacity = kDefaultCapacity);
  ~TransferStream() override;
  TransferStream(const TransferStream&) = delete;
  TransferStream& operator=(const TransferStream&) = delete;

  IClock& Clock() const { return clock_; }

  // Appends received bytes and wakes the reader. When the capacity would be exceeded the
  // oldest bytes are dropped.
  void Feed(std::span<const std::uint8_t> bytes);
  // Drops everything received so far.
  void Purge();
  std::size_t Available() const;

  // abortTransfer. Setting it wakes every wait; while it is set every wait returns
  // Aborted at once (even with bytes waiting). Purge and Feed leave it alone.
  void SetAbort();
  void ClearAbort();
  bool AbortRequested() const;

  // Takes the next byte, waiting until `deadline` on the stream's clock.
  WaitStatus Take(std::uint8_t& byte, TimePoint deadline);
  // Takes as many bytes as are waiting, up to out.size(), after waiting until `deadline`
  // for at least one. `taken` is the count (0 unless Ready).
  WaitStatus ReadSome(std::span<std::uint8_t> out, std::size_t& taken, TimePoint deadline);
  // Waits until `deadline` for a byte to be waiting, without taking it.
  WaitStatus WaitForData(TimePoint deadline);

  // IClockClient: the clock's side, for a virtual clock.
  void OnClockAdvanced() override;
  std::optional<TimePoint> BlockedUntil(std::uint64_t& version) override;

 private:
  // Waits for data, abort or the deadline with `lock` held on mutex_.
  WaitStatus WaitLocked(std::unique_lock<std::mutex>& lock, TimePoint deadline);

  IClock& clock_;
  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::uint8_t> bytes_;  // guarded by mutex_
  bool abort_ = false;              // guarded by mutex_
  bool readerWaiting_ = false;      // guarded by mutex_
  TimePoint readerDeadline_{};      // guarded by mutex_
  std::uint64_t version_ = 0;       // guarded by mutex_; see BlockedUntil
};

}  // namespace ql::link
