#pragma once
// What the emulator needs of its platform, one file per platform: a line of its own when
// no device is named, and word that it is to stop.

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <thread>

#include "link/serial_port.h"

namespace ql::station {

// The emulator's own line. Linux: a new pseudo-terminal, offered to port discovery for as
// long as it lives. Windows has none: a port of a virtual COM pair is named with --device.
class OwnLine {
 public:
  virtual ~OwnLine() = default;
  virtual link::ISerialPort& Port() = 0;
  // The device a tool opens to reach the emulator.
  virtual const std::string& DevicePath() const = 0;
};

// Opens the line; nullptr with `error` set when there is none to be had. A problem that
// leaves the line usable (not offered to port discovery) goes to `warnings`.
std::unique_ptr<OwnLine> OpenOwnLine(std::string& error, std::ostream& warnings);

// Calls `onStop` once, on a thread of its own, when the emulator is asked to stop: SIGINT,
// SIGTERM or SIGHUP on Linux; Ctrl+C, Ctrl+Break or the console closing on Windows.
// Create it before any other thread starts (on Linux the signals are blocked in every
// thread and taken by its own); destroy it on the same thread.
class StopRequests {
 public:
  explicit StopRequests(std::function<void()> onStop);
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;

 private:
  std::thread waiter_;
};

}  // namespace ql::station
