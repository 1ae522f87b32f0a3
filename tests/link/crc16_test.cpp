#include "link/crc16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ql::link {
namespace {

struct CrcCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  std::uint16_t expected;
};
void PrintTo(const CrcCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<std::uint8_t> Ascii(const std::string& s) {
  return {s.begin(), s.end()};
}

class Crc16Test : public testing::TestWithParam<CrcCase> {};

TEST_P(Crc16Test, MatchesXmodemReference) {
  EXPECT_EQ(Crc16(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, Crc16Test,
                         testing::Values(CrcCase{"CheckString", Ascii("123456789"), 0x31C3},
                                         CrcCase{"Empty", {}, 0x0000},
                                         // Covered parts of the frames the station exchanges.
                                         CrcCase{"DeviceTypeRequest", {0x40, 0x00, 0x00}, 0x1DAD},
                                         CrcCase{
                                             "DeviceTypeAnswer", {0x40, 0x00, 0x01, 0x01}, 0x4D8C},
                                         CrcCase{"LogListRequest", {0x34, 0x00, 0x00}, 0x1965}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(Crc16, UpdateInPiecesEqualsWholeRun) {
  const auto bytes = Ascii("123456789");
  for (std::size_t split = 0; split <= bytes.size(); ++split) {
    SCOPED_TRACE(split);
    const std::span<const std::uint8_t> all(bytes);
    EXPECT_EQ(Crc16Update(Crc16(all.first(split)), all.subspan(split)), 0x31C3);
  }
}

}  // namespace
}  // namespace ql::link
