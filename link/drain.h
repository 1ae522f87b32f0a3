#pragma once
// The drain step of the serial-data notification: received bytes go from the receive
// queue through the frame parser, and each completed frame goes to the dispatcher.
// UI thread only.

#include <cstdint>
#include <span>

#include "link/frame.h"
#include "link/rx_ring.h"
#include "link/shared_flags.h"

namespace ql::link {

class IFrameDispatcher {
 public:
  virtual ~IFrameDispatcher() = default;
  // Returns true when a handler took the frame (draining then stops at once), false when
  // the command code is not one the dispatcher knows.
  virtual bool Dispatch(const ReceivedFrame& frame) = 0;
};

// Where the traffic monitor gets its lines; absent or hidden monitors cost nothing.
class ITrafficMonitor {
 public:
  virtual ~ITrafficMonitor() = default;
  virtual bool MonitorVisible() const = 0;
  virtual void LogReceived(std::span<const std::uint8_t> line) = 0;
  virtual void LogSent(std::span<const std::uint8_t> frame) = 0;
};

// Drains at most the bytes queued when it starts. Stops right after a handled frame:
// the rest stays queued for the next notification.
void DrainReceiveQueue(RxRing& queue, FrameParser& parser, IFrameDispatcher& dispatcher,
                       SharedFlags& flags, ITrafficMonitor* monitor);

}  // namespace ql::link
