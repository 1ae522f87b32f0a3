#pragma once
// The engine's window timers on a virtual clock: Advance() fires them in time order on the
// calling thread, so a 20-second time-out is tested without waiting for it.

#include <chrono>
#include <functional>
#include <map>

#include "engine/timer_host.h"

namespace ql::testsupport {

// Timers on a virtual clock: Advance() fires them in time order on the calling thread.
class VirtualTimerHost final : public engine::ITimerHost {
 public:
  void SetTarget(std::function<void(int)> target) { target_ = std::move(target); }
  void StartTimer(int id, std::chrono::milliseconds period) override {
    timers_[id] = {period, now_ + period};
  }
  void KillTimer(int id) override { timers_.erase(id); }
  bool Running(int id) const { return timers_.count(id) > 0; }

  void Advance(std::chrono::milliseconds span) {
    const auto end = now_ + span;
    for (;;) {
      auto next = timers_.end();
      for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.due <= end && (next == timers_.end() || it->second.due < next->second.due)) {
          next = it;
        }
      }
      if (next == timers_.end()) break;
      now_ = next->second.due;
      next->second.due += next->second.period;
      target_(next->first);
    }
    now_ = end;
  }
  std::chrono::milliseconds Now() const { return now_; }

 private:
  struct Timer {
    std::chrono::milliseconds period;
    std::chrono::milliseconds due;
  };
  std::map<int, Timer> timers_;
  std::chrono::milliseconds now_{0};
  std::function<void(int)> target_;
};

}  // namespace ql::testsupport
