#pragma once
// A file name as the station's lists and the log and certificate requests carry it: a
// 20-byte slot, NUL-padded. A name of 20 characters fills its slot and has no NUL. Pure.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ql::protocol {

inline constexpr std::size_t kNameSlotSize = 20;
using NameSlot = std::array<std::uint8_t, kNameSlotSize>;

// The slot for `name`, or nothing when the name cannot travel in one: longer than 20
// characters, or holding a NUL (the station would read a different, shorter name).
std::optional<NameSlot> NameToSlot(std::string_view name);

// The name in a slot: the bytes up to the first NUL, at most 20. A shorter span (a
// request cut short) gives what it holds.
std::string SlotToName(std::span<const std::uint8_t> slot);

// Name tables, as the lists lay them out: slots back to back.
// The slots of the first `limit` names that can travel in one; the others are left out.
std::vector<NameSlot> FittingSlots(std::span<const std::string> names, std::size_t limit);
// Writes `slots` back to back from `offset`; `record` must have room for them.
void PutSlots(std::span<std::uint8_t> record, std::size_t offset, std::span<const NameSlot> slots);
// Appends the names of up to `count` slots from `offset`, ending at the first slot that
// is not wholly inside `record`.
void TakeSlots(std::span<const std::uint8_t> record, std::size_t offset, std::size_t count,
               std::vector<std::string>& names);

}  // namespace ql::protocol
