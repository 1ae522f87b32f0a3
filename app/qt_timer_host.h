#pragma once
// The engine's window timers on Qt timers. GUI thread only.

#include <QObject>
#include <chrono>
#include <functional>
#include <map>

#include "engine/timer_host.h"

class QTimer;

namespace ql::app {

class QtTimerHost final : public QObject, public engine::ITimerHost {
  Q_OBJECT
 public:
  explicit QtTimerHost(QObject* parent = nullptr) : QObject(parent) {}
  // `onTimer` gets the id of every timer that fires.
  void SetTarget(std::function<void(int)> onTimer) { m_onTimer = std::move(onTimer); }

  void StartTimer(int id, std::chrono::milliseconds period) override;
  void KillTimer(int id) override;
  bool Running(int id) const { return m_timers.count(id) != 0; }

 private:
  std::function<void(int)> m_onTimer;
  std::map<int, QTimer*> m_timers;
};

}  // namespace ql::app
