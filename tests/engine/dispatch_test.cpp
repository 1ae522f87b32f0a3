// The response table's handlers: device type, reads, writes, clock and service answers.

#include <gtest/gtest.h>

#include "tests/engine/engine_fixture.h"

namespace ql::engine {
namespace {

using namespace std::chrono_literals;
using testsupport::Bytes;
using testsupport::ClockPayload;
using testsupport::EngineFixture;
using testsupport::Request;

Bytes Pattern(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 3);
  return b;
}

RequestBlock BlockOf(const Request& r) {
  return RequestBlock::FromBytes(r.payload);
}

using Dispatch = EngineFixture;

struct SequenceCase {
  const char* name;
  int type;
  RecordType detector;
  std::int32_t detectorTarget;
  std::size_t detectorSize;
};
void PrintTo(const SequenceCase& c, std::ostream* os) {
  *os << c.name;
}

class AutomaticRead : public EngineFixture, public testing::WithParamInterface<SequenceCase> {};

TEST_P(AutomaticRead, DetectorThenDockingThenClock) {
  const SequenceCase& c = GetParam();
  clock.now = 1457172000;  // the PC's time goes into every request block
  ASSERT_TRUE(Open());
  Answer(cmd::kDeviceType, {static_cast<std::uint8_t>(c.type)});
  EXPECT_EQ(engine.StationType(), static_cast<DeviceType>(c.type));
  EXPECT_TRUE(ui.pagesEnabled);
  EXPECT_EQ(ui.tabItemsFor.back(), static_cast<DeviceType>(c.type));

  auto detectorRead = TakeRequest();
  ASSERT_TRUE(detectorRead);
  EXPECT_EQ(detectorRead->code, cmd::kReadRecord);
  EXPECT_EQ(BlockOf(*detectorRead).target, c.detectorTarget);
  RequestBlock expected;
  expected.SetLocalTime(clock.now);
  EXPECT_EQ(BlockOf(*detectorRead).time, expected.time);

  const Bytes detector = Pattern(c.detectorSize, 7);
  Answer(cmd::kReadRecord, detector);
  EXPECT_EQ(ui.pages[c.detector], detector);

  auto dockingRead = TakeRequest();
  ASSERT_TRUE(dockingRead);
  EXPECT_EQ(dockingRead->code, cmd::kReadRecord);
  EXPECT_EQ(BlockOf(*dockingRead).target, protocol::kTargetDocking);

  const Bytes docking = Pattern(64, 1);
  Answer(cmd::kReadRecord, docking);
  EXPECT_EQ(ui.pages[RecordType::Docking], docking);
  EXPECT_EQ(ui.selectedTab, kTabDocking);

  auto clockRead = TakeRequest();
  ASSERT_TRUE(clockRead);
  EXPECT_EQ(clockRead->code, cmd::kReadClock);
  EXPECT_EQ(clockRead->payload, dockingRead->payload) << "the clock read carries the same block";
  EXPECT_TRUE(ui.messages.empty());

  Answer(cmd::kReadClock, ClockPayload(2016, 3, 5, 10, 0, 0));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"   Read complete   "});
  EXPECT_TRUE(engine.StationClockKnown());
  EXPECT_EQ(hooks.LastCommand(), 0);
  EXPECT_FALSE(ui.requestInFlight);
}

