#pragma once
// The station's list of log files, the payload of the log list answer (little-endian):
//   0    uint32  size of the record in bytes, this field included
//   4    uint16  A: names used in the first table
//   6    uint16  B: names used in the second table
//   8    32 slots of 20 bytes, the first table (slots 0 to A-1 used)
//   648  128 slots of 20 bytes, the second table (slots 0 to B-1 used)
// The list's order is the first table's names, then the second's. A log file request
// carries one name in the same 20-byte slot. Pure.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "protocol/name_slot.h"

namespace ql::protocol {

inline constexpr std::size_t kLogSlotSize = kNameSlotSize;
using LogSlot = NameSlot;

inline constexpr std::size_t kLogListHeaderSize = 8;
inline constexpr std::size_t kLogFirstTableSlots = 32;
inline constexpr std::size_t kLogSecondTableSlots = 128;
inline constexpr std::size_t kLogListSlots = kLogFirstTableSlots + kLogSecondTableSlots;
inline constexpr std::size_t kLogListSize = kLogListHeaderSize + kLogListSlots * kLogSlotSize;
static_assert(kLogListSize == 3208);

// The record as the station builds it: the first 32 names fill the first table, the next
// 128 the second; names past 160 and names that no slot can carry (see NameToSlot) are
// left out, so every listed name can be asked for. The record is always kLogListSize bytes.
std::vector<std::uint8_t> BuildLogList(std::span<const std::string> names);

// The names of a received record in list order. Nothing is read beyond the bytes that
// arrived, the record's own size field or the tables' room: the counts are clamped to 32
// and 128 and a slot not wholly inside the record is left out. A payload too short for the
// header holds no names.
std::vector<std::string> ParseLogList(std::span<const std::uint8_t> payload);

}  // namespace ql::protocol
