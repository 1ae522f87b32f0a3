// SendFile against a scripted receiver, in virtual time.

#include <gtest/gtest.h>

#include "link/ymodem.h"
#include "tests/ymodem/support.h"

namespace ql::link {
namespace {

using namespace testsupport;

// Names a write of the sender for compact expectations.
std::string Label(const Bytes& w) {
  if (w.size() == 133 && w[0] == kSoh) {
    return std::all_of(w.begin() + 3, w.begin() + 131, [](std::uint8_t b) { return b == 0; })
               ? "end"
               : "hdr";
  }
  if (w.size() == 1029 && w[0] == kStx) return "blk" + std::to_string(w[1]);
  if (w == Bytes{kEot}) return "eot";
  if (w == Bytes{kCan, kCan}) return "can";
  return "?";
}

std::vector<std::string> Labels(const std::vector<Bytes>& writes) {
  std::vector<std::string> labels;
  for (const Bytes& w : writes) labels.push_back(Label(w));
  return labels;
}

class SendFileTest : public testing::Test {
 protected:
  SendOutcome Send(const Bytes& content, const std::string& name = "fw.bin") {
    SendOutcome outcome;
    elapsed_ =
        RunInVirtualTime(clock_, {{&stream_, [&] { outcome = engine_.SendFile(content, name); }}});
    return outcome;
  }
  // The peer takes the line time of what the sender writes (115200 baud: 87 us a byte),
  // so that a receiver answering at once still lets time pass.
  void ChargeLineTime() {
    peer_.onWrite = [this](const Bytes& w) {
      clock_.Advance(std::chrono::microseconds(87) * static_cast<int>(w.size()));
    };
  }

