#pragma once
// The time base of the transfer waits. Production code uses the steady clock; tests use a
// virtual clock that only moves when told to, so a 10 s time-out is checked in microseconds
// without sleeping through it.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace ql::link {

// Something that blocks on a clock: the clock calls it back when its time jumps, and a
// virtual clock asks it whether its reader is idle. Implemented by TransferStream.
class IClockClient {
 public:
  virtual ~IClockClient() = default;
  // The clock's time has moved on: wake every waiter so it re-checks its deadline.
  virtual void OnClockAdvanced() = 0;
  // The deadline of a reader that is blocked with nothing to read (and no abort), or
  // nothing when no reader is blocked. `version` changes whenever bytes arrive or a wait
  // ends, so that two equal readings show the reader stayed blocked in between. Only a
  // virtual clock asks.
  virtual std::optional<std::chrono::steady_clock::time_point> BlockedUntil(
      std::uint64_t& version) = 0;
};

// Thread safety: every member may be called from any thread.
class IClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Duration = std::chrono::steady_clock::duration;

  virtual ~IClock() = default;
  virtual TimePoint Now() const = 0;
  // Blocks on `cv` (whose mutex `lock` holds) until it is notified or the clock reaches
  // `deadline`. May return early; the caller re-checks its condition and the deadline.
  virtual void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                         TimePoint deadline) = 0;
  // A client registers for the lifetime of its waits; it must unregister before it dies.
  virtual void AddClient(IClockClient& client) = 0;
  virtual void RemoveClient(IClockClient& client) = 0;
};

// std::chrono::steady_clock. Clients need no call-backs: real time moves by itself.
class SteadyClock final : public IClock {
 public:
  static SteadyClock& Instance();
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
  void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                 TimePoint deadline) override {
    cv.wait_until(lock, deadline);
  }
  void AddClient(IClockClient&) override {}
  void RemoveClient(IClockClient&) override {}
};

// A clock that stands still until Advance(). Advancing wakes every registered client's
// waiters at once. Lock order: client lock, then the clock's own lock; the clock never
// holds its own lock while it calls a client.
class VirtualClock final : public IClock {
 public:
  VirtualClock();

  TimePoint Now() const override;
  void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                 TimePoint deadline) override;
  void AddClient(IClockClient& client) override;
  void RemoveClient(IClockClient& client) override;

  // Moves the time on by `step` (not negative) and wakes every waiter.
  void Advance(Duration step);

  // For tests that run transfers in virtual time: waits (in real time, at most
  // `realLimit`) until every one of `participants` (registered clients whose readers are
  // still running) has a reader blocked with nothing to read, then moves the time to the
  // earliest of their deadlines, capped at `maxStep`. Returns the step taken, or nothing
  // when they did not all block within `realLimit`.
  std::optional<Duration> AdvanceWhenIdle(std::span<IClockClient* const> participants,
                                          std::chrono::milliseconds realLimit,
                                          Duration maxStep = std::chrono::hours(1));

 private:
  std::optional<TimePoint> AllBlockedUntil(std::span<IClockClient* const> participants);

  mutable std::mutex mutex_;
  std::condition_variable waitEntered_;
  TimePoint now_;
  std::uint64_t waitsEntered_ = 0;  // bumped whenever a reader starts waiting

  std::mutex clientsMutex_;  // taken before any client lock, never under mutex_
  std::vector<IClockClient*> clients_;
};

}  // namespace ql::link
