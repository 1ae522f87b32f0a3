// Arbitrary firmware files through the container check of each family.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "records/firmware.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  for (ql::RecordType family :
       {ql::RecordType::Docking, ql::RecordType::SingleGas, ql::RecordType::MultiGas}) {
    const ql::records::FirmwareCheck check = ql::records::CheckFirmwareContainer(family, file);
    // Only a file that can hold a container passes.
    if (check.ok() && size < ql::records::kMinContainerSize) std::abort();
  }
  return 0;
}