INSTANTIATE_TEST_SUITE_P(Families, AutomaticRead,
                         testing::Values(SequenceCase{"SingleGas", 1, RecordType::SingleGas, 1,
                                                      112},
                                         SequenceCase{"MultiGas", 2, RecordType::MultiGas, 2, 100}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Dispatch, DetectorReadContinuesWithDockingEvenOnTheDetectorTab) {
  Identify(2);
  ui.selectedTab = kTabDetector;
  TakeRequest();
  Answer(cmd::kReadRecord, Pattern(100, 2));
  Answer(cmd::kReadRecord, Pattern(64, 3));
  EXPECT_EQ(ui.pages[RecordType::Docking], Pattern(64, 3));
  EXPECT_FALSE(ui.pages.count(RecordType::SingleGas));
}

TEST_F(Dispatch, PumpAndUnknownStationsStartNoRead) {
  struct Case {
    int answered;
    DeviceType type;
    const char* message;
    bool pagesEnabled;
  };
  for (const Case& c : {Case{3, DeviceType::Pump, "Device Type : Docking for PUMP", true},
                        Case{5, DeviceType::None, "Unknown Device Type !!", false}}) {
    SCOPED_TRACE(c.answered);
    ui = {};
    Identify(c.answered);
    EXPECT_EQ(engine.StationType(), c.type);
    EXPECT_EQ(ui.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(ui.pagesEnabled, c.pagesEnabled);
    EXPECT_EQ(hooks.LastCommand(), 0) << "no read follows";
    EXPECT_FALSE(hooks.Pacer().Running());
    engine.OpenCloseButton(std::nullopt);  // close again
  }
}

TEST_F(Dispatch, PageReadOfDockingShowsTheRecordThenReadsTheClock) {
  Identify(3);
  ui.messages.clear();
  engine.PageRead(RecordType::Docking);
  auto read = TakeRequest();
  ASSERT_TRUE(read);
  EXPECT_EQ(BlockOf(*read).target, protocol::kTargetDocking);
  Answer(cmd::kReadRecord, Pattern(64, 9));
  EXPECT_EQ(ui.pages[RecordType::Docking], Pattern(64, 9));
  auto clockRead = TakeRequest();
  ASSERT_TRUE(clockRead);
  EXPECT_EQ(clockRead->code, cmd::kReadClock);
  EXPECT_EQ(clockRead->payload, read->payload);
}

TEST_F(Dispatch, PageReadOfADetectorEndsWithReadComplete) {
  Identify(1);
  TakeRequest();
  Answer(cmd::kReadRecord, Pattern(112, 1));
  Answer(cmd::kReadRecord, Pattern(64, 1));
  Answer(cmd::kReadClock, ClockPayload(2020, 1, 2, 3, 4, 5));
  ui.messages.clear();
  ui.selectedTab = kTabDetector;
  engine.PageRead(RecordType::SingleGas);
  Answer(cmd::kReadRecord, Pattern(112, 5));
  EXPECT_EQ(ui.pages[RecordType::SingleGas], Pattern(112, 5));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"   Read complete   "});
  EXPECT_EQ(hooks.LastCommand(), 0) << "a page read does not go on to the docking record";
}

struct LengthCase {
  const char* name;
  int type;
  int tab;
  std::size_t length;
  const char* message;
};
void PrintTo(const LengthCase& c, std::ostream* os) {
  *os << c.name;
}

class ReadLength : public EngineFixture, public testing::WithParamInterface<LengthCase> {};

