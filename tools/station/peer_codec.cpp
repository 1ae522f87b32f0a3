#include "tools/station/peer_codec.h"

#include "link/crc16.h"
#include "link/frame.h"

#include <algorithm>

namespace ql::station {

void RequestParser::SkipToNextStx() {
  const auto next = std::find(window_.begin() + 1, window_.end(), link::kStx);
  window_.erase(window_.begin(), next);
}

std::optional<RequestFrame> RequestParser::Feed(std::uint8_t b, Clock::time_point now) {
  if (!window_.empty() && now - last_ > kGapLimit) window_.clear();
  last_ = now;
  if (window_.empty() && b != link::kStx) return std::nullopt;
  window_.push_back(b);
  for (;;) {
    if (window_.size() < 4) return std::nullopt;
    const std::size_t length = window_[2] | (static_cast<std::size_t>(window_[3]) << 8);
    if (length > kMaxPayload) {
      SkipToNextStx();
      continue;
    }
    const std::size_t total = length + link::kFrameOverhead;
    if (window_.size() < total) return std::nullopt;
    const std::uint16_t crc = link::Crc16({window_.data() + 1, length + 3});
    const bool valid = window_[4 + length] == (crc >> 8) && window_[5 + length] == (crc & 0xFF) &&
                       window_[6 + length] == link::kEtx;
    if (!valid) {
      SkipToNextStx();
      continue;
    }
    RequestFrame frame{window_[1], Bytes(window_.begin() + 4, window_.begin() + 4 + static_cast<long>(length))};
    window_.erase(window_.begin(), window_.begin() + static_cast<long>(total));
    SkipLeadingNoise();
    return frame;
  }
}

void RequestParser::SkipLeadingNoise() {
  const auto stx = std::find(window_.begin(), window_.end(), link::kStx);
  window_.erase(window_.begin(), stx);
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
