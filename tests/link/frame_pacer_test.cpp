#include "link/frame_pacer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace ql::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The pacer holds its lock through a write, so the line never sees two writes at once;
// overlapping writes fail the test.
class RecordingWriter : public IByteWriter {
 public:
  std::size_t WriteWithin(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override {
    if (busy_.exchange(true)) ADD_FAILURE() << "two writes at once";
    const Done done{busy_};
    std::lock_guard lock(mutex_);
    if (refuse) return 0;
    written_.insert(written_.end(), bytes.begin(), bytes.end());
    grew_.notify_all();
    return bytes.size();
  }
  Bytes Written() {
    std::lock_guard lock(mutex_);
    return written_;
  }
  bool WaitForCount(std::size_t n) {
    std::unique_lock lock(mutex_);
    return grew_.wait_for(lock, std::chrono::seconds(5), [&] { return written_.size() >= n; });
  }
  bool refuse = false;  // set only while no thread ticks

 private:
  struct Done {
    std::atomic<bool>& busy;
    ~Done() { busy.store(false); }
  };
  std::atomic<bool> busy_{false};
  std::mutex mutex_;
  std::condition_variable grew_;
  Bytes written_;
};

const Bytes kFrame = {0x02, 0x40, 0x00, 0x00, 0x1D, 0xAD, 0x03};

struct PacerFixture : testing::Test {
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) pacer.Tick();
  }
  RecordingWriter writer;
  std::atomic<bool> rxActivity{false};
  FramePacer pacer{writer, rxActivity};
};

TEST_F(PacerFixture, RepeatsTheFrameFromItsStx) {
  pacer.Start(kFrame);
  Ticks(10);
  Bytes expected = kFrame;
  expected.insert(expected.end(), kFrame.begin(), kFrame.begin() + 3);
  EXPECT_EQ(writer.Written(), expected);
}

TEST_F(PacerFixture, RxActivityPausesAndClearingResumesWhereItStopped) {
  pacer.Start(kFrame);
  Ticks(3);
  rxActivity = true;
  Ticks(5);
  EXPECT_EQ(writer.Written(), Bytes(kFrame.begin(), kFrame.begin() + 3));
  rxActivity = false;
  Ticks(4);
  EXPECT_EQ(writer.Written(), kFrame);
}

TEST_F(PacerFixture, StopEndsOutputAndStartBeginsTheNewFrameAtItsStx) {
  pacer.Start(kFrame);
  Ticks(2);
  pacer.Stop();
  Ticks(5);
  EXPECT_EQ(writer.Written(), Bytes(kFrame.begin(), kFrame.begin() + 2));
  const Bytes next = {0x02, 0x34, 0x00, 0x00, 0x19, 0x65, 0x03};
  pacer.Start(next);
  Ticks(7);
  Bytes expected(kFrame.begin(), kFrame.begin() + 2);
  expected.insert(expected.end(), next.begin(), next.end());
  EXPECT_EQ(writer.Written(), expected);
}

TEST_F(PacerFixture, ByteTheLineRefusedIsSentAgain) {
  pacer.Start(kFrame);
  Ticks(1);
  writer.refuse = true;
  Ticks(3);
  writer.refuse = false;
  Ticks(1);
  EXPECT_EQ(writer.Written(), Bytes(kFrame.begin(), kFrame.begin() + 2));
}

TEST_F(PacerFixture, ThreadSendsTheFrameAndStopsOnRequest) {
  pacer.StartThread();
  pacer.Start(kFrame);
  ASSERT_TRUE(writer.WaitForCount(2 * kFrame.size()));
  pacer.Stop();
  const Bytes afterStop = writer.Written();
  // Whatever was sent is the frame repeated from its STX.
  for (std::size_t i = 0; i < afterStop.size(); ++i) {
    ASSERT_EQ(afterStop[i], kFrame[i % kFrame.size()]) << i;
  }
  pacer.Tick();
  EXPECT_EQ(writer.Written(), afterStop);
}

}  // namespace
}  // namespace ql::link