TEST_P(ReadLength, WrongLengthLeavesThePageAndSaysWhy) {
  const LengthCase& c = GetParam();
  Identify(c.type);
  // Let the automatic sequence end first when there is one.
  if (c.type == 1 || c.type == 2) {
    Answer(cmd::kReadRecord, Pattern(c.type == 1 ? 112 : 100, 1));
    Answer(cmd::kReadRecord, Pattern(64, 1));
    Answer(cmd::kReadClock, ClockPayload(2020, 1, 2, 3, 4, 5));
  }
  ui.messages.clear();
  ui.pages.clear();
  ui.selectedTab = c.tab;
  engine.PageRead(c.tab == kTabDocking ? RecordType::Docking
                  : c.type == 2        ? RecordType::MultiGas
                                       : RecordType::SingleGas);
  Answer(cmd::kReadRecord, Pattern(c.length, 4));
  EXPECT_EQ(ui.messages, std::vector<std::string>{c.message});
  EXPECT_TRUE(ui.pages.empty());
  EXPECT_EQ(ui.progress.back(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ReadLength,
    testing::Values(LengthCase{"DetectorOneByte", 1, kTabDetector, 1,
                               "Device Type Mismatch \n (Close port and re-open)"},
                    LengthCase{"DetectorFiftyBytes", 1, kTabDetector, 50, "Read failure"},
                    LengthCase{"MultiGasGetsSingleGasSize", 2, kTabDetector, 112, "Read failure"},
                    LengthCase{"PumpStationHasNoDetector", 3, kTabDetector, 100,
                               "Device Type Mismatch \n (Close port and re-open)"},
                    LengthCase{"DockingSixtyThree", 1, kTabDocking, 63, "Read failure"},
                    LengthCase{"DockingSixtyFive", 3, kTabDocking, 65, "Read failure"}),
    [](const auto& row) { return std::string(row.param.name); });

struct ReadBackCase {
  const char* name;
  int type;
  RecordType record;
  std::int32_t target;
  std::size_t size;
};
void PrintTo(const ReadBackCase& c, std::ostream* os) {
  *os << c.name;
}

class ReadBack : public EngineFixture, public testing::WithParamInterface<ReadBackCase> {
 protected:
  // Identifies the station and lets its automatic read end.
  void Ready(int type) {
    Identify(type);
    if (type == 1 || type == 2) {
      Answer(cmd::kReadRecord, Pattern(type == 1 ? 112 : 100, 1));
      Answer(cmd::kReadRecord, Pattern(64, 1));
      Answer(cmd::kReadClock, ClockPayload(2020, 1, 2, 3, 4, 5));
    }
    ui.messages.clear();
    ui.pages.clear();
    ui.ends.clear();
  }
};

// The record comes back to the front end, not to the page, with no message, and the read
// ends there: no clock read follows a docking station record.
TEST_P(ReadBack, GivesTheStoredRecordQuietly) {
  const ReadBackCase& c = GetParam();
  Ready(c.type);
  ui.selectedTab = 2;  // whatever tab is selected
  engine.ReadBack(c.record);
  auto read = TakeRequest();
  ASSERT_TRUE(read);
  EXPECT_EQ(read->code, cmd::kReadRecord);
  EXPECT_EQ(BlockOf(*read).target, c.target);
  Answer(cmd::kReadRecord, Pattern(c.size, 6));
  EXPECT_EQ(ui.readBack[c.record], Pattern(c.size, 6));
  EXPECT_TRUE(ui.pages.empty());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(hooks.LastCommand(), 0);
  ASSERT_EQ(ui.ends.size(), 1u);
  EXPECT_EQ(ui.ends[0].request, cmd::kReadRecord);
  EXPECT_EQ(ui.ends[0].outcome, RequestOutcome::Done);
}

TEST_P(ReadBack, AnswerOfAnotherSizeIsRefusedQuietly) {
  const ReadBackCase& c = GetParam();
  Ready(c.type);
  engine.ReadBack(c.record);
  Answer(cmd::kReadRecord, Pattern(c.size - 1, 6));
  EXPECT_FALSE(ui.readBack.count(c.record));
  EXPECT_TRUE(ui.pages.empty());
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_EQ(ui.ends.size(), 1u);
  EXPECT_EQ(ui.ends[0].outcome, RequestOutcome::Refused);
}

// A page Read started over a read-back takes the answer for the page again.
TEST_P(ReadBack, PageReadOverItFillsThePage) {
  const ReadBackCase& c = GetParam();
  Ready(c.type);
  ui.selectedTab = c.record == RecordType::Docking ? kTabDocking : kTabDetector;
  engine.ReadBack(c.record);
  engine.PageRead(c.record);
  Answer(cmd::kReadRecord, Pattern(c.size, 8));
  EXPECT_EQ(ui.pages[c.record], Pattern(c.size, 8));
  EXPECT_FALSE(ui.readBack.count(c.record));
}

INSTANTIATE_TEST_SUITE_P(
    Records, ReadBack,
    testing::Values(ReadBackCase{"Docking", 3, RecordType::Docking, protocol::kTargetDocking, 64},
                    ReadBackCase{"SingleGas", 1, RecordType::SingleGas, 1, 112},
                    ReadBackCase{"MultiGas", 2, RecordType::MultiGas, 2, 100}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Dispatch, ReadBackWithThePortClosedIsRefused) {
  engine.ReadBack(RecordType::Docking);
  ASSERT_EQ(ui.ends.size(), 1u);
  EXPECT_EQ(ui.ends[0].outcome, RequestOutcome::Refused);
  EXPECT_FALSE(ui.readBack.count(RecordType::Docking));
}

TEST_F(Dispatch, WriteSendsThePageRecordAfterTheStationIsReady) {
  Identify(3);
  ui.messages.clear();
  ui.pages[RecordType::Docking] = Pattern(64, 11);
  engine.PageWrite(RecordType::Docking);
  auto request = TakeRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->code, cmd::kWriteRequest);
  EXPECT_EQ(BlockOf(*request).target, protocol::kTargetDocking);
  Answer(cmd::kWriteRequest, {0});
  EXPECT_EQ(ui.progress.back(), 20);
  auto data = TakeRequest();
  ASSERT_TRUE(data);
  EXPECT_EQ(data->code, cmd::kWriteData);
  EXPECT_EQ(data->payload, Pattern(64, 11));
  Answer(cmd::kWriteData, {1});
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Write complete (Docking Info)"});
}

TEST_F(Dispatch, DetectorWriteRefusedByAOneByteReadyAnswer) {
  Identify(3);
  ui.messages.clear();
  ui.selectedTab = kTabDetector;
  engine.PageWrite(RecordType::SingleGas);
  Answer(cmd::kWriteRequest, {0});
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Device Type Mismatch \n (Close port and re-open)"});
  EXPECT_EQ(hooks.LastCommand(), 0) << "nothing is sent";
}

TEST_F(Dispatch, WriteAnswers) {
  struct Case {
    const char* name;
    int type;
    int tab;
    std::uint8_t code;
    Bytes payload;
    const char* message;  // nullptr: none
    int progress;
  };
  const Case cases[] = {
      {"DockingLinked", 3, kTabDocking, cmd::kWriteData, {1}, "Write complete (Docking Info)", 100},
      {"DockingUnlinked",
       3,
       kTabDocking,
       cmd::kWriteData,
       {0},
       "Write complete \n(Docking USB not connected)",
       100},
      {"DetectorUnlinked",
       1,
       kTabDetector,
       cmd::kWriteData,
       {2},
       "Write complete \n(Docking USB not connected)",
       100},
      {"NoPayloadIsNotLinked",
       3,
       kTabDocking,
       cmd::kWriteData,
       {},
       "Write complete \n(Docking USB not connected)",
       100},
      {"SingleGas", 1, kTabDetector, cmd::kWriteData, {1}, "Write complete (TKL Info)", 100},
      {"MultiGas", 2, kTabDetector, cmd::kWriteData, {1}, "Write complete (RVX Info)", 100},
      {"LogTabSaysNothing", 2, 2, cmd::kWriteData, {1}, nullptr, 100},
      {"Refused", 1, kTabDocking, cmd::kWriteFail, {}, "Write fail (Device is different)", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui = {};
    Identify(c.type);
    if (c.type != 3) {
      TakeRequest();
      hooks.StopTransmitter();
    }
    ui.messages.clear();
    ui.selectedTab = c.tab;
    hooks.SendCommand(cmd::kWriteData, Bytes(64, 0));  // the record is out
    Answer(c.code, c.payload);
    EXPECT_EQ(ui.messages,
              c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    EXPECT_EQ(ui.progress.back(), c.progress);
    engine.OpenCloseButton(std::nullopt);
  }
}

TEST_F(Dispatch, UnknownCodeIsSkippedAndTheNextFrameHandled) {
  ASSERT_TRUE(Open());
  Bytes both = testsupport::AnswerFrame(0x36, {1, 2});
  const Bytes type = testsupport::AnswerFrame(cmd::kDeviceType, {3});
  both.insert(both.end(), type.begin(), type.end());
  Station(both);
  EXPECT_EQ(engine.StationType(), DeviceType::Pump);
}

TEST_F(Dispatch, ClockAnswers) {
  struct Case {
    const char* name;
    std::uint8_t code;
    Bytes payload;
    std::optional<DateTime> shown;
  };
  const Case cases[] = {
      {"ReadTakesEmptyDateAsFirstOfJanuary", cmd::kReadClock, ClockPayload(2016, 0, 0, 8, 9, 10),
       DateTime{2016, 1, 1, 8, 9, 10}},
      {"SetRefusesEmptyDate", cmd::kSetClock, ClockPayload(2016, 0, 0, 8, 9, 10), std::nullopt},
      {"HourOutOfRange", cmd::kReadClock, ClockPayload(2016, 5, 5, 24, 0, 0), std::nullopt},
      {"DayPastTheMonthsEnd", cmd::kReadClock, ClockPayload(2017, 2, 29, 8, 0, 0), std::nullopt},
      {"LeapDay", cmd::kReadClock, ClockPayload(2016, 2, 29, 8, 0, 0),
       DateTime{2016, 2, 29, 8, 0, 0}},
      {"ShortPayload", cmd::kReadClock, Bytes(27, 0), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui = {};
    Identify(3);
    ui.messages.clear();
    if (c.code == cmd::kReadClock) {
      engine.ReadStationClock();
    } else {
      engine.SetStationClock({2016, 5, 5, 8, 9, 10});
    }
    Answer(c.code, c.payload);
    EXPECT_EQ(ui.stationClock, c.shown);
    EXPECT_EQ(engine.StationClockKnown(), c.shown.has_value());
    EXPECT_EQ(ui.messages.empty(), c.shown.has_value());
    engine.OpenCloseButton(std::nullopt);
  }
}

TEST_F(Dispatch, ClockOffsetIsPcMinusStation) {
  Identify(3);
  std::tm tm{};
  tm.tm_year = 2016 - 1900;
  tm.tm_mon = 2;
  tm.tm_mday = 5;
  tm.tm_hour = 10;
  tm.tm_min = 0;
  tm.tm_sec = 30;
  tm.tm_isdst = -1;
  clock.now = std::mktime(&tm);
  engine.ReadStationClock();
  Answer(cmd::kReadClock, ClockPayload(2016, 3, 5, 10, 0, 0));
  EXPECT_EQ(engine.StationClockOffset(), 30);
  engine.OpenCloseButton(std::nullopt);
  EXPECT_FALSE(engine.StationClockKnown());
  EXPECT_FALSE(ui.stationClock.has_value());
}

TEST_F(Dispatch, RejectedClockAnswerKeepsTheOffsetAndTheShownTime) {
  Identify(3);
  clock.now = 1457172000;
  engine.ReadStationClock();
  Answer(cmd::kReadClock, ClockPayload(2016, 3, 5, 10, 0, 0));
  ASSERT_TRUE(engine.StationClockKnown());
  const std::int64_t offset = engine.StationClockOffset();
  const auto shown = ui.stationClock;
  clock.now += 600;
  // The empty date a read would take as 1 January is out of range for a set.
  engine.SetStationClock({2016, 5, 5, 8, 9, 10});
  Answer(cmd::kSetClock, ClockPayload(2016, 0, 0, 8, 9, 10));
  EXPECT_EQ(ui.messages.back(), "Docking clock invalid");
  EXPECT_TRUE(engine.StationClockKnown());
  EXPECT_EQ(engine.StationClockOffset(), offset);
  EXPECT_EQ(ui.stationClock, shown);
}

TEST_F(Dispatch, SetClockSendsTheChosenDateAndTime) {
  Identify(3);
  engine.SetStationClock({2017, 12, 31, 23, 59, 59});
  auto request = TakeRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->code, cmd::kSetClock);
  const RequestBlock b = BlockOf(*request);
  EXPECT_EQ(b.target, 0);
  EXPECT_EQ(b.time, (DateTime{2017, 12, 31, 23, 59, 59}));
}

TEST_F(Dispatch, ServicePage) {
  Identify(3);
  ui.messages.clear();
  engine.WriteSerialNumber("");
  EXPECT_EQ(ui.messages.back(), "Serial Number Empty !!");
  EXPECT_EQ(hooks.LastCommand(), 0);
  engine.WriteSerialNumber("QL-0042");
  auto request = TakeRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->code, cmd::kWriteSerialNumber);
  EXPECT_EQ(request->payload, (Bytes{'Q', 'L', '-', '0', '0', '4', '2'}));

  struct Case {
    void (Engine::*ask)();  // nothing: the serial number request is out already
    std::uint8_t code;
    Bytes payload;
    const char* message;
  };
  for (const Case& c :
       {Case{nullptr, cmd::kWriteSerialNumber, {}, "SN Write OK !!"},
        Case{&Engine::SelfTest, cmd::kSelfTest, {}, "Docking Self Test Complete !!"},
        Case{&Engine::EraseFirmware, cmd::kEraseFirmware, {}, "Flash erase success !!"},
        Case{&Engine::EthernetLinkTest,
             cmd::kEthernetLinkTest,
             {0},
             "Docking Ethernet Link up Success !!"},
        Case{&Engine::EthernetLinkTest,
             cmd::kEthernetLinkTest,
             {1},
             "Docking Ethernet Link up Fail !!"},
        Case{&Engine::EthernetLinkTest,
             cmd::kEthernetLinkTest,
             {0, 0},
             "Docking Ethernet Link up length Fail !!"},
        Case{&Engine::GetIpAddress,
             cmd::kIpAddress,
             {10, 0},
             "Docking Ethernet IP length Fail !!"}}) {
    SCOPED_TRACE(c.message);
    if (c.ask) (engine.*c.ask)();
    Answer(c.code, c.payload);
    EXPECT_EQ(ui.messages.back(), c.message);
  }
  engine.GetIpAddress();
  Answer(cmd::kIpAddress, {192, 168, 7, 1});
  EXPECT_EQ(ui.ip, (std::array<std::uint8_t, 4>{192, 168, 7, 1}));
}

TEST_F(Dispatch, FactoryDefaultReconnectsAndAsksForTheTypeAgain) {
  Identify(3);
  ui.messages.clear();
  engine.FactoryDefault();
  Answer(cmd::kFactoryDefault, {});
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Factory default success !!"});
  EXPECT_TRUE(engine.PortOpen());
  EXPECT_EQ(engine.StationType(), DeviceType::None);
  EXPECT_EQ(port->opens, 2);
  auto request = TakeRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->code, cmd::kDeviceType);
}

TEST_F(Dispatch, ServiceRequestsNeedAnOpenPort) {
  engine.WriteSerialNumber("QL-0042");
  engine.SelfTest();
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"The port not open", "The port not open"}));
}

}  // namespace
}  // namespace ql::engine
