#pragma once
// Pieces shared by the POSIX ports (the serial device and the emulator's pseudo-terminal).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "link/status.h"

namespace ql::link::posix {

// A pipe whose read end becomes readable once Wake() is called, and stays so until the
// pipe is opened again; a poll() on it ends blocked waits. Wake may be called from any
// thread and from a signal handler.
class WakePipe {
 public:
  WakePipe() = default;
  ~WakePipe() { Close(); }
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;

  Status Open();
  void Close();
  void Wake() const;
  int ReadFd() const { return read_; }

 private:
  int read_ = -1;
  int write_ = -1;
};

// Writes all `bytes` to the non-blocking `fd`, waiting for room as needed. Stops early
// when `wake` fires, the line fails or `limit` passes; returns the count written.
std::size_t WriteAll(int fd, const WakePipe& wake, std::span<const std::uint8_t> bytes,
                     std::optional<std::chrono::milliseconds> limit);

}  // namespace ql::link::posix
