#include "tools/station/peer_codec.h"

#include "link/crc16.h"
#include "link/frame.h"

namespace ql::station {

std::optional<RequestFrame> RequestParser::Feed(std::uint8_t b, Clock::time_point now) {
  if (state_ != State::Idle && now - last_ > kGapLimit) state_ = State::Idle;
  last_ = now;
  switch (state_) {
    case State::Idle:
      if (b == link::kStx) {
        covered_.clear();
        state_ = State::Command;
      }
      return std::nullopt;
    case State::Command:
      code_ = b;
      covered_.push_back(b);
      state_ = State::LengthLow;
      return std::nullopt;
    case State::LengthLow:
      length_ = b;
      covered_.push_back(b);
      state_ = State::LengthHigh;
      return std::nullopt;
    case State::LengthHigh:
      length_ |= static_cast<std::size_t>(b) << 8;
      covered_.push_back(b);
      if (length_ > kMaxPayload) {
        state_ = State::Idle;
      } else {
        state_ = length_ > 0 ? State::Payload : State::CrcHigh;
      }
      return std::nullopt;
    case State::Payload:
      covered_.push_back(b);
      if (covered_.size() == length_ + 3) state_ = State::CrcHigh;
      return std::nullopt;
    case State::CrcHigh:
      crc_ = static_cast<std::uint16_t>(b << 8);
      state_ = State::CrcLow;
      return std::nullopt;
    case State::CrcLow:
      crc_ = static_cast<std::uint16_t>(crc_ | b);
      state_ = crc_ == link::Crc16(covered_) ? State::Etx : State::Idle;
      return std::nullopt;
    case State::Etx:
      state_ = State::Idle;
      if (b != link::kEtx) return std::nullopt;
      return RequestFrame{code_, Bytes(covered_.begin() + 3, covered_.end())};
  }
  return std::nullopt;
}

Bytes BuildAnswerFrame(std::uint8_t code, std::span<const std::uint8_t> payload) {
  const auto n = static_cast<std::uint16_t>(payload.size());
  Bytes frame;
  frame.reserve(payload.size() + link::kFrameOverhead);
  frame.push_back(link::kStx);
  frame.push_back(code);
  frame.push_back(static_cast<std::uint8_t>(n >> 8));
  frame.push_back(static_cast<std::uint8_t>(n & 0xFF));
  frame.insert(frame.end(), payload.begin(), payload.end());
  const std::uint16_t crc = link::Crc16({frame.data() + 1, frame.size() - 1});
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(link::kEtx);
  return frame;
}

}  // namespace ql::station
