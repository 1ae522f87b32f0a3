#include "tools/station/station_core.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>

#include "protocol/name_slot.h"
#include "records/docking_info.h"
#include "records/multi_gas.h"
#include "records/single_gas.h"
#include "tools/station/station_state.h"

namespace ql::station {
namespace {

using namespace std::chrono_literals;

// Splits an answer frame back into its code and payload (length high byte first).
RequestFrame Parse(const Bytes& frame) {
  EXPECT_GE(frame.size(), 7u);
  const std::size_t n = (static_cast<std::size_t>(frame[2]) << 8) | frame[3];
  EXPECT_EQ(frame.size(), n + 7);
  return {frame[1], Bytes(frame.begin() + 4, frame.begin() + 4 + static_cast<long>(n))};
}

Bytes Block(std::int32_t target) {
  Bytes b(28, 0);
  b[0] = static_cast<std::uint8_t>(target);
  return b;
}

Bytes Slot(const std::string& name) {
  Bytes b(20, 0);
  std::copy(name.begin(), name.end(), b.begin());
  return b;
}

class Station : public testing::Test {
 protected:
  RequestFrame Ask(std::uint8_t code, Bytes payload = {}) {
    t += 1s;  // well apart: never taken for a repeated copy
    const Reply r = core.OnRequest({code, std::move(payload)}, t);
    last = r.followUp;
    return r.frame.empty() ? RequestFrame{0, {}} : Parse(r.frame);
  }
  StationState state = SampleStationState(2);
  std::time_t wall = 1700000000;
  StationCore core{state, [this] { return wall; }};
  Clock::time_point t{};
  FollowUp last;
};

TEST_F(Station, SampleRecordsAreOnesThePagesAccept) {
  for (int type : {1, 2, 3}) {
    const StationState s = SampleStationState(type);
    records::DockingInfoRecord d;
    d.bytes = s.docking;
    records::SingleGasOptionRecord sg;
    sg.bytes = s.singleGas;
    records::MultiGasOptionRecord mg;
    mg.bytes = s.multiGas;
    EXPECT_EQ(records::CheckDockingRecord(d), std::nullopt);
    EXPECT_EQ(records::CheckSingleGasRecord(sg), std::nullopt);
    EXPECT_EQ(records::CheckMultiGasRecord(mg), std::nullopt);
    EXPECT_EQ(d.Length(), 64u);
  }
}

TEST_F(Station, RepeatedCopyIsAnsweredOnceUnlessItComesBackLater) {
  const RequestFrame request{0x40, {}};
  EXPECT_FALSE(core.OnRequest(request, t).frame.empty());
  EXPECT_TRUE(core.OnRequest(request, t + 14ms).frame.empty());
  EXPECT_TRUE(core.OnRequest(request, t + 28ms).frame.empty());
  // The tool resends after its 200 ms resend tick when the answer was lost.
  EXPECT_FALSE(core.OnRequest(request, t + 28ms + 200ms).frame.empty());
}

TEST_F(Station, WithoutTheRepeatFilterEveryCopyIsAnswered) {
  StationCore everyCopy(state, [this] { return wall; },
                        {.repeatFilter = false, .logHeaderName = {}});
  const RequestFrame request{0x40, {}};
  for (auto at : {0ms, 14ms, 28ms}) {
    EXPECT_FALSE(everyCopy.OnRequest(request, t + at).frame.empty()) << at.count() << " ms";
  }
}

TEST_F(Station, RecordReadsFollowTheStationFamily) {
  EXPECT_EQ(Ask(0x33, Block(0)).payload, Bytes(state.docking.begin(), state.docking.end()));
  EXPECT_EQ(Ask(0x33, Block(2)).payload, Bytes(state.multiGas.begin(), state.multiGas.end()));
  EXPECT_EQ(Ask(0x33, Block(1)).payload, Bytes{0}) << "not a single-gas station";
  EXPECT_EQ(Ask(0x33, Block(18)).payload.size(), 100u) << "16 more is an auto-synced read";
}

TEST_F(Station, WriteTakesTheRecordAnnouncedBy0x30) {
  auto record = state.docking;
  record[34] = 60;  // maximum bump time
  EXPECT_EQ(Ask(0x30, Block(0)).payload.size(), 0u) << "ready: not a one-byte answer";
  const RequestFrame done = Ask(0x31, Bytes(record.begin(), record.end()));
  EXPECT_EQ(done.code, 0x31);
  EXPECT_EQ(done.payload, Bytes{1});
  EXPECT_EQ(state.docking, record);
}

TEST_F(Station, WritesThatDoNotFitAreRefused) {
  const Bytes docking(state.docking.begin(), state.docking.end());
  EXPECT_EQ(Ask(0x31, docking).code, 0x32) << "no 0x30 before";
  EXPECT_EQ(Ask(0x30, Block(1)).payload, Bytes{0}) << "a single-gas record on a multi-gas station";
  Ask(0x30, Block(2));
  EXPECT_EQ(Ask(0x31, docking).code, 0x32) << "a docking record for the detector target";
  Bytes bad(state.multiGas.begin(), state.multiGas.end());
  bad[0] = 99;
  Ask(0x30, Block(2));
  EXPECT_EQ(Ask(0x31, bad).code, 0x32) << "a record whose length field is wrong";
}

TEST_F(Station, LogListSplitsIntoTheTwoTables) {
  state.logs.clear();
  for (int i = 0; i < 40; ++i) state.logs.push_back({"LOG" + std::to_string(i), {1}});
  const Bytes list = Ask(0x34).payload;
  ASSERT_EQ(list.size(), 3208u);
  EXPECT_EQ(list[0] | (list[1] << 8), 3208);
  EXPECT_EQ(list[4], 32);
  EXPECT_EQ(list[6], 8);
  EXPECT_EQ(protocol::SlotToName(Bytes(list.begin() + 8, list.begin() + 28)), "LOG0");
  EXPECT_EQ(protocol::SlotToName(Bytes(list.begin() + 648, list.begin() + 668)), "LOG32");
  state.logs.clear();
  EXPECT_TRUE(Ask(0x34).payload.empty());
}

TEST_F(Station, LogAndFirmwareRequestsAnnounceTheirTransfers) {
  EXPECT_EQ(Ask(0x35, Slot("EVT20261209.LOG")).payload, Bytes{1});
  EXPECT_EQ(last.kind, FollowUp::Kind::SendLog);
  EXPECT_EQ(last.logName, "EVT20261209.LOG");
  EXPECT_EQ(Ask(0x35, Slot("NOSUCH.LOG")).payload, Bytes{0});
  EXPECT_EQ(last.kind, FollowUp::Kind::None);
  Ask(0x38, Bytes{'T', 'K', 'L', '.', 'b', 'i', 'n'});
  EXPECT_EQ(last.kind, FollowUp::Kind::ReceiveFirmware);
  EXPECT_EQ(last.family, RecordType::SingleGas);
  EXPECT_EQ(last.firmwareName, "TKL.bin");
}

TEST_F(Station, ClockRunsFromTheSetTime) {
  Bytes set = Block(0);
  const std::int32_t fields[6] = {2017, 12, 31, 23, 59, 59};
  std::memcpy(&set[4], fields, sizeof fields);  // little-endian host, as the station
  const Bytes answer = Ask(0xAF, set).payload;
  EXPECT_EQ(answer, set);
  wall += 2;  // two seconds later the station is in the new year
  const Bytes later = Ask(0xAE, Block(0)).payload;
  std::int32_t year = 0;
  std::int32_t second = 0;
  std::memcpy(&year, &later[4], 4);
  std::memcpy(&second, &later[24], 4);
  EXPECT_EQ(year, 2018);
  EXPECT_EQ(second, 1);
}

TEST_F(Station, CertificatesByName) {
  const Bytes list = Ask(0x50).payload;
  ASSERT_EQ(list[4], 2);
  const std::string first = protocol::SlotToName(Bytes(list.begin() + 6, list.begin() + 26));
  EXPECT_EQ(Ask(0x51, Slot(first)).payload.size(), 108u);
  EXPECT_TRUE(Ask(0x51, Slot("NONE.CRT")).payload.empty());
}

TEST_F(Station, ACertificateFileTooLongForOneAnswerIsNotGiven) {
  // The length of a larger answer would not be read; an empty answer says there is none.
  state.certificates = {{"BIG.CRT", Bytes(5000, 1)}, {"EDGE.CRT", Bytes(4095, 2)}};
  const RequestFrame big = Ask(0x51, Slot("BIG.CRT"));
  EXPECT_EQ(big.code, 0x51);
  EXPECT_TRUE(big.payload.empty());
  EXPECT_EQ(Ask(0x51, Slot("EDGE.CRT")).payload.size(), 4095u);
}

Bytes SetClockBlock(std::int32_t year, std::int32_t month, std::int32_t day, std::int32_t hour,
                    std::int32_t minute, std::int32_t second) {
  Bytes set = Block(0);
  const std::int32_t fields[6] = {year, month, day, hour, minute, second};
  std::memcpy(&set[4], fields, sizeof fields);  // little-endian host, as the station
  return set;
}

TEST_F(Station, SetClockOutsideTheCalendarKeepsTheClock) {
  const struct {
    const char* name;
    Bytes set;
  } cases[] = {
      {"FieldsTheCalendarCannotHold", SetClockBlock(INT32_MIN, INT32_MIN, 1, 0, 0, 0)},
      {"ThirtiethOfFebruary", SetClockBlock(2026, 2, 30, 12, 0, 0)},
      {"TwentyNinthOfFebruaryInACommonYear", SetClockBlock(2025, 2, 29, 12, 0, 0)},
      {"MonthThirteen", SetClockBlock(2026, 13, 1, 12, 0, 0)},
      {"EmptyDate", SetClockBlock(2026, 0, 0, 12, 0, 0)},
      {"HourTwentyFive", SetClockBlock(2026, 1, 1, 25, 0, 0)},
      {"SecondSixty", SetClockBlock(2026, 1, 1, 12, 0, 60)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes before = Ask(0xAE, Block(0)).payload;
    EXPECT_EQ(Ask(0xAF, c.set).payload, before) << "answered with the clock as it was";
    EXPECT_EQ(state.clockOffset, 0);
  }
  // The last day of February in a leap year is a day like any other.
  EXPECT_EQ(Ask(0xAF, SetClockBlock(2024, 2, 29, 12, 0, 0)).payload,
            SetClockBlock(2024, 2, 29, 12, 0, 0));
}

// Every service request, answered from the station's state.
struct ServiceCase {
  const char* name;
  std::uint8_t code;
  Bytes payload;
  std::function<void(StationState&)> before;
  Bytes answer;
  std::function<void(const StationState&)> after;
  bool saves;  // the records changed: the owner must write them back
};

class ServiceRequest : public Station, public testing::WithParamInterface<ServiceCase> {};

TEST_P(ServiceRequest, IsAnsweredFromTheState) {
  const ServiceCase& c = GetParam();
  int saved = 0;
  core.onChanged = [&] { ++saved; };
  if (c.before) c.before(state);
  const RequestFrame answer = Ask(c.code, c.payload);
  EXPECT_EQ(answer.code, c.code);
  EXPECT_EQ(answer.payload, c.answer);
  if (c.after) c.after(state);
  EXPECT_EQ(saved > 0, c.saves);
}

records::DockingInfoRecord DockingOf(const StationState& s) {
  records::DockingInfoRecord r;
  r.bytes = s.docking;
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Station, ServiceRequest,
    testing::Values(
        ServiceCase{"SerialNumberGoesIntoTheDockingRecord", 0x41,
                    Bytes{'D', 'S', '0', '0', '0', '7'}, nullptr, Bytes{},
                    [](const StationState& s) { EXPECT_EQ(DockingOf(s).SerialNumber(), "DS0007"); },
                    true},
        ServiceCase{"SerialNumberOfTwelveCharacters", 0x41, Bytes(12, 'Z'), nullptr, Bytes{},
                    [](const StationState& s) {
                      EXPECT_EQ(DockingOf(s).SerialNumber(), std::string(12, 'Z'));
                      EXPECT_EQ(DockingOf(s).Length(), 64u) << "nothing past the field";
                    },
                    true},
        ServiceCase{"SelfTest", 0xFF, Bytes{}, nullptr, Bytes{}, nullptr, false},
        ServiceCase{"FirmwareEraseForgetsOnlyTheStationsImage", 0xAD, Bytes{},
                    [](StationState& s) {
                      s.firmware[RecordType::Docking] = {"DK_FW.bin", "1.0", true};
                      s.firmware[RecordType::MultiGas] = {"RVX_FW.bin", "2.1", true};
                    },
                    Bytes{},
                    [](const StationState& s) {
                      EXPECT_EQ(s.firmware.count(RecordType::Docking), 0u);
                      EXPECT_EQ(s.firmware.count(RecordType::MultiGas), 1u);
                    },
                    false},
        ServiceCase{"EthernetLinkUp", 0x42, Bytes{}, nullptr, Bytes{0}, nullptr, false},
        ServiceCase{"EthernetLinkDown", 0x42, Bytes{},
                    [](StationState& s) { s.ethernetUp = false; }, Bytes{1}, nullptr, false},
        ServiceCase{"IpAddressFirstOctetFirst", 0x43, Bytes{},
                    [](StationState& s) {
                      s.ipAddress = {10, 1, 2, 254};
                    },
                    Bytes{10, 1, 2, 254}, nullptr, false},
        ServiceCase{"FactoryDefaultRestoresTheSampleRecords", 0xAC, Bytes{},
                    [](StationState& s) {
                      s.docking[20] ^= 0xFF;
                      s.singleGas[40] ^= 0xFF;
                      s.multiGas[60] ^= 0xFF;
                      s.clockOffset = 3600;
                      s.logs.resize(1);
                    },
                    Bytes{},
                    [](const StationState& s) {
                      const StationState sample = SampleStationState(2);
                      EXPECT_EQ(s.docking, sample.docking);
                      EXPECT_EQ(s.singleGas, sample.singleGas);
                      EXPECT_EQ(s.multiGas, sample.multiGas);
                      EXPECT_EQ(s.clockOffset, 3600) << "the clock runs on";
                      EXPECT_EQ(s.logs.size(), 1u) << "the logs stay";
                    },
                    true}),
    [](const testing::TestParamInfo<ServiceCase>& row) { return std::string(row.param.name); });

TEST_F(Station, AfterAFactoryDefaultTheStationHearsNothingForAWhile) {
  Ask(0x30, Block(0));  // a write announced before the reset is forgotten
  t += 1s;
  const Clock::time_point reset = t;
  ASSERT_FALSE(core.OnRequest({0xAC, {}}, reset).frame.empty());
  EXPECT_TRUE(core.Restarting(reset + 299ms));
  EXPECT_TRUE(core.OnRequest({0x40, {}}, reset + 50ms).frame.empty());
  const Bytes set = SetClockBlock(2030, 1, 1, 0, 0, 0);
  EXPECT_TRUE(core.OnRequest({0xAF, set}, reset + 100ms).frame.empty());
  EXPECT_EQ(state.clockOffset, 0) << "a request dropped has no effect";
  EXPECT_FALSE(core.Restarting(reset + StationCore::kRestartTime));
  EXPECT_FALSE(core.OnRequest({0x40, {}}, reset + StationCore::kRestartTime).frame.empty());
  t = reset + 1s;
  EXPECT_EQ(Ask(0x31, Bytes(state.docking.begin(), state.docking.end())).code, 0x32);
}

}  // namespace
}  // namespace ql::station
