// The typed events: for each kind of operation, how it ends (done, refused by the station,
// no answer in time, a transfer that stalls, a lost line, the user's close) and in what
// order the engine reports it: its state changes and its message first, then the end.
// Every time-out runs on the virtual clocks.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "engine/messages.h"
#include "tests/engine/engine_fixture.h"

namespace ql::engine {
namespace {

using namespace std::chrono_literals;
using link::ErrorKind;
using testsupport::Bytes;
using testsupport::ClockPayload;
using testsupport::EngineFixture;

class Outcomes;

struct OutcomeCase {
  const char* name;
  int identifiedAs;  // 0: nothing before the act; else a station of this type, read through
  std::function<void(Outcomes&)> act;
  std::vector<std::string> trail;  // messages, states and ends from the start of the act
  ErrorKind kind;                  // of the last end's status
};
void PrintTo(const OutcomeCase& c, std::ostream* os) {
  *os << c.name;
}

class Outcomes : public EngineFixture, public testing::WithParamInterface<OutcomeCase> {
 public:
  using EngineFixture::Answer;
  using EngineFixture::loop;
  using EngineFixture::Open;
  using EngineFixture::RunTransferUntil;
  using EngineFixture::Station;
  using EngineFixture::TakeRequest;
  using EngineFixture::ui;

  // The station sends nothing for `span` on the window timers.
  void Silence(std::chrono::milliseconds span) { timers.Advance(span); }
  // The adapter is pulled.
  void LoseLine() {
    {
      std::lock_guard lock(port->mutex);
      port->lost = true;
      port->changed.notify_all();
    }
    ASSERT_TRUE(loop.RunUntil([&] { return !engine.PortOpen(); }, 5s));
  }
  // The line takes no more bytes, and the station asks for the first block: the upload's
  // write fails while the watch thread has not seen the line go.
  void RefuseWritesThenRequestABlock() {
    std::lock_guard lock(port->mutex);
    port->refuseWrites = true;
    port->incoming.push_back('C');
    port->changed.notify_all();
  }
  // Runs the transfer worker on its virtual clock until an operation has ended.
  void UntilEnded() {
    ASSERT_TRUE(RunTransferUntil([&] { return !ui.ends.empty(); }));
  }
  records::FirmwareImage Image() {
    records::FirmwareImage image;
    image.content.assign(3000, 0x5A);
    image.length = 3000;
    image.blockCount = records::FirmwareBlockCount(3000);
    image.fileName = "DK_FW.bin";
    return image;
  }
  // A log save run whose first file the station has accepted: the worker is receiving.
  void SaveAccepted() {
    engine.SaveLogs({"A.LOG"}, folder);
    ASSERT_TRUE(TakeRequest());
    Answer(cmd::kLogFile, {1});
    ASSERT_TRUE(hooks.Flags().logReceiveArmed.load());
  }

  // Takes the request that goes out next, which must be `request`, and answers it twice
  // with `code` and `payload`, as a station that answers a resent copy as well: in one
  // burst, or in two.
  void AnswerTwice(std::uint8_t request, std::uint8_t code, const Bytes& payload,
                   bool oneBurst = false) {
    const auto sent = TakeRequest();
    ASSERT_TRUE(sent) << "no request went out";
    ASSERT_EQ(sent->code, request);
    const Bytes frame = testsupport::AnswerFrame(code, payload);
    if (oneBurst) {
      Bytes both = frame;
      both.insert(both.end(), frame.begin(), frame.end());
      Station(both);
    } else {
      Station(frame);
      Station(frame);
    }
  }

