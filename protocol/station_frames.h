#pragma once
// The station's side of the command frames: requests arrive with their length low byte
// first, answers leave with it high byte first. Used by the emulator and by tests that
// play the station. Pure; a RequestParser is single-threaded (one per line).

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "link/frame.h"

namespace ql::protocol {

using Bytes = std::vector<std::uint8_t>;
using SteadyTime = std::chrono::steady_clock::time_point;

struct RequestFrame {
  std::uint8_t code = 0;
  Bytes payload;
  bool operator==(const RequestFrame&) const = default;
};

// Rebuilds request frames from the line. Bytes outside a frame are ignored. The tool
// repeats a request back to back and stops in the middle of a copy when the answer
// arrives, so the next request often follows a half copy: when a frame fails its check,
// the search for a frame starts again at the next STX after the failed one's, and the
// request hidden behind the half copy is found, also when the half copy's length bytes
// announce a long frame. A frame that stops for longer than the gap limit is abandoned.
// Holds at most one frame's worth of bytes.
class RequestParser {
 public:
  static constexpr std::chrono::milliseconds kGapLimit{50};
  static constexpr std::size_t kMaxPayload = link::kMaxRequestPayload;

  // Feeds one byte received at `now`; returns a request when this byte completed one.
  std::optional<RequestFrame> Feed(std::uint8_t b, SteadyTime now);

 private:
  // Drops bytes up to the next STX after the first byte.
  void SkipToNextStx();

  SteadyTime last_{};
  Bytes window_;  // from the STX of the frame being looked at
};

// The tool drops an answer that declares kMaxResponsePayload bytes or more.
inline constexpr std::size_t kMaxAnswerPayload = link::kMaxResponsePayload - 1;

// An answer frame: STX, code, length high byte first, payload, CRC, ETX. A payload longer
// than kMaxAnswerPayload gives no frame (an empty vector): its length would not be read.
Bytes BuildAnswerFrame(std::uint8_t code, std::span<const std::uint8_t> payload);

}  // namespace ql::protocol
