#pragma once
// CRC-16/XMODEM: polynomial 0x1021, initial value 0, no reflection, no final XOR.
// Used by command frames and by YMODEM blocks.

#include <cstdint>
#include <span>

namespace ql::link {

// Returns the CRC of `bytes`; an empty span gives 0x0000. Pure, thread-safe.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes);

// Continues a CRC over further bytes, so a block can be checked in pieces.
std::uint16_t Crc16Update(std::uint16_t crc, std::span<const std::uint8_t> bytes);

}  // namespace ql::link
