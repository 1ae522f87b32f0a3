#pragma once
// The station's list of certificate files, the payload of the certificate list answer
// (little-endian):
//   0  uint32  size of the record in bytes, this field included
//   4  uint16  N: names used
//   6  128 slots of 20 bytes (slots 0 to N-1 used)
// A certificate request carries one name in the same 20-byte slot. Pure.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "protocol/name_slot.h"

namespace ql::protocol {

inline constexpr std::size_t kCertificateListHeaderSize = 6;
inline constexpr std::size_t kCertificateListSlots = 128;
inline constexpr std::size_t kCertificateListSize =
    kCertificateListHeaderSize + kCertificateListSlots * kNameSlotSize;
static_assert(kCertificateListSize == 2566);

// The record as the station builds it: the first 128 names that a slot can carry (see
// NameToSlot); the others are left out. The record is always kCertificateListSize bytes.
std::vector<std::uint8_t> BuildCertificateList(std::span<const std::string> names);

// The names of a received record in slot order. Nothing is read beyond the bytes that
// arrived, the record's own size field or the table's room: the count is clamped to 128
// and a slot not wholly inside the record is left out. A payload too short for the header
// holds no names.
std::vector<std::string> ParseCertificateList(std::span<const std::uint8_t> payload);

}  // namespace ql::protocol
