#include "link/drain.h"

namespace ql::link {

namespace {
constexpr std::uint8_t kAck = 0x06;
}

void DrainReceiveQueue(RxRing& queue, FrameParser& parser, IFrameDispatcher& dispatcher,
                       SharedFlags& flags, ITrafficMonitor* monitor) {
  const std::size_t n = queue.Count();
  flags.rxActivity.store(true);
  for (std::size_t i = 0; i < n; ++i) {
    std::uint8_t b = 0;
    if (!queue.Pop(b)) break;
    if (b == kAck && flags.firmwareUpload.load()) flags.ackCount.fetch_add(1);
    const FrameParser::FeedResult r = parser.Feed(b);
    if (r.monitorLineReady && monitor != nullptr && monitor->MonitorVisible()) {
      monitor->LogReceived(parser.MonitorLine());
    }
    if (r.frameComplete) {
      parser.Frame().complete = false;
      dispatcher.Dispatch(parser.Frame());
    }
  }
}

}  // namespace ql::link
