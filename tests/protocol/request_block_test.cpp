#include "protocol/request_block.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/time_zone.h"

namespace ql::protocol {
namespace {

TEST(RequestBlock, SevenLittleEndianIntegers) {
  RequestBlock b;
  b.target = 2;
  b.time = {2017, 12, 31, 23, 59, -1};
  const auto bytes = b.Bytes();
  const std::array<std::uint8_t, 28> expected = {2,  0, 0,  0, 0xE1, 0x07, 0,    0,   12, 0,
                                                 0,  0, 31, 0, 0,    0,    23,   0,   0,  0,
                                                 59, 0, 0,  0, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(bytes, expected);
  const RequestBlock back = RequestBlock::FromBytes(bytes);
  EXPECT_EQ(back.target, 2);
  EXPECT_EQ(back.time, b.time);
}

TEST(RequestBlock, LocalTimeHonoursTheTimeZone) {
  const testsupport::ScopedTimeZone zone("UTC-2");  // two hours east of UTC
  RequestBlock b;
  b.SetLocalTime(0);
  EXPECT_EQ(b.time, (DateTime{1970, 1, 1, 2, 0, 0}));
}

}  // namespace
}  // namespace ql::protocol
