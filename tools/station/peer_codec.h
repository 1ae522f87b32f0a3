#pragma once
// The station's side of the command frames: requests arrive with their length low byte
// first, answers leave with it high byte first. Used by the emulator; pure.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ql::station {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

struct RequestFrame {
  std::uint8_t code = 0;
  Bytes payload;
  bool operator==(const RequestFrame&) const = default;
};

// Rebuilds request frames from the line. Bytes outside a frame are ignored; a frame that
// stops for longer than the gap limit is abandoned, so a half-sent copy of a repeated
// request never swallows the next request.
class RequestParser {
 public:
  static constexpr std::chrono::milliseconds kGapLimit{50};
  static constexpr std::size_t kMaxPayload = 4089;

  // Feeds one byte received at `now`; returns a request when this byte completed one.
  std::optional<RequestFrame> Feed(std::uint8_t b, Clock::time_point now);

 private:
  enum class State { Idle, Command, LengthLow, LengthHigh, Payload, CrcHigh, CrcLow, Etx };
  State state_ = State::Idle;
  Clock::time_point last_{};
  std::uint8_t code_ = 0;
  std::size_t length_ = 0;
  Bytes covered_;  // command, length bytes, payload: what the CRC covers
  std::uint16_t crc_ = 0;
};

// An answer frame: STX, code, length high byte first, payload, CRC, ETX.
Bytes BuildAnswerFrame(std::uint8_t code, std::span<const std::uint8_t> payload);

}  // namespace ql::station
