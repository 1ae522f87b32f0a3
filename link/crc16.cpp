#include "link/crc16.h"

#include <array>

namespace ql::link {
namespace {

constexpr std::array<std::uint16_t, 256> MakeTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    auto crc = static_cast<std::uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit) {
      const unsigned shifted = static_cast<unsigned>(crc) << 1;
      crc = static_cast<std::uint16_t>((crc & 0x8000u) ? shifted ^ 0x1021u : shifted);
    }
    table[i] = crc;
  }
  return table;
}

constexpr auto kTable = MakeTable();

}  // namespace

std::uint16_t Crc16Update(std::uint16_t crc, std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) {
    crc = static_cast<std::uint16_t>((crc << 8) ^
                                     kTable[static_cast<std::size_t>((crc >> 8) ^ b) & 0xFFu]);
  }
  return crc;
}

std::uint16_t Crc16(std::span<const std::uint8_t> bytes) {
  return Crc16Update(0, bytes);
}

}  // namespace ql::link
