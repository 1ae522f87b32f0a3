// The block layout and the header rules, without a line.

#include <gtest/gtest.h>

#include "link/ymodem.h"
#include "tests/ymodem/support.h"

namespace ql::link {
namespace {

using testsupport::Bytes;
namespace ym = ymodem;

TEST(YmodemHeader, NineCharacterNameAndSize65536) {
  const auto data = ym::MakeHeaderData("DOCK1.bin", 65536);
  // The 9 name bytes, a NUL, the five digits of 65536, then 113 NUL bytes.
  Bytes expected{'D', 'O', 'C', 'K', '1', '.', 'b', 'i', 'n', 0, '6', '5', '5', '3', '6'};
  expected.resize(128, 0);
  EXPECT_EQ(Bytes(data.begin(), data.end()), expected);
}

TEST(YmodemHeader, SizeZeroIsWrittenAsTheDigitZero) {
  const auto data = ym::MakeHeaderData("a", 0);
  EXPECT_EQ(Bytes(data.begin(), data.begin() + 4), (Bytes{'a', 0, '0', 0}));
}

TEST(YmodemHeader, NoNameGivesTheAllZeroBatchEnd) {
  const auto data = ym::MakeHeaderData("", 1234);
  EXPECT_EQ(Bytes(data.begin(), data.end()), Bytes(128, 0));
}

TEST(YmodemHeader, AnOverlongNameIsCutTo110Characters) {
  const auto data = ym::MakeHeaderData(std::string(200, 'x'), 7);
  Bytes expected(113, 'x');
  expected[110] = 0;
  expected[111] = '7';
  expected[112] = 0;
  EXPECT_EQ(Bytes(data.begin(), data.begin() + 113), expected);
}

TEST(YmodemBlock, BlockZeroIsA128ByteSohBlock) {
  const Bytes block = ym::EncodeBlock(0, Bytes(128, 0));
  ASSERT_EQ(block.size(), 133u);
  EXPECT_EQ(block[0], 0x01);
  EXPECT_EQ(block[1], 0x00);
  EXPECT_EQ(block[2], 0xFF);
  // The CRC-16/XMODEM of zeros is zero.
  EXPECT_EQ(block[131], 0x00);
  EXPECT_EQ(block[132], 0x00);
}

TEST(YmodemBlock, DataBlocksAre1024ByteStxBlocksWithFillerAfterTheData) {
  const Bytes data{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  const Bytes block = ym::EncodeBlock(3, data);
  ASSERT_EQ(block.size(), 1029u);
  EXPECT_EQ(Bytes(block.begin(), block.begin() + 3), (Bytes{0x02, 0x03, 0xFC}));
  EXPECT_EQ(Bytes(block.begin() + 3, block.begin() + 12), data);
  EXPECT_TRUE(std::all_of(block.begin() + 12, block.begin() + 1027,
                          [](std::uint8_t b) { return b == ym::kFiller; }));
  Bytes payload = data;
  payload.resize(1024, ym::kFiller);
  const std::uint16_t crc = Crc16(payload);
  EXPECT_EQ(block[1027], crc >> 8);
  EXPECT_EQ(block[1028], crc & 0xFF);
}

TEST(YmodemBlock, Block256IsNumber0x00WithComplement0xFF) {
  const Bytes block = ym::EncodeBlock(256, Bytes(1024, 0x55));
  EXPECT_EQ(block[1], 0x00);
  EXPECT_EQ(block[2], 0xFF);
  const Bytes next = ym::EncodeBlock(257, Bytes(1024, 0x55));
  EXPECT_EQ(next[1], 0x01);
  EXPECT_EQ(next[2], 0xFE);
}

TEST(YmodemProgress, MaximumFromTheSize) {
  // 2500 / 1024 = 2 and (2500 / 128) mod 8 = 19 mod 8 = 3.
  EXPECT_EQ(ym::ProgressMaximum(2500), 5);
  EXPECT_EQ(ym::ProgressMaximum(0), 0);
  EXPECT_EQ(ym::ProgressMaximum(1024), 1 + 0);
  EXPECT_EQ(ym::ProgressMaximum(1023), 0 + 7);
}

struct HeaderCase {
  const char* label;
  Bytes data;  // the data bytes of block 0
  ym::FileHeader::Kind kind;
  std::string name;
  std::uint64_t size;
};
void PrintTo(const HeaderCase& c, std::ostream* os) {
  *os << c.label;
}

Bytes HeaderBytes(const std::string& name, const std::string& tail, std::size_t length = 128) {
  Bytes b(name.begin(), name.end());
  b.push_back(0);
  b.insert(b.end(), tail.begin(), tail.end());
  b.resize(length, 0);
  return b;
}

class YmodemParseHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(YmodemParseHeader, Reads) {
  const HeaderCase& c = GetParam();
  const ym::FileHeader header = ym::ParseHeader(c.data);
  EXPECT_EQ(header.kind, c.kind) << header.reason;
  if (c.kind == ym::FileHeader::Kind::File) {
    EXPECT_EQ(header.name, c.name);
    EXPECT_EQ(header.size, c.size);
  }
  if (c.kind == ym::FileHeader::Kind::Refused) {
    EXPECT_FALSE(header.reason.empty());
  }
}

using Kind = ym::FileHeader::Kind;
INSTANTIATE_TEST_SUITE_P(
    Cases, YmodemParseHeader,
    testing::Values(
        HeaderCase{"plain", HeaderBytes("LOG0001.TXT", "2500"), Kind::File, "LOG0001.TXT", 2500},
        HeaderCase{"size_then_date_and_mode",
                   HeaderBytes("log.bin", "3000 14712345671 100644 0 1 3000"), Kind::File,
                   "log.bin", 3000},
        HeaderCase{"name_of_63_characters", HeaderBytes(std::string(63, 'n'), "1"), Kind::File,
                   std::string(63, 'n'), 1},
        HeaderCase{"size_of_15_digits", HeaderBytes("a", "999999999999999"), Kind::File, "a",
                   999999999999999ull},
        HeaderCase{"in_a_1024_byte_block", HeaderBytes("big.bin", "10", 1024), Kind::File,
                   "big.bin", 10},
        HeaderCase{"batch_end", Bytes(128, 0), Kind::BatchEnd, "", 0},
        HeaderCase{"batch_end_with_trailing_bytes",
                   [] {
                     Bytes b(128, 0);
                     b[126] = 0x12;
                     b[127] = 0x34;
                     return b;
                   }(),
                   Kind::BatchEnd, "", 0},
        HeaderCase{"name_of_64_characters", HeaderBytes(std::string(64, 'n'), "1"), Kind::Refused,
                   "", 0},
        HeaderCase{"no_nul_in_the_block", Bytes(128, 'x'), Kind::Refused, "", 0},
        HeaderCase{"empty_name_with_a_size", HeaderBytes("", "123"), Kind::Refused, "", 0},
        HeaderCase{"parent_folder", HeaderBytes("..", "1"), Kind::Refused, "", 0},
        HeaderCase{"dot", HeaderBytes(".", "1"), Kind::Refused, "", 0},
        HeaderCase{"climbs_out", HeaderBytes("../evil.txt", "1"), Kind::Refused, "", 0},
        HeaderCase{"absolute_path", HeaderBytes("/etc/passwd", "1"), Kind::Refused, "", 0},
        HeaderCase{"sub_folder", HeaderBytes("logs/a.txt", "1"), Kind::Refused, "", 0},
        HeaderCase{"backslash", HeaderBytes("logs\\a.txt", "1"), Kind::Refused, "", 0},
        HeaderCase{"drive", HeaderBytes("C:a.txt", "1"), Kind::Refused, "", 0},
        HeaderCase{"size_of_16_digits", HeaderBytes("a", "1000000000000000"), Kind::Refused, "", 0},
        HeaderCase{"no_size", HeaderBytes("a", ""), Kind::Refused, "", 0},
        HeaderCase{"size_not_a_number", HeaderBytes("a", "12x"), Kind::Refused, "", 0}),
    [](const testing::TestParamInfo<HeaderCase>& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace ql::link