  VirtualClock clock_;
  TransferStream stream_{clock_};
  ScriptedPeer peer_{stream_};
  CYmodem engine_{stream_, peer_};
  IClock::Duration elapsed_{};
};

TEST_F(SendFileTest, A2500ByteFileGoesOutAsThreeStxBlocksThenEotThenTheEmptyHeader) {
  const Bytes content = Pattern(2500);
  stream_.Feed(Bytes{kC});  // one request is enough
  peer_.Script({{kAck, kC}, {kAck}, {kAck}, {kAck}, {kAck, kC}, {kAck}});
  const SendOutcome outcome = Send(content, "DOCK1.bin");

  EXPECT_TRUE(outcome.status.ok()) << outcome.status.message;
  EXPECT_EQ(outcome.result, 2500u);
  EXPECT_TRUE(outcome.delivered);
  EXPECT_FALSE(stream_.AbortRequested());
  const std::vector<Bytes> writes = peer_.Writes();
  ASSERT_EQ(writes.size(), 6u);
  EXPECT_EQ(writes[0], Header("DOCK1.bin", "2500"));
  const Bytes first(content.begin(), content.begin() + 1024);
  const Bytes second(content.begin() + 1024, content.begin() + 2048);
  const Bytes third(content.begin() + 2048, content.end());
  ASSERT_EQ(third.size(), 452u);
  EXPECT_EQ(writes[1], Block(kStx, 1, first));
  EXPECT_EQ(writes[2], Block(kStx, 2, second));
  EXPECT_EQ(writes[3], Block(kStx, 3, third, ymodem::kFiller));
  EXPECT_EQ(writes[4], Bytes{kEot});
  EXPECT_EQ(writes[5], Block(kSoh, 0, Bytes(128, 0), 0));
}

TEST_F(SendFileTest, BytesBeforeTheRequestAreSkipped) {
  stream_.Feed(Bytes{0x00, kNak, kAck, kC});
  peer_.Script({{kAck, kC}, {kAck}, {kAck, kC}, {kAck}});
  const SendOutcome outcome = Send(Pattern(10));
  EXPECT_TRUE(outcome.status.ok()) << outcome.status.message;
  EXPECT_EQ(Labels(peer_.Writes()), (std::vector<std::string>{"hdr", "blk1", "eot", "end"}));
}

// Answers that must make the sender repeat what it sent, in each phase, and still end
// with the whole file delivered.
struct RepeatCase {
  const char* label;
  std::vector<Bytes> replies;
  std::vector<std::string> writes;
};
void PrintTo(const RepeatCase& c, std::ostream* os) {
  *os << c.label;
}

class SendFileRepeats : public SendFileTest, public testing::WithParamInterface<RepeatCase> {};

TEST_P(SendFileRepeats, AndDelivers) {
  const RepeatCase& c = GetParam();
  stream_.Feed(Bytes{kC});
  peer_.Script(c.replies);
  const SendOutcome outcome = Send(Pattern(1500));
  EXPECT_TRUE(outcome.status.ok()) << outcome.status.message;
  EXPECT_EQ(outcome.result, 1500u);
  EXPECT_FALSE(stream_.AbortRequested());
  EXPECT_EQ(Labels(peer_.Writes()), c.writes);
}

const Bytes kAckC{kAck, kC};
INSTANTIATE_TEST_SUITE_P(
    Cases, SendFileRepeats,
    testing::Values(RepeatCase{"header_nak",
                               {{kNak}, kAckC, {kAck}, {kAck}, kAckC, {kAck}},
                               {"hdr", "hdr", "blk1", "blk2", "eot", "end"}},
                    // The receiver did not get the header and asks again.
                    RepeatCase{"header_answered_with_c",
                               {{kC}, kAckC, {kAck}, {kAck}, kAckC, {kAck}},
                               {"hdr", "hdr", "blk1", "blk2", "eot", "end"}},
                    // The header's ACK was hit on the line; the receiver acknowledges the repeat.
                    RepeatCase{"header_ack_garbled",
                               {{kGarbled, kC}, kAckC, {kAck}, {kAck}, kAckC, {kAck}},
                               {"hdr", "hdr", "blk1", "blk2", "eot", "end"}},
                    RepeatCase{"data_nak",
                               {kAckC, {kNak}, {kAck}, {kAck}, kAckC, {kAck}},
                               {"hdr", "blk1", "blk1", "blk2", "eot", "end"}},
                    RepeatCase{"data_ack_garbled",
                               {kAckC, {kGarbled}, {kAck}, {kAck}, kAckC, {kAck}},
                               {"hdr", "blk1", "blk1", "blk2", "eot", "end"}},
                    // A single CAN is a garbled byte, not a cancel.
                    RepeatCase{"lone_can",
                               {kAckC, {kAck}, {kCan}, {kAck}, kAckC, {kAck}},
                               {"hdr", "blk1", "blk2", "blk2", "eot", "end"}},
                    RepeatCase{"eot_nak",
                               {kAckC, {kAck}, {kAck}, {kNak}, kAckC, {kAck}},
                               {"hdr", "blk1", "blk2", "eot", "eot", "end"}},
                    RepeatCase{"eot_ack_garbled",
                               {kAckC, {kAck}, {kAck}, {kGarbled}, kAckC, {kAck}},
                               {"hdr", "blk1", "blk2", "eot", "eot", "end"}},
                    RepeatCase{"batch_end_nak",
                               {kAckC, {kAck}, {kAck}, kAckC, {kNak}, {kAck}},
                               {"hdr", "blk1", "blk2", "eot", "end", "end"}},
                    RepeatCase{"batch_end_ack_garbled",
                               {kAckC, {kAck}, {kAck}, kAckC, {kGarbled}, {kAck}},
                               {"hdr", "blk1", "blk2", "eot", "end", "end"}}),
    [](const testing::TestParamInfo<RepeatCase>& row) { return std::string(row.param.label); });

TEST_F(SendFileTest, NoRequestWithin10SecondsCancelsWithResult0) {
  const SendOutcome outcome = Send(Pattern(100));
  EXPECT_EQ(outcome.result, 0u);
  EXPECT_EQ(outcome.status.kind, ErrorKind::Timeout);
  EXPECT_TRUE(stream_.AbortRequested());
  EXPECT_EQ(Labels(peer_.Writes()), (std::vector<std::string>{"can"}));
  EXPECT_EQ(elapsed_, std::chrono::seconds(10));
}

TEST_F(SendFileTest, ARefusedHeaderIsCancelledAfterTenSends) {
  stream_.Feed(Bytes{kC});
  peer_.onEmpty = [](const Bytes&) { return Bytes{kNak}; };
  const SendOutcome outcome = Send(Pattern(100));
  EXPECT_EQ(outcome.result, 0u);
  EXPECT_EQ(outcome.status.kind, ErrorKind::Protocol);
  std::vector<std::string> expected(10, "hdr");
  expected.push_back("can");
  EXPECT_EQ(Labels(peer_.Writes()), expected);
}

TEST_F(SendFileTest, CancelFromTheReceiverDuringDataSetsAbortAndKeepsTheSizeAsResult) {
  stream_.Feed(Bytes{kC});
  peer_.Script({kAckC, {kCan, kCan}});
  const SendOutcome outcome = Send(Pattern(3000));
  EXPECT_EQ(outcome.result, 3000u);
  EXPECT_FALSE(outcome.delivered);
  EXPECT_EQ(outcome.status.kind, ErrorKind::Protocol);
  EXPECT_TRUE(stream_.AbortRequested());
  EXPECT_EQ(Labels(peer_.Writes()), (std::vector<std::string>{"hdr", "blk1"}));
}

TEST_F(SendFileTest, ASilentReceiverDuringDataEndsWithAbortAfter10Seconds) {
  stream_.Feed(Bytes{kC});
  peer_.Script({kAckC, {kAck}, {}});
  const SendOutcome outcome = Send(Pattern(3000));
  EXPECT_EQ(outcome.result, 3000u);
  EXPECT_EQ(outcome.status.kind, ErrorKind::Timeout);
  EXPECT_TRUE(stream_.AbortRequested());
  EXPECT_EQ(elapsed_, std::chrono::seconds(10));
  EXPECT_EQ(Labels(peer_.Writes()), (std::vector<std::string>{"hdr", "blk1", "blk2"}));
}

TEST_F(SendFileTest, TheDataPhaseEndsAfter300Seconds) {
  stream_.Feed(Bytes{kC});
  ChargeLineTime();
  peer_.Script({kAckC});
  peer_.onEmpty = [](const Bytes&) { return Bytes{kNak}; };
  const SendOutcome outcome = Send(Pattern(3000));
  EXPECT_EQ(outcome.status.kind, ErrorKind::Timeout);
  EXPECT_TRUE(stream_.AbortRequested());
  EXPECT_EQ(outcome.result, 3000u);
  // Header and request first, then at most one more block after the limit.
  EXPECT_GE(elapsed_, std::chrono::seconds(300));
  EXPECT_LT(elapsed_, std::chrono::seconds(300) + std::chrono::milliseconds(200));
}

TEST_F(SendFileTest, NoRequestAfterTheEndOfFileLeavesTheFileDeliveredButTheSendFailed) {
  stream_.Feed(Bytes{kC});
  peer_.Script({kAckC, {kAck}, {kAck}});
  const SendOutcome outcome = Send(Pattern(1000));
  EXPECT_TRUE(outcome.delivered);
  EXPECT_EQ(outcome.status.kind, ErrorKind::Timeout);
  EXPECT_TRUE(stream_.AbortRequested());
  EXPECT_EQ(elapsed_, std::chrono::seconds(10));
}

TEST_F(SendFileTest, AnAbortFromOutsideEndsTheSendAtOnce) {
  stream_.Feed(Bytes{kC});
  peer_.Script({kAckC, {kAck}});
  peer_.onWrite = [this](const Bytes& w) {
    if (Label(w) == "blk2") stream_.SetAbort();
  };
  const SendOutcome outcome = Send(Pattern(5000));
  EXPECT_EQ(outcome.result, 5000u);
  EXPECT_FALSE(outcome.status.ok());
  EXPECT_EQ(elapsed_, IClock::Duration::zero());
  EXPECT_EQ(Labels(peer_.Writes()), (std::vector<std::string>{"hdr", "blk1", "blk2"}));
}

TEST_F(SendFileTest, AFileWithoutNameIsRefused) {
  const SendOutcome outcome = Send(Pattern(10), "");
  EXPECT_EQ(outcome.status.kind, ErrorKind::BadArgument);
  EXPECT_EQ(outcome.result, 0u);
}

TEST_F(SendFileTest, AnEmptyFileIsAHeaderWithSize0ThenEot) {
  stream_.Feed(Bytes{kC});
  peer_.Script({kAckC, kAckC, {kAck}});
  const SendOutcome outcome = Send({}, "empty.bin");
  EXPECT_TRUE(outcome.status.ok()) << outcome.status.message;
  const std::vector<Bytes> writes = peer_.Writes();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0], Header("empty.bin", "0"));
  EXPECT_EQ(Label(writes[1]), "eot");
  EXPECT_EQ(Label(writes[2]), "end");
}

// The waits the transfer workers use before a transfer starts.
TEST_F(SendFileTest, GetByteGivesUpAfter10SecondsAndSetsAbort) {
  std::optional<std::uint8_t> got;
  const IClock::Duration elapsed =
      RunInVirtualTime(clock_, {{&stream_, [&] { got = engine_.GetByte(); }}});
  EXPECT_FALSE(got);
  EXPECT_EQ(elapsed, std::chrono::seconds(10));
  EXPECT_TRUE(stream_.AbortRequested());
}

TEST_F(SendFileTest, WaitForByteSkipsOtherBytes) {
  stream_.Feed(Bytes{kNak, 0x00, kC, kAck});
  std::optional<std::uint8_t> got;
  RunInVirtualTime(clock_, {{&stream_, [&] { got = engine_.WaitForByte(kC); }}});
  EXPECT_EQ(got, kC);
  EXPECT_EQ(stream_.Available(), 1u);
  EXPECT_FALSE(stream_.AbortRequested());
}

}  // namespace
}  // namespace ql::link
