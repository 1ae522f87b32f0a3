#pragma once
// The engine's window timers on a headless event loop (the command-line tool).

#include <functional>
#include <map>

#include "engine/timer_host.h"
#include "link/event_loop.h"

namespace ql::engine {

class EventLoopTimerHost final : public ITimerHost {
 public:
  // `loop` must outlive the host; `onTimer` runs on the loop's thread.
  explicit EventLoopTimerHost(link::EventLoop& loop) : loop_(loop) {}
  ~EventLoopTimerHost() override {
    for (const auto& [id, loopId] : running_) loop_.KillTimer(loopId);
  }

  void SetTarget(std::function<void(int)> onTimer) { onTimer_ = std::move(onTimer); }

  void StartTimer(int id, std::chrono::milliseconds period) override {
    KillTimer(id);
    running_[id] = loop_.StartTimer(period, [this, id] {
      if (onTimer_) onTimer_(id);
    });
  }
  void KillTimer(int id) override {
    if (auto it = running_.find(id); it != running_.end()) {
      loop_.KillTimer(it->second);
      running_.erase(it);
    }
  }

 private:
  link::EventLoop& loop_;
  std::function<void(int)> onTimer_;
  std::map<int, link::EventLoop::TimerId> running_;
};

}  // namespace ql::engine
