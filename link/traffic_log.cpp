#include "link/traffic_log.h"

#include <cstdio>

namespace ql::link {

std::vector<std::string> TrafficEntryLines(std::span<const std::uint8_t> bytes,
                                           TrafficDirection direction, bool ascii) {
  const char* prefix = direction == TrafficDirection::Sent ? "[TX] " : "[RX] ";
  const std::size_t perLine = ascii ? 40 : 20;
  std::vector<std::string> lines;
  lines.reserve(bytes.size() / perLine + 1);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % perLine == 0) {
      lines.emplace_back(prefix);
      lines.back().reserve(5 + perLine * 3);
    }
    if (ascii) {
      lines.back() += static_cast<char>(bytes[i]);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02X ", bytes[i]);
      lines.back() += hex;
    }
  }
  // An empty frame still makes an entry: its line end alone.
  if (lines.empty()) lines.emplace_back();
  return lines;
}

std::string FormatTrafficEntry(std::span<const std::uint8_t> bytes, TrafficDirection direction,
                               bool ascii) {
  std::string entry;
  for (const std::string& line : TrafficEntryLines(bytes, direction, ascii)) {
    entry += line;
    entry += "\r\n";
  }
  return entry;
}

}  // namespace ql::link
