#include "tools/station/station_core.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

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

TEST_F(Station, SetClockOutsideTheCalendarKeepsTheClock) {
  Bytes set = Block(0);
  const std::int32_t fields[6] = {INT32_MIN, INT32_MIN, 1, 0, 0, 0};
  std::memcpy(&set[4], fields, sizeof fields);
  const Bytes before = Ask(0xAE, Block(0)).payload;
  EXPECT_EQ(Ask(0xAF, set).payload, before) << "answered with the clock as it was";
  EXPECT_EQ(state.clockOffset, 0);
}

}  // namespace
}  // namespace ql::station
