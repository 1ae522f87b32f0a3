// Our sender against our receiver on a simulated line, in virtual time, with one byte hit
// or lost in each phase of the transfer. Every case must still deliver the file whole.

#include <gtest/gtest.h>

#include "link/ymodem.h"
#include "tests/ymodem/support.h"

namespace ql::link {
namespace {

using namespace testsupport;
using namespace std::chrono_literals;

// One direction of the line: what one engine writes reaches the other's stream, after
// `fault` has changed it (or not). One writer at a time, or the test fails.
class Wire : public IByteWriter {
 public:
  explicit Wire(TransferStream& far) : far_(far) {}
  std::size_t WriteWithin(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override {
    const OneAtATime::Call call(writer_, "the wire's WriteWithin");
    Bytes b(bytes.begin(), bytes.end());
    if (onWrite) onWrite(b);
    if (fault) fault(b);
    far_.Feed(b);
    return bytes.size();
  }
  std::function<void(Bytes&)> fault;
  std::function<void(const Bytes&)> onWrite;

 private:
  TransferStream& far_;
  OneAtATime writer_;
};

using Match = std::function<bool(const Bytes&)>;
Match Is(Bytes exact) {
  return [exact](const Bytes& b) { return b == exact; };
}
Match IsBlock(std::uint8_t number) {
  return [number](const Bytes& b) { return b.size() == 1029 && b[0] == kStx && b[1] == number; };
}
Match IsHeader(bool batchEnd) {
  return [batchEnd](const Bytes& b) {
    return b.size() == 133 && b[0] == kSoh && (b[3] == 0) == batchEnd;
  };
}

// Changes the `nth` write that matches: flips bits of one byte, or drops it.
struct Hit {
  Match match;
  int nth = 1;
  std::size_t at = 0;
  bool drop = false;
};
// `fired` counts the hits that found their write.
std::function<void(Bytes&)> Apply(std::vector<Hit> hits, std::shared_ptr<std::atomic<int>> fired) {
  auto seen = std::make_shared<std::vector<int>>(hits.size(), 0);
  return [hits, seen, fired](Bytes& b) {
    for (std::size_t i = 0; i < hits.size(); ++i) {
      if (!hits[i].match(b) || ++(*seen)[i] != hits[i].nth) continue;
      ++*fired;
      if (hits[i].drop) {
        b.erase(b.begin() + static_cast<std::ptrdiff_t>(hits[i].at));
      } else {
        b[hits[i].at] ^= 0x80;
      }
    }
  };
}

struct LineCase {
  const char* label;
  std::vector<Hit> toReceiver;  // on the sender's writes
  std::vector<Hit> toSender;    // on the receiver's writes
};
void PrintTo(const LineCase& c, std::ostream* os) {
  *os << c.label;
}

class Loopback : public testing::Test {
 protected:
  std::shared_ptr<std::atomic<int>> fired_ = std::make_shared<std::atomic<int>>(0);

  void Run(const Bytes& content) {
    elapsed_ = RunInVirtualTime(
        clock_, {{&senderInput_, [&] { sent_ = sender_.SendFile(content, "fw.bin"); }},
                 {&receiverInput_, [&] { received_ = receiver_.Receive(sink_); }}});
  }