  Engine& Subject() { return engine; }

  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("ql-outcomes-" + std::to_string(::getpid()) + "-" +
       testing::UnitTest::GetInstance()->current_test_info()->name());

 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder);
    const int type = GetParam().identifiedAs;
    if (type == 0) return;
    Identify(type);
    if (type == 1 || type == 2) {
      Answer(cmd::kReadRecord, Bytes(type == 1 ? 112 : 100, 0));
      Answer(cmd::kReadRecord, Bytes(64, 0));
      Answer(cmd::kReadClock, ClockPayload(2020, 1, 2, 3, 4, 5));
    }
    ASSERT_EQ(ui.ends.size(), type == 3 ? 1u : 2u);
    ui.trail.clear();
    ui.ends.clear();
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
};

TEST_P(Outcomes, StateChangesAndMessageComeBeforeTheEnd) {
  const OutcomeCase& c = GetParam();
  c.act(*this);
  EXPECT_EQ(ui.trail, c.trail);
  ASSERT_FALSE(ui.ends.empty());
  const RequestEnd& end = ui.ends.back();
  EXPECT_EQ(end.status.kind, c.kind) << end.status.message;
  EXPECT_EQ(end.status.ok(), end.outcome == RequestOutcome::Done) << "success is spelled Ok";
  EXPECT_FALSE(end.outcome != RequestOutcome::Done && end.status.message.empty());
}

std::string Msg(std::string_view text) {
  return "message " + std::string(text);
}

const std::string kClosing = "state Closing";
const std::string kClosed = "state Closed";
const std::string kLost = Msg(msg::kConnectionLost);
const std::string kSendTimeout = Msg(msg::kSendTimeout);

INSTANTIATE_TEST_SUITE_P(
    DeviceType, Outcomes,
    testing::Values(OutcomeCase{"IdentifyDone",
                                0,
                                [](Outcomes& s) {
                                  ASSERT_TRUE(s.Open());
                                  s.Answer(cmd::kDeviceType, {3});
                                },
                                {"state Opening", "state Identifying", Msg(msg::kPumpStation),
                                 "state Ready", "end 40 Done"},
                                ErrorKind::None},
                    OutcomeCase{"IdentifyDoneThenTheAutomaticRead",
                                0,
                                [](Outcomes& s) {
                                  ASSERT_TRUE(s.Open());
                                  s.Answer(cmd::kDeviceType, {1});
                                  s.Answer(cmd::kReadRecord, Bytes(112, 0));
                                  s.Answer(cmd::kReadRecord, Bytes(64, 0));
                                  s.Answer(cmd::kReadClock, ClockPayload(2020, 1, 2, 3, 4, 5));
                                },
                                {"state Opening", "state Identifying", "state Ready", "end 40 Done",
                                 Msg(msg::kReadComplete), "end 33 Done"},
                                ErrorKind::None},
                    OutcomeCase{"IdentifyRefusedByAnUnknownType",
                                0,
                                [](Outcomes& s) {
                                  ASSERT_TRUE(s.Open());
                                  s.Answer(cmd::kDeviceType, {5});
                                },
                                {"state Opening", "state Identifying", Msg(msg::kUnknownDeviceType),
                                 "end 40 Refused"},
                                ErrorKind::Protocol},
                    OutcomeCase{"IdentifyTimedOut",
                                0,
                                [](Outcomes& s) {
                                  ASSERT_TRUE(s.Open());
                                  s.Silence(20200ms);
                                },
                                {"state Opening", "state Identifying", kClosing, kClosed,
                                 kSendTimeout, "end 40 TimedOut"},
                                ErrorKind::Timeout},
                    OutcomeCase{"IdentifyLineLost",
                                0,
                                [](Outcomes& s) {
                                  ASSERT_TRUE(s.Open());
                                  s.LoseLine();
                                },
                                {"state Opening", "state Identifying", kClosing, kClosed, kLost,
                                 "end 40 LineLost"},
                                ErrorKind::Io},
                    OutcomeCase{
                        "IdentifyAbortedByClose",
                        0,
                        [](Outcomes& s) {
                          ASSERT_TRUE(s.Open());
                          s.Subject().OpenCloseButton(std::nullopt);
                        },
                        {"state Opening", "state Identifying", kClosing, kClosed, "end 40 Aborted"},
                        ErrorKind::Aborted}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Records, Outcomes,
    testing::Values(OutcomeCase{"ReadDoneWithTheClock",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().PageRead(RecordType::Docking);
                                  s.Answer(cmd::kReadRecord, Bytes(64, 1));
                                  s.Answer(cmd::kReadClock, ClockPayload(2020, 1, 2, 3, 4, 5));
                                },
                                {Msg(msg::kReadComplete), "end 33 Done"},
                                ErrorKind::None},
                    OutcomeCase{"ReadRefusedByAShortRecord",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().PageRead(RecordType::Docking);
                                  s.Answer(cmd::kReadRecord, Bytes(63, 1));
                                },
                                {Msg(msg::kReadFailure), "end 33 Refused"},
                                ErrorKind::Protocol},
                    OutcomeCase{"ReadRefusedByAnInvalidClock",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().PageRead(RecordType::Docking);
                                  s.Answer(cmd::kReadRecord, Bytes(64, 1));
                                  s.Answer(cmd::kReadClock, Bytes(27, 0));
                                },
                                {Msg(msg::kClockInvalid), "end 33 Refused"},
                                ErrorKind::Protocol},
                    OutcomeCase{"ReadTimedOutOnTheClock",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().PageRead(RecordType::Docking);
                                  s.Answer(cmd::kReadRecord, Bytes(64, 1));
                                  s.Silence(5500ms);
                                },
                                {kSendTimeout, "end 33 TimedOut"},
                                ErrorKind::Timeout},
                    OutcomeCase{"ReadLineLost",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().PageRead(RecordType::Docking);
                                  s.LoseLine();
                                },
                                {kClosing, kClosed, kLost, "end 33 LineLost"},
                                ErrorKind::Io},
                    OutcomeCase{"ReadOnAClosedPortRefusedAtOnce",
                                0,
                                [](Outcomes& s) { s.Subject().PageRead(RecordType::Docking); },
                                {Msg(msg::kPortOpenCheck), "end 33 Refused"},
                                ErrorKind::BadArgument},
                    OutcomeCase{"WriteDoneAfterTheReadyAnswer",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().PageWrite(RecordType::Docking);
                                  s.Answer(cmd::kWriteRequest, {0});
                                  s.Answer(cmd::kWriteData, {1});
                                },
                                {Msg(msg::kWriteCompleteDocking), "end 30 Done"},
                                ErrorKind::None},
                    OutcomeCase{"WriteRefusedByTheStation",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().PageWrite(RecordType::Docking);
                                  s.Answer(cmd::kWriteRequest, {0});
                                  s.Answer(cmd::kWriteFail, {});
                                },
                                {Msg(msg::kWriteFail), "end 30 Refused"},
                                ErrorKind::Protocol},
                    OutcomeCase{"WriteTimedOutOnTheRecord",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().PageWrite(RecordType::Docking);
                                  s.Answer(cmd::kWriteRequest, {0});
                                  s.Silence(5500ms);  // the 64-byte record is a long request
                                },
                                {kSendTimeout, "end 30 TimedOut"},
                                ErrorKind::Timeout},
                    OutcomeCase{"WriteAbortedByClose",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().PageWrite(RecordType::Docking);
                                  s.Subject().OpenCloseButton(std::nullopt);
                                },
                                {kClosing, kClosed, "end 30 Aborted"},
                                ErrorKind::Aborted}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ClockAndService, Outcomes,
    testing::Values(OutcomeCase{"ClockReadDone",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().ReadStationClock();
                                  s.Answer(cmd::kReadClock, ClockPayload(2020, 1, 2, 3, 4, 5));
                                },
                                {"end AE Done"},
                                ErrorKind::None},
                    OutcomeCase{"ClockSetTimedOut",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().SetStationClock({2020, 1, 2, 3, 4, 5});
                                  s.Silence(5500ms);
                                },
                                {kSendTimeout, "end AF TimedOut"},
                                ErrorKind::Timeout},
                    OutcomeCase{"SelfTestDone",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().SelfTest();
                                  s.Answer(cmd::kSelfTest, {});
                                },
                                {Msg(msg::kSelfTestDone), "end FF Done"},
                                ErrorKind::None},
                    OutcomeCase{"LinkTestRefusedWhenTheLinkIsDown",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().EthernetLinkTest();
                                  s.Answer(cmd::kEthernetLinkTest, {1});
                                },
                                {Msg(msg::kLinkUpFail), "end 42 Refused"},
                                ErrorKind::Protocol},
                    OutcomeCase{"IpAddressTimedOutAfterTwentySeconds",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().GetIpAddress();
                                  s.Silence(20000ms);
                                  ASSERT_TRUE(s.ui.ends.empty());
                                  s.Silence(200ms);
                                },
                                {kSendTimeout, "end 43 TimedOut"},
                                ErrorKind::Timeout},
                    OutcomeCase{"FactoryDefaultDoneThenTheReconnect",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().FactoryDefault();
                                  s.Answer(cmd::kFactoryDefault, {});
                                },
                                {Msg(msg::kFactoryDefaultDone), "end AC Done", kClosing, kClosed,
                                 "state Opening", "state Identifying"},
                                ErrorKind::None},
                    OutcomeCase{"SerialNumberEmptyRefusedAtOnce",
                                3,
                                [](Outcomes& s) { s.Subject().WriteSerialNumber(""); },
                                {Msg(msg::kSerialNumberEmpty), "end 41 Refused"},
                                ErrorKind::BadArgument},
                    OutcomeCase{"ANewRequestAbortsTheOneInFlight",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().SelfTest();
                                  s.Subject().ReadStationClock();
                                  s.Answer(cmd::kReadClock, ClockPayload(2020, 1, 2, 3, 4, 5));
                                },
                                {"end FF Aborted", "end AE Done"},
                                ErrorKind::None},
                    OutcomeCase{"AnAbandonedRequestEndsAsItsTimeOut",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().SelfTest();
                                  s.Subject().AbandonRequest();
                                },
                                {kSendTimeout, "end FF TimedOut"},
                                ErrorKind::Timeout}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Transfers, Outcomes,
    testing::Values(OutcomeCase{"FirmwareStartTimedOut",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().StartFirmwareWrite(RecordType::Docking, s.Image());
                                  s.Silence(20200ms);  // "DK_FW.bin" is a short request
                                },
                                {kSendTimeout, "end 37 TimedOut"},
                                ErrorKind::Timeout},
                    OutcomeCase{"FirmwareStalledWithoutTheStationsRequest",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().StartFirmwareWrite(RecordType::Docking, s.Image());
                                  s.Answer(cmd::kFirmwareDocking, {1});
                                  s.UntilEnded();
                                },
                                {Msg(msg::kFirmwareSendFail), "end 37 Stalled"},
                                ErrorKind::Timeout},
                    OutcomeCase{"FirmwareRefusedByTheStationsCancel",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().StartFirmwareWrite(RecordType::Docking, s.Image());
                                  s.Answer(cmd::kFirmwareDocking, {1});
                                  s.Station({0x18, 0x18});
                                  s.UntilEnded();
                                },
                                {Msg(msg::kFirmwareSendFail), "end 37 Refused"},
                                ErrorKind::Protocol},
                    OutcomeCase{"FirmwareAbortedByClose",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().StartFirmwareWrite(RecordType::Docking, s.Image());
                                  s.Answer(cmd::kFirmwareDocking, {1});
                                  s.Subject().OpenCloseButton(std::nullopt);
                                  s.loop.RunPending();
                                },
                                {kClosing, kClosed, "end 37 Aborted"},
                                ErrorKind::Aborted},
                    OutcomeCase{"FirmwareLineLost",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().StartFirmwareWrite(RecordType::Docking, s.Image());
                                  s.Answer(cmd::kFirmwareDocking, {1});
                                  s.LoseLine();
                                  s.loop.RunPending();
                                },
                                {kClosing, kClosed, kLost, "end 37 LineLost"},
                                ErrorKind::Io},
                    // The upload's write fails before the watch thread sees the line go:
                    // still one message, the line's.
                    OutcomeCase{"FirmwareWriteFailsAsTheLineGoes",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().StartFirmwareWrite(RecordType::Docking, s.Image());
                                  s.Answer(cmd::kFirmwareDocking, {1});
                                  s.RefuseWritesThenRequestABlock();
                                  s.UntilEnded();
                                },
                                {kClosing, kClosed, kLost, "end 37 LineLost"},
                                ErrorKind::Io},
                    OutcomeCase{"LogListDone",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().RefreshLogList();
                                  s.Answer(cmd::kLogList, Bytes(8, 0));
                                },
                                {Msg(msg::kLogListOk), "end 34 Done"},
                                ErrorKind::None},
                    OutcomeCase{"LogListRefusedWhenEmpty",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().RefreshLogList();
                                  s.Answer(cmd::kLogList, {});
                                },
                                {Msg(msg::kLogListFail), "end 34 Refused"},
                                ErrorKind::Protocol},
                    OutcomeCase{"LogListTimedOutAfterTwentySeconds",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().RefreshLogList();
                                  s.Silence(20000ms);
                                  ASSERT_TRUE(s.ui.ends.empty());
                                  s.Silence(200ms);
                                },
                                {kSendTimeout, "end 34 TimedOut"},
                                ErrorKind::Timeout},
                    OutcomeCase{"LogSaveRefusedByTheStation",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().SaveLogs({"A.LOG"}, s.folder);
                                  s.Answer(cmd::kLogFile, {0});
                                },
                                {Msg(msg::kDockingUsbNotConnected), "end 35 Refused"},
                                ErrorKind::Protocol},
                    OutcomeCase{"LogSaveStalledByTheWatchdog",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().SaveLogs({"A.LOG"}, s.folder);
                                  s.Silence(10000ms);
                                },
                                {Msg(msg::kLogSaveFail), "end 35 Stalled"},
                                ErrorKind::Timeout},
                    OutcomeCase{"LogSaveStalledInTheReceive",
                                3,
                                [](Outcomes& s) {
                                  s.SaveAccepted();
                                  s.UntilEnded();
                                },
                                {Msg(msg::kLogSaveFail), "end 35 Stalled"},
                                ErrorKind::Timeout},
                    // The receive ends on the close and reports; the end says why it was stopped.
                    OutcomeCase{
                        "LogSaveLineLostInTheReceive",
                        3,
                        [](Outcomes& s) {
                          s.SaveAccepted();
                          s.LoseLine();
                          s.UntilEnded();
                        },
                        {kClosing, kClosed, kLost, Msg(msg::kLogSaveFail), "end 35 LineLost"},
                        ErrorKind::Io}),
    [](const auto& row) { return std::string(row.param.name); });

