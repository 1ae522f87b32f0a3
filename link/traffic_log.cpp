#include "link/traffic_log.h"

#include <cstdio>

namespace ql::link {

std::string FormatTrafficEntry(std::span<const std::uint8_t> bytes, TrafficDirection direction,
                               bool ascii) {
  const char* prefix = direction == TrafficDirection::Sent ? "[TX] " : "[RX] ";
  const std::size_t perLine = ascii ? 40 : 20;
  std::string entry;
  entry.reserve(bytes.size() * 3 + (bytes.size() / perLine + 1) * 7 + 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % perLine == 0) {
      if (i != 0) entry += "\r\n";
      entry += prefix;
    }
    if (ascii) {
      entry += static_cast<char>(bytes[i]);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02X ", bytes[i]);
      entry += hex;
    }
  }
  entry += "\r\n";
  return entry;
}

}  // namespace ql::link
