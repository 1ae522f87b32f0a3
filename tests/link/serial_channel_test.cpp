#include "link/serial_channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/link/pty_pair.h"

namespace ql::link {
namespace {

using testsupport::PtyPair;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Counts what the channel posts, so a test knows a notification is waiting.
class CountingPoster : public IUiPoster {
 public:
  explicit CountingPoster(EventLoop& loop) : loop_(loop) {}
  void Post(std::function<void()> task) override {
    posted.fetch_add(1);
    loop_.Post(std::move(task));
  }
  std::atomic<int> posted{0};

 private:
  EventLoop& loop_;
};

// Plays the channel's owner: drains the queue on each notification unless told not to.
// The channel promises its UI callbacks on the UI thread (the one that runs the loop: the
// test's own) and transfer bytes on its watch thread; a call on the wrong thread fails
// the test.
class Recorder : public ISerialEvents {
 public:
  void OnSerialData() override {
    RequireUiThread("OnSerialData");
    ++notifications;
    if (onData) onData();
    if (!drain || channel == nullptr) return;
    std::uint8_t b = 0;
    while (channel->Queue().Pop(b)) received.push_back(b);
  }
  void OnTransferBytes(std::span<const std::uint8_t> bytes) override {
    if (std::this_thread::get_id() == uiThread_)
      ADD_FAILURE() << "OnTransferBytes on the UI thread";
    std::lock_guard lock(mutex);
    transfer.insert(transfer.end(), bytes.begin(), bytes.end());
  }
  void OnChannelMessage(std::string_view text) override {
    RequireUiThread("OnChannelMessage");
    messages.emplace_back(text);
  }
  void OnLineLost() override {
    RequireUiThread("OnLineLost");
    ++linesLost;
  }

  CSerialChannel* channel = nullptr;
  bool drain = true;
  std::function<void()> onData;
  int notifications = 0;
  int linesLost = 0;
  Bytes received;
  std::vector<std::string> messages;
  std::mutex mutex;
  Bytes transfer;

 private:
  void RequireUiThread(const char* what) const {
    if (std::this_thread::get_id() != uiThread_) ADD_FAILURE() << what << " off the UI thread";
  }
  const std::thread::id uiThread_ = std::this_thread::get_id();
};

class SerialChannelTest : public testing::Test {
 protected:
  SerialChannelTest() { events_.channel = &channel_; }
  bool Run(const std::function<bool()>& done) { return loop_.RunUntil(done, 5s); }
  Bytes Pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + 7);
    return b;
  }

  PtyPair pty_;
  EventLoop loop_;
  CountingPoster poster_{loop_};
  SharedFlags flags_;
  Recorder events_;
  CSerialChannel channel_{flags_, events_, poster_};
};

TEST_F(SerialChannelTest, WrittenBytesReachTheOtherSide) {
  ASSERT_TRUE(channel_.Open(pty_.SlavePath(), {}).ok()) << channel_.LastError().message;
  const Bytes frame = {0x02, 0x40, 0x00, 0x00, 0x1D, 0xAD, 0x03, 0x11, 0x13, 0x0D, 0x0A};
  EXPECT_EQ(channel_.Write(frame), frame.size());
  EXPECT_EQ(pty_.Receive(frame.size()), frame);  // raw: no flow control, no CR/LF mapping
}

TEST_F(SerialChannelTest, ReceivedBurstsReachTheQueueThroughNotifications) {
  ASSERT_TRUE(channel_.Open(pty_.SlavePath(), {}).ok());
  const Bytes data = Pattern(3000);
  pty_.Send(data);
  ASSERT_TRUE(Run([&] { return events_.received.size() >= data.size(); }));
  EXPECT_EQ(events_.received, data);
  EXPECT_GE(events_.notifications, 1);
  EXPECT_TRUE(flags_.rxActivity.load());
}

TEST_F(SerialChannelTest, TransferRoutingFollowsTheFlags) {
  ASSERT_TRUE(channel_.Open(pty_.SlavePath(), {}).ok());
  flags_.logReceiveArmed = true;
  pty_.Send({1, 2, 3});
  ASSERT_TRUE(Run([&] { return events_.notifications >= 1; }));
  flags_.logReceiveArmed = false;
  flags_.firmwareUpload = true;
  pty_.Send({4, 5});
  ASSERT_TRUE(Run([&] { return events_.received.size() >= 2; }));
  std::lock_guard lock(events_.mutex);
  EXPECT_EQ(events_.transfer, (Bytes{1, 2, 3, 4, 5}));  // log bytes only to the transfer
  EXPECT_EQ(events_.received, (Bytes{4, 5}));           // upload bytes to both
}

TEST_F(SerialChannelTest, OverflowEmptiesTheQueueAndSaysBuffFull) {
  events_.drain = false;
  ASSERT_TRUE(channel_.Open(pty_.SlavePath(), {}).ok());
  pty_.Send(Pattern(5000));
  ASSERT_TRUE(Run([&] { return channel_.Queue().Count() == 5000; }));
  pty_.Send(Pattern(5000));
  ASSERT_TRUE(Run([&] { return !events_.messages.empty(); }));
  EXPECT_EQ(events_.messages.front(), "buff full");
  EXPECT_LT(channel_.Queue().Count(), 5000u);
}

