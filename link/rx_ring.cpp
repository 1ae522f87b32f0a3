#include "link/rx_ring.h"

namespace ql::link {

std::size_t RxRing::Count() const {
  const std::size_t in = in_.load(std::memory_order_acquire);
  const std::size_t out = out_.load(std::memory_order_acquire);
  return (in - out + kSize) % kSize;
}

bool RxRing::Push(std::span<const std::uint8_t> chunk) {
  const std::size_t free = kSize - Count();
  if (chunk.size() >= free) {
    out_.store(0, std::memory_order_release);
    in_.store(0, std::memory_order_release);
    buffer_.fill(0);
    return false;
  }
  std::size_t in = in_.load(std::memory_order_relaxed);
  for (std::uint8_t b : chunk) {
    buffer_[in] = b;
    in = (in + 1) % kSize;
  }
  in_.store(in, std::memory_order_release);
  return true;
}

bool RxRing::Pop(std::uint8_t& b) {
  const std::size_t out = out_.load(std::memory_order_relaxed);
  if (out == in_.load(std::memory_order_acquire)) return false;
  b = buffer_[out];
  out_.store((out + 1) % kSize, std::memory_order_release);
  return true;
}

}  // namespace ql::link
