#include "protocol/name_slot.h"

#include <algorithm>

namespace ql::protocol {

std::optional<NameSlot> NameToSlot(std::string_view name) {
  if (name.size() > kNameSlotSize || name.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  NameSlot slot{};
  std::copy(name.begin(), name.end(), slot.begin());
  return slot;
}

std::string SlotToName(std::span<const std::uint8_t> slot) {
  const auto used = slot.first(std::min(slot.size(), kNameSlotSize));
  const auto end = std::find(used.begin(), used.end(), std::uint8_t{0});
  return std::string(used.begin(), end);
}

std::vector<NameSlot> FittingSlots(std::span<const std::string> names, std::size_t limit) {
  std::vector<NameSlot> slots;
  for (const std::string& name : names) {
    if (slots.size() == limit) break;
    if (const auto slot = NameToSlot(name)) slots.push_back(*slot);
  }
  return slots;
}

void PutSlots(std::span<std::uint8_t> record, std::size_t offset, std::span<const NameSlot> slots) {
  for (const NameSlot& slot : slots) {
    std::copy(slot.begin(), slot.end(), record.subspan(offset, kNameSlotSize).begin());
    offset += kNameSlotSize;
  }
}

void TakeSlots(std::span<const std::uint8_t> record, std::size_t offset, std::size_t count,
               std::vector<std::string>& names) {
  for (std::size_t i = 0; i < count && offset + kNameSlotSize <= record.size(); ++i) {
    names.push_back(SlotToName(record.subspan(offset, kNameSlotSize)));
    offset += kNameSlotSize;
  }
}

}  // namespace ql::protocol
