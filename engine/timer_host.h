#pragma once
// The window timers of the engine. The host calls Engine::OnTimer(id) on the UI thread
// every period until the timer is killed. A Qt window implements it with QTimer, the
// command-line tool with its event loop, the tests with a virtual clock.

#include <chrono>

namespace ql::engine {

namespace timer {
inline constexpr int kResponse = 0;        // 500 ms: time-out of requests of 12 bytes or more
inline constexpr int kResend = 2;          // 200 ms: resend and time-out of short requests
inline constexpr int kFirmware = 3;        // 3000 ms: started with a firmware upload
inline constexpr int kLogWatchdog = 5;     // 10 000 ms: log download watchdog
inline constexpr int kParserGap = 6;       // 500 ms: inter-byte gap of the frame parser
inline constexpr int kClockDisplay = 111;  // 500 ms: station clock display
}  // namespace timer

class ITimerHost {
 public:
  virtual ~ITimerHost() = default;
  // (Re)starts timer `id`; a running timer of the same id starts over.
  virtual void StartTimer(int id, std::chrono::milliseconds period) = 0;
  virtual void KillTimer(int id) = 0;
};

}  // namespace ql::engine
