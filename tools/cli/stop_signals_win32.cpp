#include <windows.h>

#include <mutex>
#include <string>
#include <utility>

#include "tools/cli/stop_signals.h"

namespace ql::cli {
namespace {

// The console events by the numbers the tool reports them with.
constexpr int kCtrlC = 2;       // as SIGINT
constexpr int kCtrlBreak = 21;  // as SIGBREAK
constexpr int kClose = 15;      // as SIGTERM

std::mutex gMutex;
link::IUiPoster* gLoop = nullptr;    // guarded by gMutex
std::function<void(int)> gOnSignal;  // guarded by gMutex

BOOL WINAPI OnConsoleEvent(DWORD event) {
  int signal = 0;
  switch (event) {
    case CTRL_C_EVENT:
      signal = kCtrlC;
      break;
    case CTRL_BREAK_EVENT:
      signal = kCtrlBreak;
      break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      signal = kClose;
      break;
    default:
      return FALSE;
  }
  std::lock_guard lock(gMutex);
  if (gLoop == nullptr) return FALSE;  // ends the program as it would without us
  gLoop->Post([onSignal = gOnSignal, signal] { onSignal(signal); });
  return TRUE;
}

}  // namespace

StopSignals::StopSignals(link::IUiPoster& loop, std::function<void(int signal)> onSignal) {
  {
    std::lock_guard lock(gMutex);
    gLoop = &loop;
    gOnSignal = std::move(onSignal);
  }
  active_ = ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
  if (!active_) {
    std::lock_guard lock(gMutex);
    gLoop = nullptr;
    gOnSignal = nullptr;
  }
}

StopSignals::~StopSignals() {
  if (active_) ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  std::lock_guard lock(gMutex);
  gLoop = nullptr;
  gOnSignal = nullptr;
}

std::string StopSignals::Name(int signal) {
  switch (signal) {
    case kCtrlC:
      return "Ctrl+C";
    case kCtrlBreak:
      return "Ctrl+Break";
    case kClose:
      return "the console closing";
    default:
      return "signal " + std::to_string(signal);
  }
}

}  // namespace ql::cli