// Answers the request in flight cannot get are dropped: stray ones, and the second answer
// of a station that answers a resent copy of a request too. They neither end nor disturb
// the operation in flight.
INSTANTIATE_TEST_SUITE_P(
    Answers, Outcomes,
    testing::Values(OutcomeCase{"AutomaticReadWithEveryAnswerTwice",
                                0,
                                [](Outcomes& s) {
                                  s.Subject().OpenCloseButton(std::string("fake"));
                                  s.AnswerTwice(cmd::kDeviceType, cmd::kDeviceType, {1});
                                  s.AnswerTwice(cmd::kReadRecord, cmd::kReadRecord, Bytes(112, 7));
                                  s.AnswerTwice(cmd::kReadRecord, cmd::kReadRecord, Bytes(64, 8));
                                  s.AnswerTwice(cmd::kReadClock, cmd::kReadClock,
                                                ClockPayload(2020, 1, 2, 3, 4, 5));
                                  EXPECT_EQ(s.ui.pages[RecordType::SingleGas], Bytes(112, 7));
                                  EXPECT_EQ(s.ui.pages[RecordType::Docking], Bytes(64, 8));
                                },
                                {"state Opening", "state Identifying", "state Ready", "end 40 Done",
                                 Msg(msg::kReadComplete), "end 33 Done"},
                                ErrorKind::None},
                    OutcomeCase{"ReadWithEveryAnswerTwiceInOneBurst",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().PageRead(RecordType::Docking);
                                  s.AnswerTwice(cmd::kReadRecord, cmd::kReadRecord, Bytes(64, 8),
                                                true);
                                  s.AnswerTwice(cmd::kReadClock, cmd::kReadClock,
                                                ClockPayload(2020, 1, 2, 3, 4, 5), true);
                                },
                                {Msg(msg::kReadComplete), "end 33 Done"},
                                ErrorKind::None},
                    OutcomeCase{"WriteWithEveryAnswerTwice",
                                3,
                                [](Outcomes& s) {
                                  s.ui.pages[RecordType::Docking] = Bytes(64, 9);
                                  s.Subject().PageWrite(RecordType::Docking);
                                  s.AnswerTwice(cmd::kWriteRequest, cmd::kWriteRequest, {});
                                  s.AnswerTwice(cmd::kWriteData, cmd::kWriteData, {1});
                                },
                                {Msg(msg::kWriteCompleteDocking), "end 30 Done"},
                                ErrorKind::None},
                    // The station took the record from the first copy and refuses the second one.
                    OutcomeCase{"WriteWhoseSecondCopyTheStationRefuses",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().PageWrite(RecordType::Docking);
                                  s.AnswerTwice(cmd::kWriteRequest, cmd::kWriteRequest, {});
                                  ASSERT_TRUE(s.TakeRequest());
                                  s.Answer(cmd::kWriteData, {1});
                                  s.Answer(cmd::kWriteFail, {});
                                },
                                {Msg(msg::kWriteCompleteDocking), "end 30 Done"},
                                ErrorKind::None},
                    OutcomeCase{"AStrayAnswerLeavesTheReadToItsOwnAnswer",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().PageRead(RecordType::Docking);
                                  s.Answer(cmd::kEraseFirmware, {});
                                  s.Answer(cmd::kReadRecord, Bytes(64, 1));
                                  s.Answer(cmd::kReadClock, ClockPayload(2020, 1, 2, 3, 4, 5));
                                },
                                {Msg(msg::kReadComplete), "end 33 Done"},
                                ErrorKind::None},
                    OutcomeCase{"AStrayAnswerInTheSameBurstAsTheAnswer",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().SelfTest();
                                  Bytes burst = testsupport::AnswerFrame(cmd::kEraseFirmware, {});
                                  const Bytes answer = testsupport::AnswerFrame(cmd::kSelfTest, {});
                                  burst.insert(burst.end(), answer.begin(), answer.end());
                                  s.Station(burst);
                                },
                                {Msg(msg::kSelfTestDone), "end FF Done"},
                                ErrorKind::None},
                    // A stray answer does not put off the request's time-out.
                    OutcomeCase{"StrayAnswersDoNotPutOffTheTimeOut",
                                3,
                                [](Outcomes& s) {
                                  s.Subject().GetIpAddress();
                                  for (int i = 0; i < 4; ++i) {
                                    s.Silence(5000ms);
                                    s.Answer(cmd::kSelfTest, {});
                                  }
                                  s.Silence(200ms);
                                },
                                {kSendTimeout, "end 43 TimedOut"},
                                ErrorKind::Timeout}),
    [](const auto& row) { return std::string(row.param.name); });

