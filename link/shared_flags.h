#pragma once
// Flags shared between the UI thread, the watch thread, the pacer and the transfer
// workers. Each is a single atomic value; none needs a lock.

#include <atomic>
#include <cstdint>

namespace ql::link {

struct SharedFlags {
  // Set by the watch thread when any byte arrives (and by the drain); cleared when a
  // request starts and by the resend timer. Pauses the pacer.
  std::atomic<bool> rxActivity{false};
  // A firmware upload is running: received chunks also go to the transfer stream and
  // every drained ACK byte is counted.
  std::atomic<bool> firmwareUpload{false};
  // A log file is being received: received chunks go to the transfer stream only.
  std::atomic<bool> logReceiveArmed{false};
  // ACK bytes (0x06) drained while a firmware upload runs, for its progress display.
  std::atomic<std::uint32_t> ackCount{0};
};

}  // namespace ql::link
