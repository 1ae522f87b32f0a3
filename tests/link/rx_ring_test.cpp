#include "link/rx_ring.h"

#include <gtest/gtest.h>

#include <vector>

namespace ql::link {
namespace {

std::vector<std::uint8_t> Fill(std::size_t n, std::uint8_t value) {
  return std::vector<std::uint8_t>(n, value);
}

TEST(RxRing, ChunkMustBeSmallerThanFreeSpace) {
  struct Case {
    const char* name;
    std::size_t queued;
    bool accepted;
    std::size_t countAfter;
  };
  const Case cases[] = {
      {"ElevenFree", 8181, true, 8191},
      {"TenFreeEmptiesAndDrops", 8182, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RxRing ring;
    ASSERT_TRUE(ring.Push(Fill(c.queued, 0x11)));
    EXPECT_EQ(ring.Push(Fill(10, 0x22)), c.accepted);
    EXPECT_EQ(ring.Count(), c.countAfter);
  }
}

TEST(RxRing, KeepsOrderAcrossTheWrap) {
  RxRing ring;
  std::uint8_t b = 0;
  ASSERT_TRUE(ring.Push(Fill(8000, 0)));
  for (int i = 0; i < 8000; ++i) ASSERT_TRUE(ring.Pop(b));
  std::vector<std::uint8_t> chunk(500);
  for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_TRUE(ring.Push(chunk));
  EXPECT_EQ(ring.Count(), 500u);
  for (std::size_t i = 0; i < chunk.size(); ++i) {
    ASSERT_TRUE(ring.Pop(b));
    EXPECT_EQ(b, chunk[i]) << i;
  }
  EXPECT_FALSE(ring.Pop(b));
}

TEST(RxRing, AfterOverflowReceptionContinues) {
  RxRing ring;
  ASSERT_TRUE(ring.Push(Fill(8000, 0x11)));
  EXPECT_FALSE(ring.Push(Fill(500, 0x22)));
  ASSERT_TRUE(ring.Push(Fill(3, 0x33)));
  std::uint8_t b = 0;
  ASSERT_TRUE(ring.Pop(b));
  EXPECT_EQ(b, 0x33);
  EXPECT_EQ(ring.Count(), 2u);
}

}  // namespace
}  // namespace ql::link
