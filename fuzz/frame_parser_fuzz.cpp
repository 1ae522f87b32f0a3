// Arbitrary bytes from a station into the answer-frame parser.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "link/crc16.h"
#include "link/frame.h"

namespace {

class NoGapTimer final : public ql::link::IGapTimer {
 public:
  void RestartGapTimer() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  NoGapTimer timer;
  ql::link::FrameParser parser(timer);
  // The first byte, when present, says how often the 500 ms gap elapses between bytes.
  const std::size_t gapEvery = size > 0 ? data[0] : 0;
  for (std::size_t i = 1; i < size; ++i) {
    if (gapEvery != 0 && i % gapEvery == 0) parser.OnGapElapsed();
    const auto result = parser.Feed(data[i]);
    if (result.frameComplete) {
      const ql::link::ReceivedFrame& frame = parser.Frame();
      // A completed frame fits its buffer and carries the CRC it was checked against.
      if (frame.length > frame.payload.size()) std::abort();
      if (frame.Payload().size() != frame.length) std::abort();
    }
    if (parser.MonitorLine().size() > ql::link::kMonitorLineSize) std::abort();
  }
  return 0;
}
