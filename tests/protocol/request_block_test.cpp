#include "protocol/request_block.h"

#include <gtest/gtest.h>

#include <cstdlib>

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
  const char* saved = std::getenv("TZ");
  const std::string savedValue = saved ? saved : "";
  ::setenv("TZ", "UTC-2", 1);  // two hours east of UTC
  ::tzset();
  RequestBlock b;
  b.SetLocalTime(0);
  EXPECT_EQ(b.time, (DateTime{1970, 1, 1, 2, 0, 0}));
  if (saved) {
    ::setenv("TZ", savedValue.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

}  // namespace
}  // namespace ql::protocol
