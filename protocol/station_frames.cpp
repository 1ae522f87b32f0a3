#include "protocol/station_frames.h"

#include <algorithm>

#include "link/crc16.h"
#include "link/frame.h"

namespace ql::protocol {

void RequestParser::SkipToNextStx() {
  const auto next = std::find(window_.begin() + 1, window_.end(), link::kStx);
  window_.erase(window_.begin(), next);
}

std::optional<RequestFrame> RequestParser::Feed(std::uint8_t b, SteadyTime now) {
  if (!window_.empty() && now - last_ > kGapLimit) window_.clear();
  last_ = now;
  if (window_.empty() && b != link::kStx) return std::nullopt;
  window_.push_back(b);
  // A frame may end at this byte starting at any STX in the window: the first one can be
  // a half copy whose length bytes are really the next frame's command and length.
  for (std::size_t start = 0; start < window_.size(); ++start) {
    if (window_[start] != link::kStx || window_.size() - start < link::kFrameOverhead) continue;
    const std::size_t length =
        window_[start + 2] | (static_cast<std::size_t>(window_[start + 3]) << 8);
    if (length > kMaxPayload || start + length + link::kFrameOverhead != window_.size()) continue;
    const std::uint8_t* f = window_.data() + start;
    const std::uint16_t crc = link::Crc16({f + 1, length + 3});
    if (f[4 + length] != (crc >> 8) || f[5 + length] != (crc & 0xFF) ||
        f[6 + length] != link::kEtx) {
      continue;
    }
    RequestFrame frame{f[1], Bytes(f + 4, f + 4 + length)};
    window_.clear();
    return frame;
  }
  // Nothing can start at the first byte any more once the window passed its frame's end.
  while (!window_.empty()) {
    const std::size_t length =
        window_.size() >= 4 ? (window_[2] | (static_cast<std::size_t>(window_[3]) << 8)) : 0;
    if (window_.size() < 4 ||
        (length <= kMaxPayload && window_.size() < length + link::kFrameOverhead))
      break;
    SkipToNextStx();
  }
  return std::nullopt;
}

Bytes BuildAnswerFrame(std::uint8_t code, std::span<const std::uint8_t> payload) {
  if (payload.size() > kMaxAnswerPayload) return {};
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

}  // namespace ql::protocol
