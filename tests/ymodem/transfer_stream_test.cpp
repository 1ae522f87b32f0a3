#include "link/transfer_stream.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "tests/ymodem/support.h"

namespace ql::link {
namespace {

using namespace std::chrono_literals;
using testsupport::Bytes;

class TransferStreamTest : public testing::Test {
 protected:
  // Waits (real time) until the reader blocks on the stream, without moving the clock.
  void WaitUntilReaderBlocks() {
    IClockClient* participant = &stream_;
    ASSERT_TRUE(clock_.AdvanceWhenIdle({&participant, 1}, 5s, IClock::Duration::zero()));
  }
  // Moves the clock by at most `step` once the reader is blocked.
  void AdvanceWhenBlocked(IClock::Duration step) {
    IClockClient* participant = &stream_;
    ASSERT_TRUE(clock_.AdvanceWhenIdle({&participant, 1}, 5s, step));
  }

  VirtualClock clock_;
  TransferStream stream_{clock_};
};

TEST_F(TransferStreamTest, BytesComeOutInTheOrderTheyWereFed) {
  stream_.Feed(Bytes{1, 2, 3});
  stream_.Feed(Bytes{4, 5});
  std::uint8_t b = 0;
  ASSERT_EQ(stream_.Take(b, clock_.Now()), WaitStatus::Ready);
  EXPECT_EQ(b, 1);
  std::array<std::uint8_t, 8> out{};
  std::size_t taken = 0;
  ASSERT_EQ(stream_.ReadSome(out, taken, clock_.Now()), WaitStatus::Ready);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(taken)),
            (Bytes{2, 3, 4, 5}));
  EXPECT_EQ(stream_.Available(), 0u);
}

TEST_F(TransferStreamTest, AWaitTimesOutExactlyWhenTheVirtualClockReachesItsDeadline) {
  const IClock::TimePoint deadline = clock_.Now() + 10s;
  auto reader = std::async(std::launch::async, [&] {
    std::uint8_t b = 0;
    return stream_.Take(b, deadline);
  });
  AdvanceWhenBlocked(10s - 1ms);
  // Only a reader that went back to waiting lets the clock move again.
  AdvanceWhenBlocked(1ms);
  EXPECT_EQ(reader.get(), WaitStatus::Timeout);
  EXPECT_EQ(clock_.Now(), deadline);
}

TEST_F(TransferStreamTest, FedBytesWakeAWaitingReaderWithoutTimeMoving) {
  const IClock::TimePoint start = clock_.Now();
  auto reader = std::async(std::launch::async, [&] {
    std::uint8_t b = 0;
    const WaitStatus status = stream_.Take(b, clock_.Now() + 10s);
    return std::make_pair(status, b);
  });
  WaitUntilReaderBlocks();
  stream_.Feed(Bytes{0x43});
  const auto [status, byte] = reader.get();
  EXPECT_EQ(status, WaitStatus::Ready);
  EXPECT_EQ(byte, 0x43);
  EXPECT_EQ(clock_.Now(), start);
}

TEST_F(TransferStreamTest, AbortEndsAWaitAtOnceAndEveryLaterWaitUntilCleared) {
  auto reader = std::async(std::launch::async, [&] {
    std::uint8_t b = 0;
    return stream_.Take(b, clock_.Now() + 10s);
  });
  WaitUntilReaderBlocks();
  stream_.SetAbort();
  EXPECT_EQ(reader.get(), WaitStatus::Aborted);

  stream_.Feed(Bytes{7});
  std::uint8_t b = 0;
  EXPECT_EQ(stream_.Take(b, clock_.Now() + 10s), WaitStatus::Aborted);
  EXPECT_TRUE(stream_.AbortRequested());
  stream_.ClearAbort();
  EXPECT_FALSE(stream_.AbortRequested());
  ASSERT_EQ(stream_.Take(b, clock_.Now()), WaitStatus::Ready);
  EXPECT_EQ(b, 7);
}

TEST_F(TransferStreamTest, PurgeDropsWhatHasArrived) {
  stream_.Feed(Bytes{1, 2, 3});
  stream_.Purge();
  EXPECT_EQ(stream_.Available(), 0u);
  std::uint8_t b = 0;
  EXPECT_EQ(stream_.Take(b, clock_.Now()), WaitStatus::Timeout);
}

TEST(TransferStreamCapacity, TheOldestBytesGiveWayWhenFull) {
  VirtualClock clock;
  TransferStream stream(clock, 4);
  stream.Feed(Bytes{1, 2, 3});
  stream.Feed(Bytes{4, 5});
  std::array<std::uint8_t, 8> out{};
  std::size_t taken = 0;
  ASSERT_EQ(stream.ReadSome(out, taken, clock.Now()), WaitStatus::Ready);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(taken)),
            (Bytes{2, 3, 4, 5}));
  stream.Feed(Bytes{9, 8, 7, 6, 5, 4});
  ASSERT_EQ(stream.ReadSome(out, taken, clock.Now()), WaitStatus::Ready);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(taken)),
            (Bytes{7, 6, 5, 4}));
}

// Feeders on several threads against one reader on the steady clock: nothing lost, each
// feeder's bytes in order. Run under ThreadSanitizer this also checks the locking.
TEST(TransferStreamThreads, ConcurrentFeedersLoseNothing) {
  TransferStream stream;
  constexpr int kFeeders = 4;
  constexpr int kPerFeeder = 5000;
  std::vector<std::thread> feeders;
  for (int f = 0; f < kFeeders; ++f) {
    feeders.emplace_back([&, f] {
      for (int i = 0; i < kPerFeeder; ++i) {
        // High bits name the feeder, low bits count modulo 64.
        const std::uint8_t b = static_cast<std::uint8_t>((f << 6) | (i & 0x3F));
        stream.Feed({&b, 1});
      }
    });
  }
  std::array<int, kFeeders> next{};
  int received = 0;
  while (received < kFeeders * kPerFeeder) {
    std::uint8_t b = 0;
    ASSERT_EQ(stream.Take(b, std::chrono::steady_clock::now() + 10s), WaitStatus::Ready);
    const int f = b >> 6;
    ASSERT_EQ(b & 0x3F, next[static_cast<std::size_t>(f)] & 0x3F);
    ++next[static_cast<std::size_t>(f)];
    ++received;
  }
  for (std::thread& t : feeders) t.join();
}

TEST(TransferStreamThreads, AbortFromAnotherThreadEndsARealTimeWaitPromptly) {
  TransferStream stream;
  const auto start = std::chrono::steady_clock::now();
  std::thread aborter([&] {
    std::this_thread::sleep_for(20ms);
    stream.SetAbort();
  });
  std::uint8_t b = 0;
  EXPECT_EQ(stream.Take(b, start + 60s), WaitStatus::Aborted);
  aborter.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
}

}  // namespace
}  // namespace ql::link