TEST_F(SerialChannelTest, AFloodingLineIsReportedOnceUntilRearmedAndCounted) {
  events_.drain = false;
  ASSERT_TRUE(channel_.Open(pty_.SlavePath(), {}).ok());
  // Each round overflows the 8192-byte queue several times.
  const auto flood = [&](std::uint64_t droppedAtLeast) {
    std::atomic<bool> sent{false};
    std::thread sender([&] {
      pty_.Send(Pattern(60000));
      sent.store(true);
    });
    // The loop keeps running until the sender is done: the watch thread waits for it.
    const bool reached =
        Run([&] { return sent.load() && channel_.DroppedChunks() >= droppedAtLeast; });
    sender.join();
    return reached;
  };
  ASSERT_TRUE(flood(3));
  loop_.RunPending();
  EXPECT_EQ(events_.messages, std::vector<std::string>{"buff full"});

  channel_.RearmOverflowReport();
  const std::uint64_t before = channel_.DroppedChunks();
  ASSERT_TRUE(flood(before + 1));
  loop_.RunPending();
  EXPECT_EQ(events_.messages, (std::vector<std::string>{"buff full", "buff full"}));
}

TEST_F(SerialChannelTest, CloseEndsTheWatchThreadWithoutAnotherNotification) {
  ASSERT_TRUE(channel_.Open(pty_.SlavePath(), {}).ok());
  pty_.Send({0x55});
  // The watch thread now waits for its notification to be handled; Close must not wait
  // for the UI thread to do so.
  // Wait for the post without running the loop, so the notification stays unhandled.
  for (int i = 0; i < 5000 && poster_.posted.load() == 0; ++i) std::this_thread::sleep_for(1ms);
  ASSERT_EQ(poster_.posted.load(), 1);
  channel_.Close();
  EXPECT_FALSE(channel_.IsConnected());
  loop_.RunPending();
  EXPECT_EQ(events_.notifications, 0);
  EXPECT_EQ(channel_.Write(Bytes{1}), 0u);
}

TEST_F(SerialChannelTest, CloseFromInsideTheNotificationHandler) {
  ASSERT_TRUE(channel_.Open(pty_.SlavePath(), {}).ok());
  events_.onData = [&] { channel_.Close(); };
  pty_.Send({0x55});
  ASSERT_TRUE(Run([&] { return events_.notifications == 1; }));
  EXPECT_FALSE(channel_.IsConnected());
  // The port is free again for the next connection.
  EXPECT_TRUE(channel_.Open(pty_.SlavePath(), {}).ok()) << channel_.LastError().message;
}

TEST_F(SerialChannelTest, WriteOnAClosedChannelWritesNothing) {
  EXPECT_EQ(channel_.Write(Bytes{1, 2, 3}), 0u);
  ASSERT_TRUE(channel_.Open(pty_.SlavePath(), {}).ok());
  channel_.Close();
  EXPECT_EQ(channel_.Write(Bytes{1, 2, 3}), 0u);
  EXPECT_TRUE(pty_.Receive(1, 20ms).empty());
}

TEST_F(SerialChannelTest, AHeldPortFailsToOpenUntilReleased) {
  ASSERT_TRUE(channel_.Open(pty_.SlavePath(), {}).ok());
  Recorder otherEvents;
  CSerialChannel other(flags_, otherEvents, poster_);
  EXPECT_FALSE(other.Open(pty_.SlavePath(), {}).ok());
  EXPECT_EQ(other.LastError().kind, ErrorKind::Busy);
  EXPECT_FALSE(other.IsConnected());
  // The holder is unaffected.
  EXPECT_EQ(channel_.Write(Bytes{9}), 1u);
  channel_.Close();
  EXPECT_TRUE(other.Open(pty_.SlavePath(), {}).ok()) << other.LastError().message;
}

TEST_F(SerialChannelTest, OpenFailsCleanlyForAMissingDevice) {
  EXPECT_FALSE(channel_.Open("/dev/quaylink-no-such-port", {}).ok());
  EXPECT_EQ(channel_.LastError().kind, ErrorKind::Io);
  EXPECT_NE(channel_.LastError().message.find("/dev/quaylink-no-such-port"), std::string::npos);
  // The advice on access is for a port that exists and may not be opened.
  EXPECT_EQ(channel_.LastError().message.find("dialout"), std::string::npos);
  EXPECT_FALSE(channel_.IsConnected());
}

TEST_F(SerialChannelTest, PeerHangingUpIsReportedOnce) {
  ASSERT_TRUE(channel_.Open(pty_.SlavePath(), {}).ok());
  pty_.CloseMaster();
  ASSERT_TRUE(Run([&] { return events_.linesLost == 1; }));
  channel_.Close();
  loop_.RunPending();
  EXPECT_EQ(events_.linesLost, 1);
}

}  // namespace
}  // namespace ql::link
