// Firmware upload and log download through the engine, with the station played by the
// test and every time-out on a virtual clock.

#include <gtest/gtest.h>

#include "tests/engine/engine_fixture.h"

namespace ql::engine {
namespace {

using namespace std::chrono_literals;
using testsupport::Bytes;
using testsupport::EngineFixture;

records::FirmwareImage Image(std::size_t size, const std::string& path) {
  records::FirmwareImage image;
  image.content.assign(size, 0x5A);
  image.length = size;
  image.blockCount = records::FirmwareBlockCount(size);
  image.fileName = path;
  return image;
}

Bytes Slot(const std::string& name) {
  Bytes b(20, 0);
  std::copy(name.begin(), name.end(), b.begin());
  return b;
}

// A log list record: first-table names, then second-table names.
Bytes LogList(const std::vector<std::string>& first, const std::vector<std::string>& second) {
  Bytes r(3208, 0);
  r[0] = static_cast<std::uint8_t>(3208 & 0xFF);
  r[1] = static_cast<std::uint8_t>(3208 >> 8);
  r[4] = static_cast<std::uint8_t>(first.size());
  r[6] = static_cast<std::uint8_t>(second.size());
  for (std::size_t i = 0; i < first.size(); ++i)
    std::copy(first[i].begin(), first[i].end(), r.begin() + 8 + static_cast<long>(20 * i));
  for (std::size_t j = 0; j < second.size(); ++j)
    std::copy(second[j].begin(), second[j].end(), r.begin() + 648 + static_cast<long>(20 * j));
  return r;
}

using Firmware = EngineFixture;

TEST_F(Firmware, WriteAsksTheStationWithTheFileNameOnly) {
  Identify(1);
  TakeRequest();
  hooks.StopTransmitter();
  engine.StartFirmwareWrite(RecordType::SingleGas, Image(10240, "/media/usb0/firmware/YBR_CO.bin"));
  auto request = TakeRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->code, cmd::kFirmwareSingleGas);
  EXPECT_EQ(request->payload, (Bytes{'Y', 'B', 'R', '_', 'C', 'O', '.', 'b', 'i', 'n'}));
  EXPECT_EQ(ui.firmwareRange, std::make_tuple(RecordType::SingleGas, 0, 12));  // 13 blocks
}

TEST_F(Firmware, WriteWithThePortClosedSaysPortOpenCheck) {
  engine.StartFirmwareWrite(RecordType::Docking, Image(1000, "DK_FW.bin"));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Port open check"});
}

TEST_F(Firmware, BarsFollowTheAcksUpToTheBlockCountThenASilentStationFails) {
  Identify(3);
  ui.messages.clear();
  engine.StartFirmwareWrite(RecordType::Docking, Image(10240, "DK_FW.bin"));
  TakeRequest();
  Answer(cmd::kFirmwareDocking, {1});
  ASSERT_TRUE(hooks.FirmwareUploadRunning());
  EXPECT_TRUE(ui.requestInFlight) << "the transfer buttons are disabled";
  ui.progress.clear();
  Station(Bytes(5, 0x06));
  ASSERT_FALSE(ui.progress.empty());
  EXPECT_EQ(ui.progress.back(), 5);
  Station(Bytes(10, 0x06));  // more ACKs than blocks, none of them a 'C'
  EXPECT_EQ(ui.progress.back(), 13) << "the bars stop at the block count";
  Station(Bytes(3, 0x06));
  EXPECT_LE(*std::max_element(ui.progress.begin(), ui.progress.end()), 13);

  // No 'C' ever comes: the send gives up after its 10 s wait.
  ASSERT_TRUE(RunTransferUntil([&] { return !ui.messages.empty(); }));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Firmware file send fail"});
  EXPECT_EQ(ui.progress.back(), 0);
  EXPECT_FALSE(ui.requestInFlight);
  EXPECT_FALSE(hooks.FirmwareUploadRunning());
  EXPECT_FALSE(hooks.Flags().firmwareUpload.load());
}

TEST_F(Firmware, CloseDuringAnUploadEndsItWithoutAMessage) {
  Identify(3);
  ui.messages.clear();
  engine.StartFirmwareWrite(RecordType::Docking, Image(4000, "DK_FW.bin"));
  TakeRequest();
  Answer(cmd::kFirmwareDocking, {1});
  ASSERT_TRUE(hooks.FirmwareUploadRunning());
  engine.OpenCloseButton(std::nullopt);
  EXPECT_FALSE(hooks.FirmwareUploadRunning());
  loop.RunPending();
  EXPECT_TRUE(ui.messages.empty()) << "the torn-down upload's result is not shown";
  EXPECT_EQ(ui.firmwareCleared.size(), 3u);
}

TEST_F(Firmware, AStrayStartAnswerWithoutAnImageStartsNothing) {
  Identify(3);
  Answer(cmd::kFirmwareMultiGas, {1});
  EXPECT_FALSE(hooks.FirmwareUploadRunning());
  EXPECT_FALSE(hooks.Flags().firmwareUpload.load());
}

using Logs = EngineFixture;

TEST_F(Logs, ListRowsComeFromBothTables) {
  Identify(2);
  TakeRequest();
  hooks.StopTransmitter();
  ui.messages.clear();
  engine.RefreshLogList();
  auto request = TakeRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->code, cmd::kLogList);
  Answer(cmd::kLogList, LogList({"A1.LOG", "A2.LOG"}, {"B1.LOG"}));
  EXPECT_EQ(ui.logRows, (std::vector<std::string>{"A1.LOG", "A2.LOG", "B1.LOG"}));
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Log file receive success"});
  EXPECT_TRUE(ui.usbDiskDisabled);
}

