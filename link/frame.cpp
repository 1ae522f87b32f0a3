#include "link/frame.h"

#include <algorithm>

#include "link/crc16.h"

namespace ql::link {

std::size_t BuildFrame(std::uint8_t command, std::span<const std::uint8_t> payload,
                       TransmitBuffer& out) {
  if (payload.size() > kMaxRequestPayload) return 0;
  const auto n = static_cast<std::uint16_t>(payload.size());
  out[0] = kStx;
  out[1] = command;
  out[2] = static_cast<std::uint8_t>(n & 0xFFu);
  out[3] = static_cast<std::uint8_t>(n >> 8);
  std::copy(payload.begin(), payload.end(), out.begin() + 4);
  // The CRC covers command, length and payload exactly as they go on the wire.
  const std::uint16_t crc = Crc16({out.data() + 1, n + 3u});
  out[4 + n] = static_cast<std::uint8_t>(crc >> 8);
  out[5 + n] = static_cast<std::uint8_t>(crc & 0xFFu);
  out[6 + n] = kEtx;
  return n + kFrameOverhead;
}

void FrameParser::AppendMonitor(std::uint8_t b) {
  if (monitorCount_ < kMonitorLineSize - 1) monitor_[monitorCount_++] = b;
}

FrameParser::FeedResult FrameParser::Feed(std::uint8_t b) {
  if (resetPending_) state_ = ParserState::Idle;
  resetPending_ = false;
  gapTimer_.RestartGapTimer();

  FeedResult result;
  switch (state_) {
    case ParserState::Idle:
      if (b == kStx) {
        monitorCount_ = 0;
        AppendMonitor(b);
        state_ = ParserState::Command;
      }
      break;
    case ParserState::Command:
      AppendMonitor(b);
      frame_.command = b;
      frame_.crcInput[0] = b;
      state_ = ParserState::LengthHigh;
      break;
    case ParserState::LengthHigh:
      // Answers carry their length high byte first.
      AppendMonitor(b);
      frame_.length = static_cast<std::uint16_t>(b << 8);
      frame_.crcInput[1] = b;
      state_ = ParserState::LengthLow;
      break;
    case ParserState::LengthLow:
      AppendMonitor(b);
      frame_.length = static_cast<std::uint16_t>(frame_.length | b);
      frame_.crcInput[2] = b;
      frame_.count = 0;
      if (frame_.length >= kMaxResponsePayload) {
        state_ = ParserState::Idle;
      } else {
        state_ = frame_.length > 0 ? ParserState::Payload : ParserState::CrcHigh;
      }
      break;
    case ParserState::Payload:
      AppendMonitor(b);
      frame_.payload[frame_.count] = b;
      frame_.crcInput[3u + frame_.count] = b;
      ++frame_.count;
      if (frame_.count == frame_.length) state_ = ParserState::CrcHigh;
      break;
    case ParserState::CrcHigh:
      AppendMonitor(b);
      frame_.crc = static_cast<std::uint16_t>(b << 8);
      state_ = ParserState::CrcLow;
      break;
    case ParserState::CrcLow: {
      frame_.crc = static_cast<std::uint16_t>(frame_.crc + b);
      const std::uint16_t computed = Crc16({frame_.crcInput.data(), frame_.length + 3u});
      if (computed == frame_.crc) {
        AppendMonitor(b);
        state_ = ParserState::Etx;
      } else {
        state_ = ParserState::Idle;
      }
      break;
    }
    case ParserState::Etx:
      frame_.complete = (b == kEtx);
      // The ETX slot is reserved, so the line always ends with the byte received here.
      monitor_[monitorCount_++] = b;
      result.frameComplete = frame_.complete;
      result.monitorLineReady = true;
      state_ = ParserState::Idle;
      break;
  }
  return result;
}

}  // namespace ql::link