// Answers when nothing waits for one change nothing.
class AnswerWithNothingInFlight : public EngineFixture,
                                  public testing::WithParamInterface<std::uint8_t> {};

TEST_P(AnswerWithNothingInFlight, IsDropped) {
  Identify(3);
  ASSERT_EQ(hooks.LastCommand(), 0);
  ui = {};
  const std::uint8_t code = GetParam();
  const Bytes payload = code == cmd::kReadRecord  ? Bytes(64, 1)
                        : code == cmd::kReadClock ? ClockPayload(2020, 1, 2, 3, 4, 5)
                                                  : Bytes{1};
  Answer(code, payload);
  EXPECT_TRUE(ui.trail.empty()) << ui.trail.front();
  EXPECT_TRUE(ui.filled.empty());
  EXPECT_TRUE(ui.progress.empty());
  EXPECT_FALSE(engine.StationClockKnown());
  EXPECT_EQ(port->opens, 1) << "no reconnect";
  EXPECT_EQ(engine.State(), ConnectionState::Ready);
  EXPECT_EQ(hooks.LastCommand(), 0) << "nothing was sent";
}

INSTANTIATE_TEST_SUITE_P(Codes, AnswerWithNothingInFlight,
                         testing::Values(cmd::kDeviceType, cmd::kWriteRequest, cmd::kWriteData,
                                         cmd::kWriteFail, cmd::kReadRecord, cmd::kReadClock,
                                         cmd::kLogFile, cmd::kFactoryDefault, cmd::kSelfTest),
                         [](const auto& row) {
                           char name[8];
                           std::snprintf(name, sizeof name, "Code%02X", row.param);
                           return std::string(name);
                         });