TEST_F(Logs, ListAnswers) {
  struct Case {
    const char* name;
    int type;
    Bytes payload;
    std::size_t rows;
    const char* message;
  };
  Bytes twentyCharName = LogList({"ABCDEFGHIJKLMNOPQRST"}, {});
  Bytes overCounted = LogList({"A.LOG"}, {});
  overCounted[4] = 200;  // more names than the first table holds
  Bytes truncated = LogList({"A.LOG", "B.LOG"}, {});
  truncated.resize(30);  // the second name did not arrive
  const Case cases[] = {
      {"Empty", 2, {}, 0, "Log file receive fail \n (Log data empty or USB not connected)"},
      {"PumpStationShowsNoRows", 3, LogList({"A.LOG"}, {}), 0, "Log file receive success"},
      {"NameFillingItsSlot", 1, twentyCharName, 1, "Log file receive success"},
      {"CountsBeyondTheTable", 2, overCounted, 32, "Log file receive success"},
      {"ShortRecord", 2, truncated, 1, "Log file receive success"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui = {};
    Identify(c.type);
    hooks.StopTransmitter();
    ui.messages.clear();
    engine.RefreshLogList();
    Answer(cmd::kLogList, c.payload);
    EXPECT_EQ(ui.logRows.size(), c.rows);
    EXPECT_EQ(ui.messages, std::vector<std::string>{c.message});
    engine.OpenCloseButton(std::nullopt);
  }
}

TEST_F(Logs, SaveChecksPortAndSelection) {
  engine.SaveLogs({"A.LOG"}, "/tmp");
  EXPECT_EQ(ui.messages.back(), "The port not open");
  Identify(3);
  engine.SaveLogs({}, "/tmp");
  EXPECT_EQ(ui.messages.back(), "Not Selected !!");
  EXPECT_EQ(hooks.LastCommand(), 0);
  EXPECT_TRUE(ui.logSaveEnabled);
}

TEST_F(Logs, ANameFillingItsSlotTravelsWholeOneLongerStartsNoRun) {
  Identify(3);
  ui.messages.clear();
  const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
  // Cut to a slot, the longer name would ask the station for the twenty-character file.
  engine.SaveLogs({"A.LOG", twenty + "U"}, "/tmp");
  EXPECT_FALSE(hooks.LogSaveRunning());
  EXPECT_TRUE(ui.logSaveEnabled);
  EXPECT_NE(hooks.LastCommand(), cmd::kLogFile);
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages.back().find(twenty + "U"), std::string::npos);
  ASSERT_FALSE(ui.ends.empty());
  EXPECT_EQ(ui.ends.back().outcome, RequestOutcome::Refused);

  engine.SaveLogs({twenty}, "/tmp");
  const auto request = TakeRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->code, cmd::kLogFile);
  EXPECT_EQ(request->payload, Bytes(twenty.begin(), twenty.end())) << "no NUL after 20 bytes";
}

TEST_F(Logs, RefusedNameEndsTheRunAndTheNextStartsFromTheFirst) {
  Identify(3);
  ui.messages.clear();
  engine.SaveLogs({"A.LOG", "B.LOG"}, "/tmp");
  EXPECT_FALSE(ui.logSaveEnabled);
  auto request = TakeRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->payload, Slot("A.LOG"));
  Answer(cmd::kLogFile, {0});
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Docking USB not connected"});
  EXPECT_TRUE(ui.logSaveEnabled);
  EXPECT_EQ(ui.progress.back(), 0);
  engine.SaveLogs({"A.LOG", "B.LOG"}, "/tmp");
  request = TakeRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->payload, Slot("A.LOG"));
}

TEST_F(Logs, WatchdogEndsARunTheStationNeverAnswers) {
  Identify(3);
  ui.messages.clear();
  engine.SaveLogs({"A.LOG"}, "/tmp");
  timers.Advance(9900ms);
  EXPECT_TRUE(ui.messages.empty());
  timers.Advance(100ms);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Log data save failure\n(File opened on pc or IRDA fail)"});
  EXPECT_TRUE(ui.logSaveEnabled);
  EXPECT_FALSE(hooks.LogSaveRunning());
}

TEST_F(Logs, WatchdogEndsAReceiveThatStalls) {
  Identify(3);
  ui.messages.clear();
  engine.SaveLogs({"A.LOG"}, "/tmp");
  TakeRequest();
  Answer(cmd::kLogFile, {1});  // accepted, then nothing more
  EXPECT_TRUE(hooks.Flags().logReceiveArmed.load());
  EXPECT_FALSE(timers.Running(timer::kLogWatchdog)) << "acceptance stops the watchdog";
  // The receiver asks with 'C' each second of silence and gives up after its 10 s wait.
  ASSERT_TRUE(RunTransferUntil([&] { return !ui.messages.empty(); }));
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Log data save failure\n(File opened on pc or IRDA fail)"});
  EXPECT_FALSE(hooks.Flags().logReceiveArmed.load());
  EXPECT_TRUE(ui.logSaveEnabled);
  const Bytes written = Written();
  EXPECT_NE(std::find(written.begin(), written.end(), 'C'), written.end());
}

}  // namespace
}  // namespace ql::engine
