#include "protocol/certificate_list.h"

#include <algorithm>

#include "records/byte_order.h"

namespace ql::protocol {

std::vector<std::uint8_t> BuildCertificateList(std::span<const std::string> names) {
  const std::vector<NameSlot> slots = FittingSlots(names, kCertificateListSlots);
  std::vector<std::uint8_t> record(kCertificateListSize, 0);
  records::le::StoreU32(record, 0, static_cast<std::uint32_t>(kCertificateListSize));
  records::le::StoreU16(record, 4, static_cast<std::uint16_t>(slots.size()));
  PutSlots(record, kCertificateListHeaderSize, slots);
  return record;
}

std::vector<std::string> ParseCertificateList(std::span<const std::uint8_t> payload) {
  if (payload.size() < kCertificateListHeaderSize) return {};
  const auto record = payload.first(std::min<std::size_t>(
      {records::le::LoadU32(payload, 0), payload.size(), kCertificateListSize}));
  std::vector<std::string> names;
  TakeSlots(record, kCertificateListHeaderSize,
            std::min<std::size_t>(records::le::LoadU16(payload, 4), kCertificateListSlots), names);
  return names;
}

}  // namespace ql::protocol
