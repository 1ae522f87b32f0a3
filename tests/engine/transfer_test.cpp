// Firmware upload and log download through the engine, with the station played by the
// test and every time-out on a virtual clock.

#include <gtest/gtest.h>

#include "engine/messages.h"
#include "protocol/certificate_list.h"
#include "tests/engine/engine_fixture.h"
#include "tests/ymodem/support.h"

namespace ql::engine {
namespace {

using namespace std::chrono_literals;
using testsupport::Bytes;
using testsupport::EngineFixture;
namespace ym = link::testsupport;

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

using Certificates = EngineFixture;

TEST_F(Certificates, ListAnswers) {
  struct Case {
    const char* name;
    Bytes payload;
    std::vector<std::string> rows;
    const char* message;
  };
  Bytes clamped = protocol::BuildCertificateList(std::vector<std::string>{"C1.CRT"});
  clamped[4] = 0xFF;  // more names than the table holds: only what the record carries
  clamped[5] = 0xFF;
  const Case cases[] = {
      {"Empty", {}, {}, "CertiData file receive fail \n (Certi Log empty or USB not connected)"},
      {"TwoNames",
       protocol::BuildCertificateList(std::vector<std::string>{"C1.CRT", "C2.CRT"}),
       {"C1.CRT", "C2.CRT"},
       "CertiData file receive success"},
      {"CountBeyondTheTable", clamped, {"C1.CRT"}, "CertiData file receive success"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui = {};
    Identify(2);
    hooks.StopTransmitter();
    ui.messages.clear();
    engine.RefreshCertificateList();
    auto request = TakeRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->code, cmd::kCertificateList);
    Answer(cmd::kCertificateList, c.payload);
    std::vector<std::string> rows;
    for (const std::string& row : ui.certificateRows) {
      if (!row.empty()) rows.push_back(row);
    }
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(ui.messages, std::vector<std::string>{c.message});
    EXPECT_TRUE(ui.usbDiskDisabled);
    engine.OpenCloseButton(std::nullopt);
  }
}

TEST_F(Certificates, LoadChecksPortAndSelection) {
  engine.LoadCertificate("C1.CRT");
  EXPECT_EQ(ui.messages.back(), "The port not open");
  Identify(2);
  hooks.StopTransmitter();
  engine.LoadCertificate("");
  EXPECT_EQ(ui.messages.back(), "Not Selected !!");
  EXPECT_EQ(hooks.LastCommand(), 0);
}

TEST_F(Certificates, LoadAnswers) {
  records::CertificateRecord fourGas;
  fourGas.year = 2026;
  fourGas.month = 3;
  fourGas.day = 5;
  fourGas.productCode = "RVX";
  fourGas.gasType = records::kCertificateFourGas;
  fourGas.result = records::kCertificatePass;
  const auto full = fourGas.Bytes();
  const Bytes shortened(full.begin(), full.begin() + 105);  // the result byte is missing
  records::CertificateRecord noData = fourGas;
  noData.gasType = records::kCertificateNoData;
  const auto noDataBytes = noData.Bytes();
  struct Case {
    const char* name;
    Bytes payload;
    std::size_t shown;
    std::vector<std::string> messages;
    std::uint8_t storedGasType;
  };
  const Case cases[] = {
      {"FourGas", Bytes(full.begin(), full.end()), 1, {}, records::kCertificateFourGas},
      {"ShortPayloadReadsAsZero", shortened, 1, {}, records::kCertificateFourGas},
      {"NoData",
       Bytes(noDataBytes.begin(), noDataBytes.end()),
       0,
       {"Gas Type Mismatch \n"},
       records::kCertificateNoData},
      {"Empty", {}, 0, {"CertiData receive fail \n (Certi data empty or USB not connected)"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ui = {};
    Identify(2);
    hooks.StopTransmitter();
    engine.ClearCertificate();
    ui.messages.clear();
    engine.LoadCertificate("C1.CRT");
    auto request = TakeRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->code, cmd::kCertificateData);
    EXPECT_EQ(request->payload, Slot("C1.CRT"));
    Answer(cmd::kCertificateData, c.payload);
    EXPECT_EQ(ui.shownCertificates.size(), c.shown);
    EXPECT_EQ(ui.messages, c.messages);
    EXPECT_EQ(engine.Certificate().gasType, c.storedGasType);
    if (c.shown == 1) {
      EXPECT_EQ(ui.shownCertificates.front().productCode, "RVX");
      EXPECT_EQ(ui.shownCertificates.front().result,
                c.payload.size() < 106 ? 0 : records::kCertificatePass);
    }
    engine.OpenCloseButton(std::nullopt);
  }
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

// A log save run into a fresh folder, with the test playing the station's YMODEM sender
// block by block.
class LogReceive : public EngineFixture {
 public:
  // Starts a run for `names` and lets the station accept the first request.
  void StartAccepted(const std::vector<std::string>& names) {
    Identify(3);
    ui.ends.clear();
    ui.messages.clear();
    engine.SaveLogs(names, folder.Path());
    const auto request = TakeRequest();
    ASSERT_TRUE(request);
    ASSERT_EQ(request->payload, Slot(names.front()));
    Answer(cmd::kLogFile, {1});
    ASSERT_TRUE(hooks.Flags().logReceiveArmed.load());
  }
  // Sends `block` and waits until the receiver has answered it (it drops what came before
  // its answer, so the next block must wait for it).
  void Send(const Bytes& block) {
    const auto written = [&] {
      std::lock_guard lock(port->mutex);
      return port->written.size();
    };
    const std::size_t before = written();
    Station(block);
    ASSERT_TRUE(RunTransferUntil([&] { return written() > before; })) << "no answer";
  }
  // One whole file: header, its data, end of file.
  void SendFile(const std::string& name, const Bytes& data) {
    Send(ym::Header(name, std::to_string(data.size())));
    for (const Bytes& block : ym::DataBlocks(data)) Send(block);
    Send({ym::kEot});
  }
  void UntilEnded() {
    ASSERT_TRUE(RunTransferUntil([&] { return !ui.ends.empty(); }));
  }

  ym::TempDir folder;
  const Bytes content = ym::Pattern(1500);
};

struct HeaderCase {
  const char* name;
  std::function<void(LogReceive&)> station;  // after the acceptance of EVT1.LOG
  RequestOutcome outcome;
  std::vector<std::string> files;  // in the folder afterwards
  std::vector<std::string> says;   // words of the end's reason
};
void PrintTo(const HeaderCase& c, std::ostream* os) {
  *os << c.name;
}

class LogHeader : public LogReceive, public testing::WithParamInterface<HeaderCase> {};

// A log download stores the file it asked for and nothing else.
TEST_P(LogHeader, OnlyTheRequestedFileIsStored) {
  const HeaderCase& c = GetParam();
  StartAccepted({"EVT1.LOG"});
  c.station(*this);
  UntilEnded();
  ASSERT_EQ(ui.ends.size(), 1u);
  const RequestEnd& end = ui.ends.front();
  EXPECT_EQ(end.request, cmd::kLogFile);
  EXPECT_EQ(end.outcome, c.outcome) << end.status.message;
  for (const std::string& word : c.says) {
    EXPECT_NE(end.status.message.find(word), std::string::npos) << end.status.message;
  }
  EXPECT_EQ(ym::Entries(folder.Path()), c.files);
  if (!c.files.empty()) {
    EXPECT_EQ(ym::ReadFile(folder.Path() / "EVT1.LOG"), content);
  }
  EXPECT_EQ(ui.messages.back(),
            c.outcome == RequestOutcome::Done ? msg::kLogSaveOk : msg::kLogSaveFail);
}

INSTANTIATE_TEST_SUITE_P(Batches, LogHeader,
                         testing::Values(HeaderCase{"TheRequestedFile",
                                                    [](LogReceive& s) {
                                                      s.SendFile("EVT1.LOG", s.content);
                                                      s.Send(ym::BatchEnd());
                                                    },
                                                    RequestOutcome::Done,
                                                    {"EVT1.LOG"},
                                                    {}},
                                         HeaderCase{"AnotherName",
                                                    [](LogReceive& s) {
                                                      s.Send(ym::Header(".bashrc", "1500"));
                                                    },
                                                    RequestOutcome::Refused,
                                                    {},
                                                    {".bashrc", "EVT1.LOG"}},
                                         HeaderCase{"ASecondFileAfterTheRequestedOne",
                                                    [](LogReceive& s) {
                                                      s.SendFile("EVT1.LOG", s.content);
                                                      s.Send(ym::Header("EVT2.LOG", "1500"));
                                                    },
                                                    RequestOutcome::Refused,
                                                    {"EVT1.LOG"},
                                                    {"second file", "EVT2.LOG"}}),
                         [](const auto& row) { return std::string(row.param.name); });

// The request for the next file is watched as the first one is: unanswered, the save run's
// watchdog ends the run.
TEST_F(LogReceive, AnUnansweredRequestForTheNextFileEndsByTheWatchdog) {
  StartAccepted({"EVT1.LOG", "EVT2.LOG"});
  SendFile("EVT1.LOG", content);
  Send(ym::BatchEnd());
  ASSERT_TRUE(RunTransferUntil([&] { return hooks.LastCommand() == cmd::kLogFile; }));
  timers.Advance(9900ms);
  EXPECT_TRUE(ui.ends.empty());
  timers.Advance(100ms);
  ASSERT_EQ(ui.ends.size(), 1u);
  EXPECT_EQ(ui.ends.front().outcome, RequestOutcome::Stalled);
  EXPECT_EQ(ym::Entries(folder.Path()), std::vector<std::string>{"EVT1.LOG"});
}

// The line goes while the request for the next file is out: the run ends with the line,
// and OPEN, "Local Save" and "Refresh" are usable again.
TEST_F(LogReceive, ALineLostBetweenFilesEndsTheRun) {
  StartAccepted({"EVT1.LOG", "EVT2.LOG"});
  SendFile("EVT1.LOG", content);
  Send(ym::BatchEnd());
  ASSERT_TRUE(RunTransferUntil([&] { return hooks.LastCommand() == cmd::kLogFile; }));
  EXPECT_FALSE(ui.logSaveEnabled);
  {
    std::lock_guard lock(port->mutex);
    port->lost = true;
    port->changed.notify_all();
  }
  ASSERT_TRUE(loop.RunUntil([&] { return !ui.ends.empty(); }, 5s));
  EXPECT_EQ(ui.ends.front().outcome, RequestOutcome::LineLost);
  EXPECT_TRUE(ui.logSaveEnabled);
  EXPECT_FALSE(hooks.LogSaveRunning());
  EXPECT_EQ(ym::Entries(folder.Path()), std::vector<std::string>{"EVT1.LOG"});
}

TEST_F(Logs, ANameThatStartsWithADotStartsNoRun) {
  Identify(3);
  ui.messages.clear();
  engine.SaveLogs({"A.LOG", ".bashrc"}, "/tmp");
  EXPECT_FALSE(hooks.LogSaveRunning());
  EXPECT_NE(hooks.LastCommand(), cmd::kLogFile);
  ASSERT_EQ(ui.ends.size(), 2u);
  EXPECT_EQ(ui.ends.back().outcome, RequestOutcome::Refused);
  EXPECT_NE(ui.ends.back().status.message.find(".bashrc"), std::string::npos);
}

}  // namespace
}  // namespace ql::engine
