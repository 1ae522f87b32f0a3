// Arbitrary log-list and certificate-list answers from a station.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "protocol/certificate_list.h"
#include "protocol/log_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> payload(data, size);
  const auto logs = ql::protocol::ParseLogList(payload);
  if (logs.size() > ql::protocol::kLogListSlots) std::abort();
  for (const auto& name : logs) {
    // Every listed name fits its slot and can be asked for again.
    if (name.size() > ql::protocol::kLogSlotSize || !ql::protocol::NameToSlot(name)) std::abort();
  }
  const auto certificates = ql::protocol::ParseCertificateList(payload);
  if (certificates.size() > ql::protocol::kCertificateListSlots) std::abort();
  for (const auto& name : certificates) {
    // Every listed certificate can be asked for by the name its row shows.
    if (name.size() > ql::protocol::kNameSlotSize || !ql::protocol::NameToSlot(name)) std::abort();
  }
  // The station's own record of these names lists them again, in the same order.
  if (ql::protocol::ParseCertificateList(ql::protocol::BuildCertificateList(certificates)) !=
      certificates) {
    std::abort();
  }
  return 0;
}
