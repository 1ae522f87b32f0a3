#include "link/event_loop.h"

namespace ql::link {

void EventLoop::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

EventLoop::TimerId EventLoop::StartTimer(std::chrono::milliseconds period,
                                         std::function<void()> callback) {
  const TimerId id = nextTimer_++;
  timers_[id] = Timer{period, Clock::now() + period, std::move(callback)};
  return id;
}

void EventLoop::KillTimer(TimerId id) {
  timers_.erase(id);
}

bool EventLoop::RunOne() {
  const auto now = Clock::now();
  for (auto& [id, timer] : timers_) {
    if (timer.due <= now) {
      timer.due = now + timer.period;
      auto callback = timer.callback;  // the callback may kill or restart its own timer
      callback();
      return true;
    }
  }
  std::function<void()> task;
  {
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return false;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  task();
  return true;
}

void EventLoop::RunPending() {
  while (RunOne()) {
  }
}

bool EventLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (!done()) {
    if (RunOne()) continue;
    auto until = end;
    for (const auto& [id, timer] : timers_) until = std::min(until, timer.due);
    if (Clock::now() >= end) return done();
    std::unique_lock lock(mutex_);
    wake_.wait_until(lock, until, [this] { return !tasks_.empty(); });
  }
  return true;
}

}  // namespace ql::link