using OpenFailure = EngineFixture;

TEST_F(OpenFailure, ClosedCarriesThePortsReason) {
  port->refuseOpen = true;
  engine.OpenCloseButton(std::string("fake"));
  EXPECT_EQ(ui.trail,
            (std::vector<std::string>{"state Opening", Msg(msg::kPortOpenFail), "state Closed"}));
  ASSERT_EQ(ui.stateReasons.size(), 2u);
  EXPECT_EQ(ui.stateReasons.back().kind, ErrorKind::Busy);
  EXPECT_EQ(ui.stateReasons.back().message, "fake is in use");
  EXPECT_EQ(engine.State(), ConnectionState::Closed);
  EXPECT_TRUE(ui.ends.empty()) << "no operation started";

  ui = {};
  engine.OpenCloseButton(std::nullopt);
  ASSERT_EQ(ui.stateReasons.size(), 2u);
  EXPECT_EQ(ui.stateReasons.back().kind, ErrorKind::BadArgument) << "no port selected";
}

TEST_F(OpenFailure, AReadyStationClosedByTheUserIsClosedWithoutAReason) {
  Identify(3);
  EXPECT_EQ(engine.State(), ConnectionState::Ready);
  engine.OpenCloseButton(std::nullopt);
  EXPECT_EQ(engine.State(), ConnectionState::Closed);
  EXPECT_EQ(ui.states,
            (std::vector<ConnectionState>{ConnectionState::Opening, ConnectionState::Identifying,
                                          ConnectionState::Ready, ConnectionState::Closing,
                                          ConnectionState::Closed}));
  EXPECT_TRUE(ui.stateReasons.back().ok());
  EXPECT_EQ(ui.ends.size(), 1u) << "nothing was in flight to end";
}

}  // namespace
}  // namespace ql::engine
