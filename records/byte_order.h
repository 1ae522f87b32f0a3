#pragma once
// Little-endian field access on fixed record buffers. Records travel in frames and files
// byte for byte, so every multi-byte field is assembled explicitly, never by casting.
// Offsets are checked by the callers' constants; out-of-range offsets are a bug.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ql::records::le {

inline std::uint16_t LoadU16(std::span<const std::uint8_t> b, std::size_t off) {
  return static_cast<std::uint16_t>(b[off] | (b[off + 1] << 8));
}

inline std::uint32_t LoadU32(std::span<const std::uint8_t> b, std::size_t off) {
  return static_cast<std::uint32_t>(b[off]) | (static_cast<std::uint32_t>(b[off + 1]) << 8) |
         (static_cast<std::uint32_t>(b[off + 2]) << 16) |
         (static_cast<std::uint32_t>(b[off + 3]) << 24);
}

inline std::uint64_t LoadU64(std::span<const std::uint8_t> b, std::size_t off) {
  return static_cast<std::uint64_t>(LoadU32(b, off)) |
         (static_cast<std::uint64_t>(LoadU32(b, off + 4)) << 32);
}

inline void StoreU16(std::span<std::uint8_t> b, std::size_t off, std::uint16_t v) {
  b[off] = static_cast<std::uint8_t>(v);
  b[off + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void StoreU32(std::span<std::uint8_t> b, std::size_t off, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void StoreU64(std::span<std::uint8_t> b, std::size_t off, std::uint64_t v) {
  for (std::size_t i = 0; i < 8; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// IEEE 754 double, little-endian.
inline double LoadF64(std::span<const std::uint8_t> b, std::size_t off) {
  return std::bit_cast<double>(LoadU64(b, off));
}
inline void StoreF64(std::span<std::uint8_t> b, std::size_t off, double v) {
  StoreU64(b, off, std::bit_cast<std::uint64_t>(v));
}

// A NUL-padded text field: the characters up to the first NUL, at most `width`
// (a text that fills the field has no terminating NUL).
inline std::string LoadText(std::span<const std::uint8_t> b, std::size_t off, std::size_t width) {
  std::string text;
  for (std::size_t i = 0; i < width && b[off + i] != 0; ++i) {
    text.push_back(static_cast<char>(b[off + i]));
  }
  return text;
}

// Stores the first `width` characters of `text` and pads with NUL bytes.
inline void StoreText(std::span<std::uint8_t> b, std::size_t off, std::size_t width,
                      std::string_view text) {
  for (std::size_t i = 0; i < width; ++i) {
    b[off + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : std::uint8_t{0};
  }
}

}  // namespace ql::records::le
