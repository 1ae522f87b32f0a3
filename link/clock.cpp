#include "link/clock.h"

#include <algorithm>

namespace ql::link {

SteadyClock& SteadyClock::Instance() {
  static SteadyClock clock;
  return clock;
}

// Starts well away from the epoch so that "deadline minus a few seconds" never underflows.
VirtualClock::VirtualClock() : now_(TimePoint{} + std::chrono::hours(24)) {}

IClock::TimePoint VirtualClock::Now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

void VirtualClock::WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                             TimePoint deadline) {
  {
    std::lock_guard own(mutex_);
    if (now_ >= deadline) return;
    ++waitsEntered_;
  }
  waitEntered_.notify_all();
  // Woken by the client's own notify (data, abort) or by Advance through OnClockAdvanced.
  cv.wait(lock);
}

void VirtualClock::AddClient(IClockClient& client) {
  std::lock_guard lock(clientsMutex_);
  clients_.push_back(&client);
}

void VirtualClock::RemoveClient(IClockClient& client) {
  std::lock_guard lock(clientsMutex_);
  clients_.erase(std::remove(clients_.begin(), clients_.end(), &client), clients_.end());
}

void VirtualClock::Advance(Duration step) {
  {
    std::lock_guard lock(mutex_);
    now_ += std::max(step, Duration::zero());
  }
  std::lock_guard lock(clientsMutex_);
  for (IClockClient* client : clients_) client->OnClockAdvanced();
}

std::optional<IClock::TimePoint> VirtualClock::AllBlockedUntil(
    std::span<IClockClient* const> participants) {
  // Under clientsMutex_ so that a participant cannot unregister (and die) meanwhile.
  std::lock_guard lock(clientsMutex_);
  if (participants.empty()) return std::nullopt;
  std::optional<TimePoint> earliest;
  std::vector<std::uint64_t> versions(participants.size());
  for (std::size_t i = 0; i < participants.size(); ++i) {
    IClockClient* client = participants[i];
    if (std::find(clients_.begin(), clients_.end(), client) == clients_.end()) {
      return std::nullopt;
    }
    const std::optional<TimePoint> until = client->BlockedUntil(versions[i]);
    if (!until) return std::nullopt;
    if (!earliest || *until < *earliest) earliest = until;
  }
  // The readings above are taken one after the other: a reader seen blocked may have been
  // fed by one seen later. Unchanged versions on a second look prove that all of them were
  // blocked at the same moment.
  for (std::size_t i = 0; i < participants.size(); ++i) {
    std::uint64_t again = 0;
    if (!participants[i]->BlockedUntil(again) || again != versions[i]) return std::nullopt;
  }
  return earliest;
}

std::optional<IClock::Duration> VirtualClock::AdvanceWhenIdle(
    std::span<IClockClient* const> participants, std::chrono::milliseconds realLimit,
    Duration maxStep) {
  const auto end = std::chrono::steady_clock::now() + realLimit;
  for (;;) {
    std::uint64_t seen = 0;
    {
      std::lock_guard lock(mutex_);
      seen = waitsEntered_;
    }
    if (const std::optional<TimePoint> until = AllBlockedUntil(participants)) {
      const Duration step = std::min(std::max(*until - Now(), Duration::zero()), maxStep);
      Advance(step);
      return step;
    }
    // Not all blocked yet: wait for the next reader to start waiting. The short real-time
    // bound covers a reader that finishes its work without waiting again.
    std::unique_lock lock(mutex_);
    const auto wakeAt =
        std::min(end, std::chrono::steady_clock::now() + std::chrono::milliseconds(2));
    waitEntered_.wait_until(lock, wakeAt, [&] { return waitsEntered_ != seen; });
    if (std::chrono::steady_clock::now() >= end) return std::nullopt;
  }
}

}  // namespace ql::link
