#pragma once
// The traffic monitor's text: every request frame sent and every frame received, one
// entry each, as the technician reads them in the window (and as the command-line tool
// writes them with --monitor). Pure and thread-safe.
//
// An entry starts every line with "[TX] " (sent) or "[RX] " (received); hexadecimal mode
// puts 20 bytes on a line, each as two upper-case digits and a space; character mode 40
// bytes, each as the character it codes. Lines end in "\r\n".

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ql::link {

enum class TrafficDirection { Sent, Received };

// The monitor starts afresh once its text holds more than this many characters.
inline constexpr std::size_t kTrafficLogLimit = 51200;

std::string FormatTrafficEntry(std::span<const std::uint8_t> bytes, TrafficDirection direction,
                               bool ascii);

// The same entry as its lines, without line ends: a window that draws the lines itself
// cannot split the text again, as character mode may carry CR and LF bytes.
std::vector<std::string> TrafficEntryLines(std::span<const std::uint8_t> bytes,
                                           TrafficDirection direction, bool ascii);

}  // namespace ql::link
