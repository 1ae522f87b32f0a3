#include "link/drain.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/link/answer_frame.h"

namespace ql::link {
namespace {

using testsupport::Answer;
using testsupport::Bytes;

class NoGapTimer : public IGapTimer {
 public:
  void RestartGapTimer() override {}
};

// Records the codes it is handed. On `takeRestOn` it empties the queue, as a handler does
// when a transfer starts behind its answer.
class RecordingDispatcher : public IFrameDispatcher {
 public:
  explicit RecordingDispatcher(RxRing& ring, std::optional<std::uint8_t> takeRestOn = {})
      : ring_(ring), takeRestOn_(takeRestOn) {}
  void Dispatch(const ReceivedFrame& frame) override {
    seen.push_back(frame.command);
    if (frame.command != takeRestOn_) return;
    std::uint8_t b = 0;
    while (ring_.Pop(b)) taken.push_back(b);
  }
  std::vector<std::uint8_t> seen;
  Bytes taken;

 private:
  RxRing& ring_;
  std::optional<std::uint8_t> takeRestOn_;
};

class RecordingMonitor : public ITrafficMonitor {
 public:
  bool MonitorVisible() const override { return visible; }
  void LogReceived(std::span<const std::uint8_t> line) override {
    lines.emplace_back(line.begin(), line.end());
  }
  void LogSent(std::span<const std::uint8_t>) override {}
  bool visible = true;
  std::vector<Bytes> lines;
};

struct DrainFixture : testing::Test {
  void Queue(const Bytes& b) { ASSERT_TRUE(ring.Push(b)); }
  void Drain(IFrameDispatcher& d, ITrafficMonitor* m = nullptr) {
    DrainReceiveQueue(ring, parser, d, flags, m);
  }
  RxRing ring;
  NoGapTimer timer;
  FrameParser parser{timer};
  SharedFlags flags;
};

TEST_F(DrainFixture, EveryFrameOfABurstIsHandedOverInOrder) {
  RecordingDispatcher dispatcher(ring);
  Queue(Answer(0x40, {0x01}));
  Queue(Answer(0x77, {0x01, 0x02}));
  Queue(Answer(0x31, {}));
  Drain(dispatcher);
  EXPECT_EQ(dispatcher.seen, (std::vector<std::uint8_t>{0x40, 0x77, 0x31}));
  EXPECT_EQ(ring.Count(), 0u);
  EXPECT_TRUE(flags.rxActivity.load());
}

TEST_F(DrainFixture, AHandlerThatTakesTheRestEndsTheDrain) {
  RecordingDispatcher dispatcher(ring, 0x35);
  const Bytes behind = Answer(0x33, {0x09});
  Queue(Answer(0x35, {0x01}));
  Queue(behind);
  Drain(dispatcher);
  EXPECT_EQ(dispatcher.seen, (std::vector<std::uint8_t>{0x35}));
  EXPECT_EQ(dispatcher.taken, behind) << "the bytes behind the answer went to the handler";
}

TEST_F(DrainFixture, CountsAckBytesOnlyDuringFirmwareUpload) {
  RecordingDispatcher dispatcher(ring);
  Queue({0x06, 0x06, 0x43, 0x06});
  Drain(dispatcher);
  EXPECT_EQ(flags.ackCount.load(), 0u);
  flags.firmwareUpload = true;
  Queue({0x06, 0x06, 0x43, 0x06});
  Drain(dispatcher);
  EXPECT_EQ(flags.ackCount.load(), 3u);
}

TEST_F(DrainFixture, VisibleMonitorGetsEachReceivedLine) {
  RecordingDispatcher dispatcher(ring);
  RecordingMonitor monitor;
  const Bytes a = Answer(0x40, {0x02});
  Queue(a);
  Drain(dispatcher, &monitor);
  monitor.visible = false;
  Queue(a);
  Drain(dispatcher, &monitor);
  EXPECT_EQ(monitor.lines, (std::vector<Bytes>{a}));
}

}  // namespace
}  // namespace ql::link