  MemorySink sink_{FailTheTest()};
  VirtualClock clock_;
  TransferStream senderInput_{clock_};
  TransferStream receiverInput_{clock_};
  Wire toReceiver_{receiverInput_};
  Wire toSender_{senderInput_};
  CYmodem sender_{senderInput_, toReceiver_};
  CYmodem receiver_{receiverInput_, toSender_};
  SendOutcome sent_;
  ReceiveOutcome received_;
  IClock::Duration elapsed_{};
};

class LoopbackFaults : public Loopback, public testing::WithParamInterface<LineCase> {};

TEST_P(LoopbackFaults, DeliverTheFileWhole) {
  toReceiver_.fault = Apply(GetParam().toReceiver, fired_);
  toSender_.fault = Apply(GetParam().toSender, fired_);
  const Bytes content = Pattern(3000);
  Run(content);
  EXPECT_EQ(*fired_, static_cast<int>(GetParam().toReceiver.size() + GetParam().toSender.size()));
  EXPECT_TRUE(sent_.status.ok()) << sent_.status.message;
  EXPECT_TRUE(sent_.delivered);
  EXPECT_EQ(sent_.result, 3000u);
  EXPECT_TRUE(received_.status.ok()) << received_.status.message;
  EXPECT_EQ(received_.total, 3000u);
  EXPECT_EQ(received_.files, (std::vector<std::string>{"fw.bin"}));
  EXPECT_EQ(sink_.File("fw.bin"), content);
  EXPECT_EQ(sink_.Committed(), (std::vector<std::string>{"fw.bin"}));
  EXPECT_FALSE(senderInput_.AbortRequested());
  EXPECT_FALSE(receiverInput_.AbortRequested());
  // Every recovery stays inside the time-outs.
  EXPECT_LT(elapsed_, 10s);
}

// The receiver's writes in order: 'C' (start), ACK 'C' (header), ACK x3 (blocks), ACK (end
// of file), 'C' (next header), ACK (batch end).
const Bytes kAckC{kAck, kC};
INSTANTIATE_TEST_SUITE_P(
    Cases, LoopbackFaults,
    testing::Values(LineCase{"clean", {}, {}},
                    LineCase{"start_request_hit", {}, {{Is({kC}), 1, 0}}},
                    LineCase{"header_hit", {{IsHeader(false), 1, 40}}, {}},
                    LineCase{"header_ack_hit", {}, {{Is(kAckC), 1, 0}}},
                    LineCase{"request_after_header_lost", {}, {{Is(kAckC), 1, 1, true}}},
                    LineCase{"block_data_hit", {{IsBlock(2), 1, 700}}, {}},
                    LineCase{"block_start_hit", {{IsBlock(2), 1, 0}}, {}},
                    LineCase{"block_number_hit", {{IsBlock(2), 1, 1}}, {}},
                    LineCase{"block_crc_hit", {{IsBlock(3), 1, 1028}}, {}},
                    LineCase{"data_ack_hit", {}, {{Is({kAck}), 2, 0}}},
                    LineCase{"data_ack_lost", {}, {{Is({kAck}), 2, 0, true}}},
                    LineCase{"nak_hit", {{IsBlock(2), 1, 700}}, {{Is({kNak}), 1, 0}}},
                    LineCase{"end_of_file_hit", {{Is({kEot}), 1, 0}}, {}},
                    LineCase{"end_of_file_ack_hit", {}, {{Is({kAck}), 4, 0}}},
                    LineCase{"end_of_file_ack_lost", {}, {{Is({kAck}), 4, 0, true}}},
                    LineCase{"request_after_end_of_file_hit", {}, {{Is({kC}), 2, 0}}},
                    LineCase{"batch_end_hit", {{IsHeader(true), 1, 60}}, {}},
                    LineCase{"batch_end_ack_hit", {}, {{Is({kAck}), 5, 0}}}),
    [](const testing::TestParamInfo<LineCase>& row) { return std::string(row.param.label); });

TEST_F(Loopback, BlockNumbersWrapAfter255) {
  std::vector<std::uint8_t> numbers;
  toReceiver_.onWrite = [&](const Bytes& b) {
    if (b.size() == 1029) numbers.push_back(b[1]);
  };
  // A hit on block 256 (number 0x00) must not be taken for the header.
  toReceiver_.fault = Apply({{IsBlock(0), 1, 500}}, fired_);
  const Bytes content = Pattern(300 * 1024 + 5);
  Run(content);
  EXPECT_EQ(*fired_, 1);
  ASSERT_TRUE(sent_.status.ok()) << sent_.status.message;
  ASSERT_TRUE(received_.status.ok()) << received_.status.message;
  EXPECT_EQ(sink_.File("fw.bin"), content);
  ASSERT_GE(numbers.size(), 258u);
  EXPECT_EQ(numbers[254], 255);
  EXPECT_EQ(numbers[255], 0);  // block 256, sent twice because of the hit
  EXPECT_EQ(numbers[256], 0);
  EXPECT_EQ(numbers[257], 1);
}

// The pairings of the tool and the station: the station sends its logs without waiting for
// a request, and as a receiver asks at once and answers the end of file with ACK 'C'.
TEST_F(Loopback, AStationSendingUnpromptedMeetsTheToolsReceiverWithoutARequest) {
  std::vector<Bytes> answers;
  toSender_.onWrite = [&](const Bytes& b) { answers.push_back(b); };
  const Bytes content = Pattern(2000);
  elapsed_ = RunInVirtualTime(
      clock_, {{&senderInput_,
                [&] { sent_ = sender_.SendFile(content, "log.txt", SendStart::Unprompted); }},
               {&receiverInput_, [&] { received_ = receiver_.Receive(sink_); }}});
  ASSERT_TRUE(sent_.status.ok()) << sent_.status.message;
  ASSERT_TRUE(received_.status.ok()) << received_.status.message;
  EXPECT_EQ(sink_.File("log.txt"), content);
  ASSERT_FALSE(answers.empty());
  EXPECT_EQ(answers.front(), (Bytes{kAck, kC}));  // no 'C' before the header
  EXPECT_EQ(std::count(answers.begin(), answers.end(), Bytes{kC}), 0);
  EXPECT_LT(elapsed_, 1s);
}

TEST_F(Loopback, TheToolsSenderMeetsAStationReceiver) {
  std::vector<Bytes> answers;
  toSender_.onWrite = [&](const Bytes& b) { answers.push_back(b); };
  const Bytes content = Pattern(2000);
  elapsed_ = RunInVirtualTime(
      clock_,
      {{&senderInput_, [&] { sent_ = sender_.SendFile(content, "fw.bin"); }},
       {&receiverInput_, [&] { received_ = receiver_.Receive(sink_, ReceiverRole::Station); }}});
  ASSERT_TRUE(sent_.status.ok()) << sent_.status.message;
  ASSERT_TRUE(received_.status.ok()) << received_.status.message;
  EXPECT_EQ(sink_.File("fw.bin"), content);
  EXPECT_EQ(answers, (std::vector<Bytes>{{kC}, {kAck, kC}, {kAck}, {kAck}, {kAck, kC}, {kAck}}));
  EXPECT_LT(elapsed_, 1s);
}

// The receiver's last ACK lost for good: the file is complete and stored, the sender
// cannot know it and says so.
TEST_F(Loopback, ALostFinalAckLeavesTheFileDeliveredAndTheSendUnconfirmed) {
  toSender_.fault = Apply({{Is({kAck}), 5, 0, true}}, fired_);
  const Bytes content = Pattern(3000);
  Run(content);
  EXPECT_EQ(*fired_, 1);
  EXPECT_TRUE(received_.status.ok()) << received_.status.message;
  EXPECT_EQ(sink_.File("fw.bin"), content);
  EXPECT_TRUE(sent_.delivered);
  EXPECT_EQ(sent_.status.kind, ErrorKind::Timeout);
  EXPECT_TRUE(senderInput_.AbortRequested());
}

}  // namespace
}  // namespace ql::link
