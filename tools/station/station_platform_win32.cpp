#include <windows.h>

#include <mutex>
#include <ostream>
#include <utility>

#include "tools/station/station_platform.h"

namespace ql::station {
namespace {

std::mutex gMutex;
std::function<void()> gOnStop;  // guarded by gMutex; empty once called

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT: {
      std::lock_guard lock(gMutex);
      const std::function<void()> onStop = std::exchange(gOnStop, nullptr);
      if (onStop) onStop();
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

std::unique_ptr<OwnLine> OpenOwnLine(std::string& error, std::ostream&) {
  error =
      "a line of its own needs a pseudo-terminal (Linux); on Windows name one port of a "
      "virtual COM port pair with --device COMn";
  return nullptr;
}

// The console calls the handler on a thread of its own, which is the waiter here.
StopRequests::StopRequests(std::function<void()> onStop) {
  {
    std::lock_guard lock(gMutex);
    gOnStop = std::move(onStop);
  }
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopRequests::~StopRequests() {
  ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  std::lock_guard lock(gMutex);
  gOnStop = nullptr;
}

}  // namespace ql::station
