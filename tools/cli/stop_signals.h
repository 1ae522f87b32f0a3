#pragma once
// SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl+C, Ctrl+Break and the console closing)
// while the tool is connected: instead of dying in the middle
// of a transfer, the tool stops it the ordinary way, so a file being received is dropped
// (nothing half-written stays in the folder), the port is closed, and the exit code says
// that the operation did not complete.
//
// On Linux the handler does nothing but write the signal's number into a pipe, which is
// all it may safely do. A watcher thread reads the pipe and posts the signal to the UI
// loop, whose wait that ends. The pipe lives as long as the process, so a handler running
// late on another thread never writes into a descriptor that has been closed and reused.
// On Windows the console runs the handler on a thread of its own, which posts directly.
//
// One StopSignals at a time in a process; construct and destroy it on the loop's thread.
// The handlers that were there before come back when it is destroyed.

#include <functional>
#include <string>
#include <thread>

#include "link/event_loop.h"

namespace ql::cli {

class StopSignals {
 public:
  // `loop` must outlive this object. `onSignal` runs on the loop's thread, with the
  // signal's number, for each signal received.
  StopSignals(link::IUiPoster& loop, std::function<void(int signal)> onSignal);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // False when the pipe or a handler could not be set up: the signals then end the
  // program as they would without this object.
  bool Active() const { return active_; }

  // "SIGINT", "SIGTERM", "SIGHUP", or "signal N"; on Windows the console event's name.
  static std::string Name(int signal);

 private:
  bool active_ = false;
  std::thread watcher_;
};

}  // namespace ql::cli
