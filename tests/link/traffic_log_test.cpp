// The traffic monitor's entries: prefix per direction, 20 hexadecimal or 40 character
// bytes a line, "\r\n" line ends.

#include "link/traffic_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ql::link {
namespace {

std::vector<std::uint8_t> Counting(std::size_t n, std::uint8_t first) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

std::string HexLine(const char* prefix, std::size_t from, std::size_t to, std::uint8_t first) {
  std::string line = prefix;
  for (std::size_t i = from; i < to; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X ", static_cast<unsigned>((first + i) & 0xFF));
    line += hex;
  }
  return line;
}

struct EntryCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  TrafficDirection direction;
  bool ascii;
  std::string expected;
};

class TrafficEntry : public testing::TestWithParam<EntryCase> {};

TEST_P(TrafficEntry, IsLaidOutAsTheMonitorShowsIt) {
  const EntryCase& c = GetParam();
  EXPECT_EQ(FormatTrafficEntry(c.bytes, c.direction, c.ascii), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, TrafficEntry,
    testing::Values(
        EntryCase{"DeviceTypeRequest",
                  {0x02, 0x40, 0x00, 0x00, 0x1D, 0xAD, 0x03},
                  TrafficDirection::Sent,
                  false,
                  "[TX] 02 40 00 00 1D AD 03 \r\n"},
        EntryCase{"FortyFiveBytesReceivedInThreeLines", Counting(45, 0x30),
                  TrafficDirection::Received, false,
                  HexLine("[RX] ", 0, 20, 0x30) + "\r\n" + HexLine("[RX] ", 20, 40, 0x30) + "\r\n" +
                      HexLine("[RX] ", 40, 45, 0x30) + "\r\n"},
        EntryCase{
            "AsciiFortyALine", Counting(45, 0x41), TrafficDirection::Received, true,
            "[RX] " + std::string(reinterpret_cast<const char*>(Counting(40, 0x41).data()), 40) +
                "\r\n[RX] " +
                std::string(reinterpret_cast<const char*>(Counting(45, 0x41).data()) + 40, 5) +
                "\r\n"},
        EntryCase{"ExactlyTwentyIsOneLine", Counting(20, 0), TrafficDirection::Sent, false,
                  HexLine("[TX] ", 0, 20, 0) + "\r\n"}),
    [](const auto& row) { return std::string(row.param.name); });

// The window draws an entry line by line: CR and LF bytes in character mode stay inside
// their line instead of starting new ones.
TEST(TrafficEntryLines, KeepLineBreakBytesInsideTheirLine) {
  const std::vector<std::uint8_t> bytes = {'A', '\r', '\n', 'B'};
  const auto lines = TrafficEntryLines(bytes, TrafficDirection::Received, true);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], std::string("[RX] A\r\nB"));
}

TEST(TrafficEntryLines, AnEmptyFrameIsOneEmptyLine) {
  EXPECT_EQ(TrafficEntryLines({}, TrafficDirection::Sent, false), std::vector<std::string>{""});
  EXPECT_EQ(FormatTrafficEntry({}, TrafficDirection::Sent, false), "\r\n");
}

}  // namespace
}  // namespace ql::link
