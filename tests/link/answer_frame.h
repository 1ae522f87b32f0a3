#pragma once

#include <cstdint>
#include <vector>

#include "link/crc16.h"
#include "link/frame.h"

namespace ql::link::testsupport {

using Bytes = std::vector<std::uint8_t>;

// An answer frame as a station sends it: length high byte first, CRC over the bytes as
// they stand on the wire. Laid out by hand here rather than taken from the station's frame
// builder, so the link tests stay on link/ alone and the parser is checked against the
// wire layout, not against other code of ours.
inline Bytes Answer(std::uint8_t command, const Bytes& payload) {
  const auto n = static_cast<std::uint16_t>(payload.size());
  Bytes b;
  b.reserve(payload.size() + kFrameOverhead);
  for (std::uint8_t x :
       {kStx, command, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)}) {
    b.push_back(x);
  }
  for (std::uint8_t x : payload) b.push_back(x);
  const std::uint16_t crc = Crc16({b.data() + 1, b.size() - 1});
  b.push_back(static_cast<std::uint8_t>(crc >> 8));
  b.push_back(static_cast<std::uint8_t>(crc));
  b.push_back(kEtx);
  return b;
}

}  // namespace ql::link::testsupport
