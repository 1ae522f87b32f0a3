// Receive against a scripted sender, in virtual time, into a file sink in memory.

#include <gtest/gtest.h>

#include "link/ymodem.h"
#include "tests/ymodem/support.h"

namespace ql::link {
namespace {

using namespace testsupport;
using namespace std::chrono_literals;

const Bytes kAckC{kAck, kC};

class ReceiveTest : public testing::Test {
 protected:
  ReceiveTest() {
    peer_.onWrite = [this](const Bytes&) { writeTimes_.push_back(clock_.Now() - start_); };
  }

  ReceiveOutcome Receive() {
    ReceiveOutcome outcome;
    start_ = clock_.Now();
    elapsed_ = RunInVirtualTime(clock_, {{&stream_, [&] { outcome = engine_.Receive(sink_); }}});
    // Whatever the end, no file is left half open in the sink.
    EXPECT_FALSE(sink_.FileOpen());
    return outcome;
  }
  // The names the sink stored, in the order it stored them.
  const std::vector<std::string>& Stored() const { return sink_.Committed(); }

  MemorySink sink_{FailTheTest()};
  VirtualClock clock_;
  TransferStream stream_{clock_};
  ScriptedPeer peer_{stream_};
  RecordingObserver observer_;
  CYmodem engine_{stream_, peer_, &observer_};
  IClock::TimePoint start_;
  IClock::Duration elapsed_{};
  std::vector<IClock::Duration> writeTimes_;
};

TEST_F(ReceiveTest, AStationThatSendsAtOnceGetsNoRequestFirst) {
  const Bytes content = Pattern(2500);
  const std::vector<Bytes> blocks = DataBlocks(content);
  stream_.Feed(Header("LOG0001.TXT", "2500"));
  peer_.Script({blocks[0], blocks[1], blocks[2], {kEot}, BatchEnd()});
  const ReceiveOutcome outcome = Receive();

  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message;
  EXPECT_EQ(outcome.total, 2500u);
  EXPECT_EQ(outcome.files, (std::vector<std::string>{"LOG0001.TXT"}));
  EXPECT_EQ(sink_.File("LOG0001.TXT"), content);
  EXPECT_EQ(Stored(), (std::vector<std::string>{"LOG0001.TXT"}));
  EXPECT_EQ(peer_.Writes(), (std::vector<Bytes>{kAckC, {kAck}, {kAck}, {kAck}, {kAck}, {kAck}}));
  // 2500 bytes: progress 0..5; the position follows the next block number.
  EXPECT_EQ(observer_.events,
            (std::vector<std::string>{"watchdog", "range 0..5", "pos 0", "pos 1", "watchdog",
                                      "pos 2", "watchdog", "pos 3", "watchdog", "pos 4", "watchdog",
                                      "clear", "pos 0", "clear"}));
  EXPECT_FALSE(stream_.AbortRequested());
}

TEST_F(ReceiveTest, AStandardSenderIsAskedWithCAfterASecondOfSilence) {
  const Bytes content = Pattern(100);
  // The sender starts on 'C', and after the end of file waits for 'C' again.
  peer_.Script({Header("a.bin", "100"), DataBlocks(content)[0], {kEot}, {}, BatchEnd()});
  const ReceiveOutcome outcome = Receive();
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message;
  EXPECT_EQ(sink_.File("a.bin"), content);
  const std::vector<Bytes> writes = peer_.Writes();
  ASSERT_EQ(writes.size(), 6u);
  EXPECT_EQ(writes[0], Bytes{kC});
  EXPECT_EQ(writeTimes_[0], 1s);
  EXPECT_EQ(writes[3], Bytes{kAck});  // the end of file
  EXPECT_EQ(writes[4], Bytes{kC});
  EXPECT_EQ(writeTimes_[4] - writeTimes_[3], 1s);
}

TEST_F(ReceiveTest, ASilentSenderIsAskedEverySecondAndTheReceiveFailsAfter10Seconds) {
  const ReceiveOutcome outcome = Receive();
  EXPECT_EQ(outcome.status.kind, ErrorKind::Timeout);
  EXPECT_EQ(outcome.total, 0u);
  EXPECT_TRUE(stream_.AbortRequested());
  EXPECT_EQ(elapsed_, 10s);
  EXPECT_EQ(peer_.Writes(), std::vector<Bytes>(9, Bytes{kC}));
  EXPECT_EQ(writeTimes_.front(), 1s);
  EXPECT_EQ(writeTimes_.back(), 9s);
}

TEST_F(ReceiveTest, ABatchOfTwoFilesReturnsTheSumOfTheirSizes) {
  const Bytes a = Pattern(1500, 1), b = Pattern(700, 2);
  const std::vector<Bytes> aBlocks = DataBlocks(a);
  stream_.Feed(Header("a.bin", "1500"));
  peer_.Script({aBlocks[0],
                aBlocks[1],
                {kEot},
                Header("b.bin", "700"),
                DataBlocks(b)[0],
                {kEot},
                BatchEnd()});
  const ReceiveOutcome outcome = Receive();
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message;
  EXPECT_EQ(outcome.total, 2200u);
  EXPECT_EQ(outcome.files, (std::vector<std::string>{"a.bin", "b.bin"}));
  EXPECT_EQ(sink_.File("a.bin"), a);
  EXPECT_EQ(sink_.File("b.bin"), b);
  EXPECT_EQ(Stored(), (std::vector<std::string>{"a.bin", "b.bin"}));
}

TEST_F(ReceiveTest, ARepeatOfTheBlockJustAcknowledgedIsAcknowledgedAgainAndWrittenOnce) {
  const Bytes content = Pattern(1500);
  const std::vector<Bytes> blocks = DataBlocks(content);
  stream_.Feed(Header("a.bin", "1500"));
  peer_.Script({blocks[0], blocks[0], blocks[1], {kEot}, BatchEnd()});
  const ReceiveOutcome outcome = Receive();
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message;
  EXPECT_EQ(peer_.Writes(), (std::vector<Bytes>{kAckC, {kAck}, {kAck}, {kAck}, {kAck}, {kAck}}));
  EXPECT_EQ(sink_.File("a.bin"), content);
  EXPECT_EQ(outcome.total, 1500u);
}

TEST_F(ReceiveTest, ARepeatedHeaderIsAcknowledgedWithARequestAgain) {
  const Bytes content = Pattern(900);
  stream_.Feed(Header("a.bin", "900"));
  peer_.Script({Header("a.bin", "900"), DataBlocks(content)[0], {kEot}, BatchEnd()});
  const ReceiveOutcome outcome = Receive();
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message;
  EXPECT_EQ(peer_.Writes(), (std::vector<Bytes>{kAckC, kAckC, {kAck}, {kAck}, {kAck}}));
  EXPECT_EQ(sink_.File("a.bin"), content);
  EXPECT_EQ(outcome.files.size(), 1u);
  EXPECT_EQ(sink_.Begun(), 1);  // the repeat does not start the file over
}

// Something wrong where block 1 should be: the receiver answers NAK, the sender sends
// block 1 again, and the file arrives whole.
struct BadBlockCase {
  const char* label;
  Bytes sent;
};
void PrintTo(const BadBlockCase& c, std::ostream* os) {
  *os << c.label;
}

class ReceiveNaks : public ReceiveTest, public testing::WithParamInterface<BadBlockCase> {};

TEST_P(ReceiveNaks, AndTakesTheRepeat) {
  const Bytes content = Pattern(3000);
  const std::vector<Bytes> blocks = DataBlocks(content);
  stream_.Feed(Header("a.bin", "3000"));
  peer_.Script({GetParam().sent, blocks[0], blocks[1], blocks[2], {kEot}, BatchEnd()});
  const ReceiveOutcome outcome = Receive();
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message;
  const std::vector<Bytes> writes = peer_.Writes();
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(writes[1], Bytes{kNak});
  EXPECT_EQ(sink_.File("a.bin"), content);
  EXPECT_EQ(Stored(), (std::vector<std::string>{"a.bin"}));
}

Bytes Flip(Bytes b, std::size_t at) {
  b[at] ^= 0x10;
  return b;
}
const Bytes kFirst = DataBlocks(Pattern(3000))[0];
INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiveNaks,
    testing::Values(BadBlockCase{"data_byte_hit", Flip(kFirst, 500)},
                    BadBlockCase{"crc_hit", Flip(kFirst, 1028)},
                    BadBlockCase{"complement_hit", Flip(kFirst, 2)},
                    BadBlockCase{"block_start_hit", Flip(kFirst, 0)},
                    BadBlockCase{"cut_short", Bytes(kFirst.begin(), kFirst.begin() + 600)},
                    BadBlockCase{"wrong_number", DataBlocks(Pattern(3000))[2]},
                    BadBlockCase{"lone_can", Bytes{kCan}},
                    BadBlockCase{"end_of_file_before_the_size", Bytes{kEot}}),
    [](const testing::TestParamInfo<BadBlockCase>& row) { return std::string(row.param.label); });

TEST_F(ReceiveTest, FiveBadComplementsInARowCancel) {
  stream_.Feed(Header("a.bin", "3000"));
  const Bytes bad = Flip(DataBlocks(Pattern(3000))[0], 2);
  peer_.Script({bad, bad, bad, bad, bad});
  const ReceiveOutcome outcome = Receive();
  EXPECT_EQ(outcome.status.kind, ErrorKind::Protocol);
  EXPECT_EQ(outcome.total, 0u);
  EXPECT_EQ(peer_.Writes(),
            (std::vector<Bytes>{kAckC, {kNak}, {kNak}, {kNak}, {kNak}, {kCan, kCan}}));
  EXPECT_TRUE(Stored().empty());
}

TEST_F(ReceiveTest, ThirtyNaksInARowEndTheReceive) {
  stream_.Feed(Header("a.bin", "3000"));
  const Bytes bad = Flip(DataBlocks(Pattern(3000))[0], 100);
  peer_.Script({bad});
  peer_.onEmpty = [&](const Bytes&) { return bad; };
  const ReceiveOutcome outcome = Receive();
  EXPECT_EQ(outcome.status.kind, ErrorKind::Protocol);
  const std::vector<Bytes> writes = peer_.Writes();
  EXPECT_EQ(std::count(writes.begin(), writes.end(), Bytes{kNak}), 30);
  EXPECT_EQ(observer_.events.back(), "clear");
  EXPECT_TRUE(Stored().empty());
}

TEST_F(ReceiveTest, CancelFromTheSenderEndsTheReceiveWithoutAFile) {
  stream_.Feed(Header("a.bin", "3000"));
  peer_.Script({DataBlocks(Pattern(3000))[0], {kCan, kCan}});
  const ReceiveOutcome outcome = Receive();
  EXPECT_EQ(outcome.status.kind, ErrorKind::Protocol);
  EXPECT_TRUE(Stored().empty());
}

TEST_F(ReceiveTest, SilenceDuringDataGetsOneReminderThenFailsAfter10Seconds) {
  stream_.Feed(Header("a.bin", "3000"));
  peer_.Script({DataBlocks(Pattern(3000))[0], {}});
  const ReceiveOutcome outcome = Receive();
  EXPECT_EQ(outcome.status.kind, ErrorKind::Timeout);
  EXPECT_TRUE(stream_.AbortRequested());
  EXPECT_EQ(peer_.Writes(), (std::vector<Bytes>{kAckC, {kAck}, {kNak}}));
  EXPECT_EQ(writeTimes_[2] - writeTimes_[1], 5s);
  EXPECT_EQ(elapsed_ - writeTimes_[1], 10s);
}

TEST_F(ReceiveTest, ALostRequestAfterTheHeaderIsRepeatedAfter5Seconds) {
  const Bytes content = Pattern(800);
  stream_.Feed(Header("a.bin", "800"));
  peer_.Script({{}, DataBlocks(content)[0], {kEot}, BatchEnd()});
  const ReceiveOutcome outcome = Receive();
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message;
  const std::vector<Bytes> writes = peer_.Writes();
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(writes[1], Bytes{kC});
  EXPECT_EQ(writeTimes_[1] - writeTimes_[0], 5s);
  EXPECT_EQ(sink_.File("a.bin"), content);
}

// Headers that must not be stored: refused with NAK, the receive fails with a reason, and
// the name never reaches the sink, so nothing can appear in a folder or beside it.
struct RefusedCase {
  const char* label;
  Bytes header;
};
void PrintTo(const RefusedCase& c, std::ostream* os) {
  *os << c.label;
}

class ReceiveRefuses : public ReceiveTest, public testing::WithParamInterface<RefusedCase> {};

TEST_P(ReceiveRefuses, TheHeader) {
  stream_.Feed(GetParam().header);
  peer_.Script({DataBlocks(Pattern(100))[0]});
  const ReceiveOutcome outcome = Receive();
  EXPECT_FALSE(outcome.status.ok());
  EXPECT_FALSE(outcome.status.message.empty());
  EXPECT_EQ(outcome.total, 0u);
  EXPECT_EQ(peer_.Writes(), (std::vector<Bytes>{{kNak}}));
  EXPECT_EQ(sink_.Begun(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiveRefuses,
    testing::Values(RefusedCase{"climbs_out", Header("../evil.txt", "100")},
                    RefusedCase{"path", Header("in/../../evil.txt", "100")},
                    RefusedCase{"parent", Header("..", "100")},
                    RefusedCase{"empty_name", Header("", "100")},
                    RefusedCase{"name_of_64", Header(std::string(64, 'a'), "100")},
                    RefusedCase{"size_of_16", Header("a.bin", "0000000000000100")}),
    [](const testing::TestParamInfo<RefusedCase>& row) { return std::string(row.param.label); });

TEST_F(ReceiveTest, ANameOf63CharactersIsStored) {
  const std::string name(63, 'n');
  stream_.Feed(Header(name, "5"));
  peer_.Script({DataBlocks(Pattern(5))[0], {kEot}, BatchEnd()});
  const ReceiveOutcome outcome = Receive();
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message;
  EXPECT_EQ(sink_.File(name), Pattern(5));
}

// The sink fails the second file of a batch: the sender is told with CAN CAN, the receive
// ends with the sink's own status, and the file before stays stored.
struct SinkFailureCase {
  const char* label;
  std::function<void(MemorySink&)> arrange;
  Status expected;
};
void PrintTo(const SinkFailureCase& c, std::ostream* os) {
  *os << c.label;
}

class ReceiveSinkFails : public ReceiveTest, public testing::WithParamInterface<SinkFailureCase> {};

TEST_P(ReceiveSinkFails, CancelsWithTheSinksStatus) {
  GetParam().arrange(sink_);
  sink_.failName = "b.bin";
  const Bytes a = Pattern(700, 1);
  const std::vector<Bytes> bBlocks = DataBlocks(Pattern(3000, 2));
  stream_.Feed(Header("a.bin", "700"));
  peer_.Script({DataBlocks(a)[0],
                {kEot},
                Header("b.bin", "3000"),
                bBlocks[0],
                bBlocks[1],
                bBlocks[2],
                {kEot},
                BatchEnd()});
  const ReceiveOutcome outcome = Receive();
  EXPECT_EQ(outcome.status.kind, GetParam().expected.kind);
  EXPECT_EQ(outcome.status.message, GetParam().expected.message);
  EXPECT_EQ(outcome.total, 0u);
  EXPECT_EQ(outcome.files, (std::vector<std::string>{"a.bin"}));
  EXPECT_EQ(Stored(), (std::vector<std::string>{"a.bin"}));
  EXPECT_EQ(sink_.File("a.bin"), a);
  const std::vector<Bytes> writes = peer_.Writes();
  EXPECT_EQ(std::count(writes.begin(), writes.end(), Bytes{kCan, kCan}), 1);
  EXPECT_EQ(writes.back(), (Bytes{kCan, kCan}));
}

const Status kFull = Status::Error(ErrorKind::Io, "b.bin: No space left on device");
INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiveSinkFails,
    testing::Values(
        SinkFailureCase{"begin_refused", [](MemorySink& s) { s.beginFails = kFull; }, kFull},
        SinkFailureCase{
            "larger_than_the_sink_takes", [](MemorySink& s) { s.maxFileSize = 2999; },
            Status::Error(ErrorKind::BadArgument, "b.bin is larger than the sink takes")},
        SinkFailureCase{"write_fails",
                        [](MemorySink& s) {
                          s.writeFails = kFull;
                          s.failAtByte = 1500;
                        },
                        kFull},
        SinkFailureCase{"commit_fails", [](MemorySink& s) { s.commitFails = kFull; }, kFull}),
    [](const testing::TestParamInfo<SinkFailureCase>& row) {
      return std::string(row.param.label);
    });

// A sender that goes on after the size it declared: every new block would be
// acknowledged and keep the receive alive for ever. The first block past the size is
// cancelled, however the sender goes on.
TEST_F(ReceiveTest, ASenderThatGoesOnPastTheDeclaredSizeIsCancelled) {
  stream_.Feed(Header("a.bin", "1500"));
  std::uint8_t next = 1;
  peer_.onEmpty = [&](const Bytes&) {
    const std::uint8_t number = next++;
    return Block(kStx, number, Pattern(1024, number));
  };
  const ReceiveOutcome outcome = Receive();
  EXPECT_EQ(outcome.status.kind, ErrorKind::Protocol);
  EXPECT_NE(outcome.status.message.find("past the end of a.bin"), std::string::npos)
      << outcome.status.message;
  EXPECT_EQ(outcome.total, 0u);
  // Blocks 1 and 2 (the padded last one) are taken, block 3 is not.
  EXPECT_EQ(peer_.Writes(), (std::vector<Bytes>{kAckC, {kAck}, {kAck}, {kCan, kCan}}));
  EXPECT_TRUE(Stored().empty());
  EXPECT_EQ(sink_.Aborted(), 1);
}

TEST_F(ReceiveTest, ARepeatOfTheLastBlockAfterTheSizeIsStillAcknowledged) {
  const Bytes content = Pattern(2048);
  const std::vector<Bytes> blocks = DataBlocks(content);
  stream_.Feed(Header("a.bin", "2048"));
  peer_.Script({blocks[0], blocks[1], blocks[1], {kEot}, BatchEnd()});
  const ReceiveOutcome outcome = Receive();
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message;
  EXPECT_EQ(peer_.Writes(), (std::vector<Bytes>{kAckC, {kAck}, {kAck}, {kAck}, {kAck}, {kAck}}));
  EXPECT_EQ(sink_.File("a.bin"), content);
}

// The declared size is bounded before anything is begun: a header declaring more than a
// received file may have is cancelled, whatever the sink would take.
struct DeclaredSizeCase {
  const char* label;
  std::string size;
  bool taken;
};
void PrintTo(const DeclaredSizeCase& c, std::ostream* os) {
  *os << c.label;
}

class ReceiveDeclaredSize : public ReceiveTest,
                            public testing::WithParamInterface<DeclaredSizeCase> {};

TEST_P(ReceiveDeclaredSize, IsTakenOnlyUpToTheLimit) {
  sink_.maxFileSize = UINT64_MAX;
  stream_.Feed(Header("big.log", GetParam().size));
  // A sender that is taken gives up at once, so the test need not send the data.
  peer_.Script({{kCan, kCan}});
  const ReceiveOutcome outcome = Receive();
  EXPECT_FALSE(outcome.status.ok());
  EXPECT_TRUE(Stored().empty());
  const std::vector<Bytes> writes = peer_.Writes();
  ASSERT_FALSE(writes.empty());
  if (GetParam().taken) {
    EXPECT_EQ(writes[0], kAckC);
    EXPECT_EQ(sink_.Begun(), 1);
  } else {
    EXPECT_EQ(writes, (std::vector<Bytes>{{kCan, kCan}}));
    EXPECT_EQ(outcome.status.kind, ErrorKind::Protocol);
    EXPECT_NE(outcome.status.message.find("big.log"), std::string::npos) << outcome.status.message;
    EXPECT_EQ(sink_.Begun(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReceiveDeclaredSize,
                         // 64 MiB, as the README gives it.
                         testing::Values(DeclaredSizeCase{"at_the_limit", "67108864", true},
                                         DeclaredSizeCase{"one_past_the_limit", "67108865", false},
                                         DeclaredSizeCase{"fifteen_digits", "999999999999999",
                                                          false}),
                         [](const testing::TestParamInfo<DeclaredSizeCase>& row) {
                           return std::string(row.param.label);
                         });

TEST_F(ReceiveTest, ASinkThatCannotTakeFilesEndsTheReceiveBeforeAnythingIsSent) {
  sink_.prepareFails = Status::Error(ErrorKind::BadArgument, "/gone is not a folder");
  stream_.Feed(Header("a.bin", "300"));
  const ReceiveOutcome outcome = Receive();
  EXPECT_EQ(outcome.status.kind, ErrorKind::BadArgument);
  EXPECT_EQ(outcome.status.message, "/gone is not a folder");
  EXPECT_TRUE(peer_.Writes().empty());
  EXPECT_EQ(sink_.Begun(), 0);
}

TEST_F(ReceiveTest, SmallBlocksAndAStandardHeaderTail) {
  // What lrzsz sends: size, date and mode after the name; the tail of a file in 128-byte
  // blocks padded with 0x1A.
  const Bytes content = Pattern(1100);
  stream_.Feed(Header("a.bin", "1100 14712345671 100644 0 1 1100"));
  peer_.Script({Block(kStx, 1, Bytes(content.begin(), content.begin() + 1024)),
                Block(kSoh, 2, Bytes(content.begin() + 1024, content.end())),
                {kEot},
                BatchEnd()});
  const ReceiveOutcome outcome = Receive();
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message;
  EXPECT_EQ(sink_.File("a.bin"), content);
}

}  // namespace
}  // namespace ql::link
