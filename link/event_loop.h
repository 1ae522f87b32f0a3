#pragma once
// The UI thread of a headless front end (the command-line tool, the tests): a task queue
// that other threads post into, plus repeating timers on the steady clock.
//
// Post() is thread-safe. Everything else is for the thread that runs the loop.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace ql::link {

// Runs a function on the UI thread, asynchronously. Thread-safe.
class IUiPoster {
 public:
  virtual ~IUiPoster() = default;
  virtual void Post(std::function<void()> task) = 0;
};

class EventLoop : public IUiPoster {
 public:
  using Clock = std::chrono::steady_clock;
  using TimerId = std::uint64_t;

  void Post(std::function<void()> task) override;

  // Runs tasks and due timers until `done` returns true (checked after each event) or
  // `limit` has passed. Returns done().
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  // Runs whatever is ready now without waiting.
  void RunPending();

  // Repeating timer; the first call comes one period from now.
  TimerId StartTimer(std::chrono::milliseconds period, std::function<void()> callback);
  void KillTimer(TimerId id);

 private:
  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
    std::function<void()> callback;
  };

  // Runs one due timer or one task; returns false when nothing was ready.
  bool RunOne();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;  // guarded by mutex_
  std::map<TimerId, Timer> timers_;          // UI thread only
  TimerId nextTimer_ = 1;
};

}  // namespace ql::link
