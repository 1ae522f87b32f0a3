#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ql::link {

// Something that puts bytes on the line.
class IByteWriter {
 public:
  virtual ~IByteWriter() = default;
  // Writes the bytes, giving up after `limit`; returns the count written.
  virtual std::size_t WriteWithin(std::span<const std::uint8_t> bytes,
                                  std::chrono::milliseconds limit) = 0;
};

}  // namespace ql::link
