#include "app/qt_timer_host.h"

#include <QTimer>

namespace ql::app {

void QtTimerHost::StartTimer(int id, std::chrono::milliseconds period) {
  KillTimer(id);
  auto* timer = new QTimer(this);
  timer->setTimerType(Qt::PreciseTimer);
  connect(timer, &QTimer::timeout, this, [this, id] {
    if (m_onTimer) m_onTimer(id);
  });
  timer->start(period);
  m_timers[id] = timer;
}

void QtTimerHost::KillTimer(int id) {
  auto it = m_timers.find(id);
  if (it == m_timers.end()) return;
  // The timer may be the one whose timeout is running now: stop it, delete it later.
  it->second->stop();
  it->second->deleteLater();
  m_timers.erase(it);
}

}  // namespace ql::app
