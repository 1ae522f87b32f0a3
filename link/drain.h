#pragma once
// The drain step of the serial-data notification: received bytes go from the receive
// queue through the frame parser, and each completed frame goes to the dispatcher, which
// alone decides what a frame means and whether to act on it. UI thread only.

#include <cstdint>
#include <span>

#include "link/frame.h"
#include "link/rx_ring.h"
#include "link/shared_flags.h"

namespace ql::link {

class IFrameDispatcher {
 public:
  virtual ~IFrameDispatcher() = default;
  // Every frame that passed its checks, in the order received. The frame record is
  // overwritten by the next one: a handler must be done with it when it returns. A handler
  // may take the rest of the queue (a transfer starting behind its answer); the drain then
  // ends, as the queue is empty.
  virtual void Dispatch(const ReceivedFrame& frame) = 0;
};

// Where the traffic monitor gets its lines; absent or hidden monitors cost nothing.
class ITrafficMonitor {
 public:
  virtual ~ITrafficMonitor() = default;
  virtual bool MonitorVisible() const = 0;
  virtual void LogReceived(std::span<const std::uint8_t> line) = 0;
  virtual void LogSent(std::span<const std::uint8_t> frame) = 0;
};

// Drains at most the bytes queued when it starts, handing every frame they complete to
// the dispatcher: frames that arrived in one burst are all handled in this notification.
// The traffic monitor gets every received line, whatever the dispatcher does with it.
void DrainReceiveQueue(RxRing& queue, FrameParser& parser, IFrameDispatcher& dispatcher,
                       SharedFlags& flags, ITrafficMonitor* monitor);

}  // namespace ql::link
