#pragma once
// The 28-byte block that read, write and clock requests carry: seven little-endian
// signed 32-bit integers (target code, then year, month, day, hour, minute, second).

#include <array>
#include <cstdint>
#include <ctime>
#include <span>

namespace ql::protocol {

struct DateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const DateTime&) const = default;
};

struct RequestBlock {
  static constexpr std::size_t kSize = 28;

  std::int32_t target = 0;
  DateTime time;

  // Local time of `now` as the C library gives it (TZ is honoured); when the local time
  // cannot be had the date fields are 0 and the time fields -1.
  void SetLocalTime(std::time_t now);
  std::array<std::uint8_t, kSize> Bytes() const;
  // Reads the layout back from at least 28 bytes.
  static RequestBlock FromBytes(std::span<const std::uint8_t> bytes);
};

// Request target codes.
inline constexpr std::int32_t kTargetDocking = 0;
inline constexpr std::int32_t kTargetSingleGas = 1;
inline constexpr std::int32_t kTargetMultiGas = 2;

}  // namespace ql::protocol
