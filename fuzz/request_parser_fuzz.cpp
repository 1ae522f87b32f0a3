// Arbitrary bytes from the tool into the emulator's request parser, with arbitrary gaps.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "protocol/station_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ql::protocol::RequestParser parser;
  ql::protocol::SteadyTime now{};
  // Pairs of bytes: a gap in milliseconds, then the byte that arrives after it.
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    now += std::chrono::milliseconds(data[i] & 0x7F);
    const auto request = parser.Feed(data[i + 1], now);
    if (request && request->payload.size() > ql::protocol::RequestParser::kMaxPayload) {
      std::abort();
    }
  }
  return 0;
}
