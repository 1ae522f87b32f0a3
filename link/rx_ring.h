#pragma once
// The 8192-byte receive queue between the watch thread (producer) and the UI thread
// (consumer). Lock-free single-producer single-consumer: the producer only moves the in
// index, the consumer only the out index. At most 8191 bytes are held.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ql::link {

class RxRing {
 public:
  static constexpr std::size_t kSize = 8192;

  // Producer side. Appends the chunk when it is smaller than the free space and returns
  // true. Otherwise empties the queue, drops the chunk and returns false ("buff full").
  // Emptying moves both indices, so it relies on the consumer being idle meanwhile, which
  // the synchronous notification guarantees.
  bool Push(std::span<const std::uint8_t> chunk);

  // Consumer side.
  std::size_t Count() const;
  bool Pop(std::uint8_t& b);

 private:
  std::array<std::uint8_t, kSize> buffer_{};
  std::atomic<std::size_t> in_{0};
  std::atomic<std::size_t> out_{0};
};

}  // namespace ql::link
