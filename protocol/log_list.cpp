#include "protocol/log_list.h"

#include <algorithm>

#include "records/byte_order.h"

namespace ql::protocol {

namespace {

constexpr std::size_t kSecondTableOffset =
    kLogListHeaderSize + kLogFirstTableSlots * kLogSlotSize;  // 648

}  // namespace

std::vector<std::uint8_t> BuildLogList(std::span<const std::string> names) {
  const std::vector<NameSlot> slots = FittingSlots(names, kLogListSlots);
  const std::size_t first = std::min(slots.size(), kLogFirstTableSlots);
  const std::size_t second = slots.size() - first;
  std::vector<std::uint8_t> record(kLogListSize, 0);
  records::le::StoreU32(record, 0, static_cast<std::uint32_t>(kLogListSize));
  records::le::StoreU16(record, 4, static_cast<std::uint16_t>(first));
  records::le::StoreU16(record, 6, static_cast<std::uint16_t>(second));
  PutSlots(record, kLogListHeaderSize, std::span(slots).first(first));
  PutSlots(record, kSecondTableOffset, std::span(slots).subspan(first));
  return record;
}

std::vector<std::string> ParseLogList(std::span<const std::uint8_t> payload) {
  if (payload.size() < kLogListHeaderSize) return {};
  const auto record = payload.first(
      std::min<std::size_t>({records::le::LoadU32(payload, 0), payload.size(), kLogListSize}));
  std::vector<std::string> names;
  TakeSlots(record, kLogListHeaderSize,
            std::min<std::size_t>(records::le::LoadU16(payload, 4), kLogFirstTableSlots), names);
  TakeSlots(record, kSecondTableOffset,
            std::min<std::size_t>(records::le::LoadU16(payload, 6), kLogSecondTableSlots), names);
  return names;
}

}  // namespace ql::protocol
