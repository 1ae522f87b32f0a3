#include "link/drain.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/link/answer_frame.h"

namespace ql::link {
namespace {

using testsupport::Answer;
using testsupport::Bytes;

class NoGapTimer : public IGapTimer {
 public:
  void RestartGapTimer() override {}
};

// Takes the codes it knows, like the response table.
class RecordingDispatcher : public IFrameDispatcher {
 public:
  explicit RecordingDispatcher(std::set<std::uint8_t> known) : known_(std::move(known)) {}
  bool Dispatch(const ReceivedFrame& frame) override {
    seen.push_back(frame.command);
    return known_.count(frame.command) > 0;
  }
  std::vector<std::uint8_t> seen;

 private:
  std::set<std::uint8_t> known_;
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

TEST_F(DrainFixture, StopsAfterAHandledFrameAndKeepsTheRest) {
  RecordingDispatcher dispatcher({0x40, 0x31});
  const Bytes second = Answer(0x31, {});
  Queue(Answer(0x40, {0x01}));
  Queue(second);
  Drain(dispatcher);
  EXPECT_EQ(dispatcher.seen, (std::vector<std::uint8_t>{0x40}));
  EXPECT_EQ(ring.Count(), second.size());
  EXPECT_TRUE(flags.rxActivity.load());

  Drain(dispatcher);
  EXPECT_EQ(dispatcher.seen, (std::vector<std::uint8_t>{0x40, 0x31}));
  EXPECT_EQ(ring.Count(), 0u);
}

TEST_F(DrainFixture, UnknownCodeDoesNotStopTheDrain) {
  RecordingDispatcher dispatcher({0x40});
  Queue(Answer(0x77, {0x01, 0x02}));
  Queue(Answer(0x40, {0x02}));
  Drain(dispatcher);
  EXPECT_EQ(dispatcher.seen, (std::vector<std::uint8_t>{0x77, 0x40}));
}

TEST_F(DrainFixture, CountsAckBytesOnlyDuringFirmwareUpload) {
  RecordingDispatcher dispatcher({});
  Queue({0x06, 0x06, 0x43, 0x06});
  Drain(dispatcher);
  EXPECT_EQ(flags.ackCount.load(), 0u);
  flags.firmwareUpload = true;
  Queue({0x06, 0x06, 0x43, 0x06});
  Drain(dispatcher);
  EXPECT_EQ(flags.ackCount.load(), 3u);
}

TEST_F(DrainFixture, VisibleMonitorGetsEachReceivedLine) {
  RecordingDispatcher dispatcher({});
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
