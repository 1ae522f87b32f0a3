// Windows port discovery without Windows: the Ports class's friendly names, as SetupAPI
// hands them over, are a list of strings; which of them are CP210x bridges, under which
// COM name, and in which order, is decided here.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/port_discovery.h"

namespace ql::link {
namespace {

struct FriendlyNameCase {
  const char* name;
  const char* friendly;
  const char* port;  // nullptr: not offered
};
void PrintTo(const FriendlyNameCase& c, std::ostream* os) {
  *os << c.name;
}

class FriendlyName : public testing::TestWithParam<FriendlyNameCase> {};

TEST_P(FriendlyName, NamesABridgePortOrNothing) {
  const FriendlyNameCase& c = GetParam();
  const auto port = BridgePortFromFriendlyName(c.friendly);
  if (c.port == nullptr) {
    EXPECT_FALSE(port) << port->name;
  } else {
    ASSERT_TRUE(port);
    EXPECT_EQ(port->name, c.port);
    EXPECT_EQ(port->devicePath, c.port);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, FriendlyName,
    testing::Values(
        FriendlyNameCase{"Bridge", "Silicon Labs CP210x USB to UART Bridge (COM5)", "COM5"},
        FriendlyNameCase{"TwoDigits", "Silicon Labs CP210x USB to UART Bridge (COM12)", "COM12"},
        FriendlyNameCase{"LastParenthesis", "CP210x (rev 2) Bridge (COM7)", "COM7"},
        FriendlyNameCase{"OtherDevice", "Communications Port (COM1)", nullptr},
        FriendlyNameCase{"OtherVendorsBridge", "USB-SERIAL CH340 (COM3)", nullptr},
        FriendlyNameCase{"Printer", "Silicon Labs CP210x ECP Printer Port (LPT1)", nullptr},
        FriendlyNameCase{"NoNumber", "Silicon Labs CP210x USB to UART Bridge (COM)", nullptr},
        FriendlyNameCase{"LeadingZero", "Silicon Labs CP210x USB to UART Bridge (COM05)", nullptr},
        FriendlyNameCase{"TooManyDigits", "Silicon Labs CP210x Bridge (COM12345)", nullptr},
        FriendlyNameCase{"NotDigits", "Silicon Labs CP210x Bridge (COM5x)", nullptr},
        FriendlyNameCase{"Unclosed", "Silicon Labs CP210x USB to UART Bridge (COM5", nullptr},
        FriendlyNameCase{"PathInName", "Silicon Labs CP210x Bridge (COM\\..\\x)", nullptr}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FriendlyNames, BridgesAreListedInComNumberOrder) {
  const std::vector<std::string> friendly = {
      "Silicon Labs CP210x USB to UART Bridge (COM10)",
      "Communications Port (COM1)",
      "Silicon Labs CP210x USB to UART Bridge (COM3)",
      "Silicon Labs CP210x USB to UART Bridge (COM2)",
  };
  std::vector<PortEntry> ports;
  PortsFromFriendlyNames(friendly, ports);
  SortPorts(ports);
  std::vector<std::string> names;
  for (const PortEntry& p : ports) names.push_back(p.name);
  EXPECT_EQ(names, (std::vector<std::string>{"COM2", "COM3", "COM10"}));
}

TEST(FriendlyNames, AtMostFiftyPorts) {
  std::vector<std::string> friendly;
  for (int i = 1; i <= 60; ++i) friendly.push_back("CP210x Bridge (COM" + std::to_string(i) + ")");
  std::vector<PortEntry> ports;
  PortsFromFriendlyNames(friendly, ports);
  ASSERT_EQ(ports.size(), kMaxPorts);
  EXPECT_EQ(ports.back().name, "COM50");
}

}  // namespace
}  // namespace ql::link
