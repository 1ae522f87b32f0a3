// A sender that starts without the receiver's request, as the station sends its logs.

#include <gtest/gtest.h>

#include "link/ymodem.h"
#include "tests/ymodem/support.h"

namespace ql::link {
namespace {

using namespace testsupport;

class UnpromptedSend : public testing::Test {
 protected:
  SendOutcome Send(const Bytes& content) {
    SendOutcome outcome;
    RunInVirtualTime(clock_, {{&stream_, [&] {
                                 outcome =
                                     engine_.SendFile(content, "EVT1.LOG", SendStart::Unprompted);
                               }}});
    return outcome;
  }
  VirtualClock clock_;
  TransferStream stream_{clock_};
  ScriptedPeer peer_{stream_};
  CYmodem engine_{stream_, peer_};
};

TEST_F(UnpromptedSend, HeaderGoesOutAtOnceAndTheBatchEndsWithoutARequest) {
  const Bytes content = Pattern(1500);
  // The receiver answers the header with ACK 'C', each block and the end of file with a
  // lone ACK, as the tool's receiver does.
  peer_.Script({{kAck, kC}, {kAck}, {kAck}, {kAck}, {kAck}});
  const SendOutcome outcome = Send(content);
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message;
  const auto writes = peer_.Writes();
  ASSERT_EQ(writes.size(), 5u);
  EXPECT_EQ(writes[0].size(), 133u) << "the header first, unasked";
  EXPECT_EQ(writes[0][3], 'E');
  EXPECT_EQ(writes[3], Bytes{kEot});
  EXPECT_EQ(writes[4], BatchEnd());
}

TEST_F(UnpromptedSend, AReceiverThatMissedTheHeaderAsksAgain) {
  // The first header is lost: the receiver's 'C' after its silence gets it sent again.
  peer_.Script({{kC}, {kAck, kC}, {kAck}, {kAck}, {kAck}});
  const SendOutcome outcome = Send(Pattern(10));
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message;
  const auto writes = peer_.Writes();
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(writes[0], writes[1]);
}

}  // namespace
}  // namespace ql::link
