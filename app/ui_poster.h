#pragma once
// Runs tasks from the engine's threads (watch thread, workers) on the GUI thread.
//
// Tasks wait in a mutex-guarded queue and the GUI thread is woken through an eventfd that
// a QSocketNotifier watches. The hand-over is a mutex and a system call, both visible to
// ThreadSanitizer; a queued invokeMethod across threads goes through Qt's own
// (uninstrumented) event queue and shows false races.
//
// Post() is thread-safe. Construct and destroy on the GUI thread. Tasks still queued when
// the poster is destroyed are dropped (their owners are gone by then).

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

#include "link/event_loop.h"

class QSocketNotifier;

namespace ql::app {

class UiPoster final : public QObject, public link::IUiPoster {
  Q_OBJECT
 public:
  explicit UiPoster(QObject* parent = nullptr);
  ~UiPoster() override;

  void Post(std::function<void()> task) override;
  // Runs every task queued now (the notifier does this; tests may too).
  void RunPending();

 private:
  int m_eventFd = -1;
  QSocketNotifier* m_notifier = nullptr;
  std::mutex m_mutex;
  std::deque<std::function<void()>> m_tasks;  // guarded by m_mutex
};

}  // namespace ql::app
