// The command-line tool against the station emulator, both as built, over a real
// pseudo-terminal.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <optional>
#include <sstream>
#include <thread>

#include "protocol/commands.h"
#include "records/docking_info.h"
#include "tests/e2e/files.h"
#include "tests/e2e/process.h"
#include "tools/cli/station_session.h"
#include "tools/station/station_state.h"

namespace ql {
namespace {

namespace fs = std::filesystem;
using testsupport::Background;
using testsupport::ReadBytes;
using testsupport::RunProgram;
using testsupport::WriteBytes;
using Bytes = std::vector<std::uint8_t>;

class CliAgainstStation : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("ql-e2e-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "runtime");
    // Each test sees only its own emulators.
    ::setenv("XDG_RUNTIME_DIR", (dir_ / "runtime").c_str(), 1);
  }
  void TearDown() override {
    station_.reset();
    fs::remove_all(dir_);
  }

  std::string StartStation(int type, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {QUAYLINK_STATION, "--type", std::to_string(type), "--state",
                                     (dir_ / "state").string()};
    args.insert(args.end(), more.begin(), more.end());
    station_ = std::make_unique<Background>(std::move(args));
    device_ = station_->FirstLine();
    return device_;
  }
  testsupport::RunResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), QUAYLINK_CLI);
    return RunProgram(std::move(args));
  }
  testsupport::RunResult CliOnPort(std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", device_});
    return Cli(std::move(args));
  }

  fs::path dir_;
  std::string device_;
  std::unique_ptr<Background> station_;
};

TEST_F(CliAgainstStation, InfoNamesTheStationFamily) {
  const std::pair<int, const char*> cases[] = {
      {1, "1 single-gas station\n"}, {2, "2 multi-gas station\n"}, {3, "3 pump docking station\n"}};
  for (const auto& [type, expected] : cases) {
    SCOPED_TRACE(type);
    ASSERT_FALSE(StartStation(type).empty());
    const auto r = CliOnPort({"info"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected);
    station_.reset();
  }
}

TEST_F(CliAgainstStation, PortsListsTheRunningEmulator) {
  StartStation(2);
  const auto r = Cli({"ports"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("\t" + device_ + "\n"), std::string::npos) << r.out;
  station_->Stop();
  EXPECT_EQ(Cli({"ports"}).out.find(device_), std::string::npos) << "unregistered on exit";
}

TEST_F(CliAgainstStation, ReadGivesTheRecordsAsTheStationHasThem) {
  StartStation(2);
  const struct {
    const char* target;
    const char* file;
  } cases[] = {{"docking", "Docking.cfg"}, {"detector", "RVX.cfg"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    const fs::path out = dir_ / (std::string(c.target) + ".bin");
    const auto r = CliOnPort({"read", c.target, "--out", out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(out), ReadBytes(dir_ / "state" / c.file));
  }
}

TEST_F(CliAgainstStation, WrittenRecordReadsBackIdentical) {
  StartStation(3);
  const fs::path original = dir_ / "original.cfg";
  ASSERT_EQ(CliOnPort({"read", "docking", "--out", original.string()}).exitCode, 0);
  records::DockingInfoRecord record;
  const Bytes bytes = ReadBytes(original);
  ASSERT_EQ(bytes.size(), 64u);
  std::copy(bytes.begin(), bytes.end(), record.bytes.begin());
  record.SetMaximumBumpTime(static_cast<std::uint16_t>(record.MaximumBumpTime() == 60 ? 90 : 60));
  record.SetLocation("DOCK7");
  const fs::path changed = dir_ / "changed.cfg";
  WriteBytes(changed, Bytes(record.bytes.begin(), record.bytes.end()));

  const auto w = CliOnPort({"write", "docking", changed.string()});
  ASSERT_EQ(w.exitCode, 0) << w.err;
  EXPECT_NE(w.err.find("Write complete (Docking Info)"), std::string::npos);
  const fs::path back = dir_ / "back.cfg";
  ASSERT_EQ(CliOnPort({"read", "docking", "--out", back.string()}).exitCode, 0);
  EXPECT_EQ(ReadBytes(back), ReadBytes(changed));
  EXPECT_EQ(ReadBytes(dir_ / "state" / "Docking.cfg"), ReadBytes(changed));
}

TEST_F(CliAgainstStation, WriteRefusesWhatThePageWouldNotAccept) {
  StartStation(3);
  const Bytes before = ReadBytes(dir_ / "state" / "Docking.cfg");
  records::DockingInfoRecord record;
  std::copy(before.begin(), before.end(), record.bytes.begin());
  record.SetMaximumBumpTime(500);
  const fs::path bad = dir_ / "bad.cfg";
  WriteBytes(bad, Bytes(record.bytes.begin(), record.bytes.end()));
  const auto r = CliOnPort({"write", "docking", bad.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Maximum Bump Time: 500 is outside 20 to 120"), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(dir_ / "state" / "Docking.cfg"), before);
}

TEST_F(CliAgainstStation, DetectorRecordOfTheOtherFamilyIsRefused) {
  StartStation(2);
  const auto r = CliOnPort({"write", "detector", (dir_ / "state" / "TKL.cfg").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Device Type Mismatch"), std::string::npos) << r.err;
}

// A firmware container built by the tool itself from `size` bytes of bare image.
fs::path MakeFirmware(const fs::path& dir, const std::string& name, std::size_t size,
                      const std::string& family, const std::string& tag) {
  Bytes bare(size);
  for (std::size_t i = 0; i < size; ++i) bare[i] = static_cast<std::uint8_t>((i * 131) ^ (i >> 9));
  WriteBytes(dir / "bare.bin", bare);
  const auto r = RunProgram({QUAYLINK_CLI, "firmware", "pack", "--family", family, "--tag", tag,
                             (dir / "bare.bin").string(), (dir / name).string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return dir / name;
}

TEST_F(CliAgainstStation, FirmwareUploadArrivesWhole) {
  StartStation(2);
  const fs::path file = MakeFirmware(dir_, "RVX_FW.bin", 40000, "rvx", "2.1");
  const auto r = CliOnPort({"firmware", "upload", "--family", "rvx", file.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Firmware file send ok"), std::string::npos);
  EXPECT_EQ(ReadBytes(dir_ / "state" / "firmware" / "RVX_FW.bin"), ReadBytes(file));
}

TEST_F(CliAgainstStation, FirmwareThePageWouldRefuseIsNotSent) {
  StartStation(2);
  const fs::path wrongName = MakeFirmware(dir_, "firmware.bin", 4000, "rvx", "2.1");
  const fs::path wrongFamily = MakeFirmware(dir_, "DK_FW.bin", 4000, "rvx", "2.1");
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"firmware", "upload", "--family", "rvx", wrongName.string()}, "File Name Mismatch"},
      {{"firmware", "upload", "--family", "docking", wrongFamily.string()},
       "This is not the correct Firmware File."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const auto r = CliOnPort(c.args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  EXPECT_TRUE(fs::is_empty(dir_ / "state" / "firmware"));
}

TEST_F(CliAgainstStation, LogFilesArriveWholeUnderTheirNames) {
  StartStation(1);
  const auto list = CliOnPort({"logs", "list"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  std::vector<std::string> names;
  std::istringstream lines(list.out);
  for (std::string line; std::getline(lines, line);) names.push_back(line);
  std::vector<std::string> expected;
  for (const auto& e : fs::directory_iterator(dir_ / "state" / "logs"))
    expected.push_back(e.path().filename().string());
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(names, expected);
  ASSERT_EQ(names.size(), 3u);

  fs::create_directories(dir_ / "saved");
  std::vector<std::string> args = {"logs", "get", "--dir", (dir_ / "saved").string()};
  args.insert(args.end(), names.begin(), names.end());
  const auto get = CliOnPort(args);
  ASSERT_EQ(get.exitCode, 0) << get.err;
  EXPECT_NE(get.err.find("Log data save success"), std::string::npos);
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ReadBytes(dir_ / "saved" / name), ReadBytes(dir_ / "state" / "logs" / name));
  }
  // Only the files themselves: no temporary files left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "saved"), fs::directory_iterator()), 3);
}

TEST_F(CliAgainstStation, LogNameNotListedIsRefused) {
  StartStation(2);
  fs::create_directories(dir_ / "saved");
  const auto r = CliOnPort({"logs", "get", "--dir", (dir_ / "saved").string(), "../../etc/passwd"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not in the station's log list"), std::string::npos) << r.err;
}

TEST_F(CliAgainstStation, LineCutDuringAnUploadEndsItWithAMessage) {
  StartStation(2);
  const fs::path file = MakeFirmware(dir_, "RVX_FW.bin", 4 << 20, "rvx", "2.1");
  // The station goes away once the file has started to arrive.
  std::thread cut([&] {
    const fs::path incoming = dir_ / "state" / "firmware";
    for (int i = 0; i < 20000; ++i) {
      std::error_code ec;
      if (fs::exists(incoming, ec) && !fs::is_empty(incoming, ec)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(station_->Pid(), SIGKILL);
  });
  const auto started = std::chrono::steady_clock::now();
  const auto r = CliOnPort({"firmware", "upload", "--family", "rvx", file.string()});
  cut.join();
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("Connection lost"), std::string::npos) << r.err;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

// "YYYY-MM-DD HH:MM:SS" as seconds on a calendar without time zones; nothing otherwise.
std::optional<std::int64_t> CalendarSeconds(const std::string& text) {
  std::tm tm{};
  std::istringstream in(text);
  in >> std::get_time(&tm, "%Y-%m-%d %H:%M:%S");
  if (in.fail() || text.size() != 19) return std::nullopt;
  return static_cast<std::int64_t>(::timegm(&tm));
}

std::int64_t PcLocalSeconds() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return static_cast<std::int64_t>(::timegm(&local));
}

// The one line a clock command prints, as calendar seconds.
std::optional<std::int64_t> PrintedTime(const testsupport::RunResult& r) {
  if (r.out.size() != 20 || r.out.back() != '\n') return std::nullopt;
  return CalendarSeconds(r.out.substr(0, 19));
}

TEST_F(CliAgainstStation, ClockSetThenReadBack) {
  // A multi-gas station's clock comes with the automatic read; a pump station's is asked for.
  for (int type : {2, 3}) {
    SCOPED_TRACE(type);
    StartStation(type);
    const auto set = CliOnPort({"clock", "set", "2030-06-15 08:30:00"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    const auto setAt = PrintedTime(set);
    ASSERT_TRUE(setAt) << set.out;
    const std::int64_t wanted = *CalendarSeconds("2030-06-15 08:30:00");
    EXPECT_GE(*setAt, wanted);
    EXPECT_LE(*setAt, wanted + 1) << set.out;  // the station's answer to the set

    const auto read = CliOnPort({"clock", "read"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    const auto readAt = PrintedTime(read);
    ASSERT_TRUE(readAt) << read.out;
    EXPECT_GE(*readAt, wanted);
    EXPECT_LE(*readAt, wanted + 3) << read.out;
    EXPECT_EQ(read.err.find("[TX]"), std::string::npos) << "no traffic without --monitor";
    station_.reset();
  }
}

TEST_F(CliAgainstStation, ClockSetNowTakesThePcsLocalTime) {
  StartStation(3);
  ASSERT_EQ(CliOnPort({"clock", "set", "2030-06-15 08:30:00"}).exitCode, 0);
  const auto set = CliOnPort({"clock", "set", "now"});
  ASSERT_EQ(set.exitCode, 0) << set.err;
  const auto setAt = PrintedTime(set);
  ASSERT_TRUE(setAt) << set.out;
  EXPECT_LE(std::abs(*setAt - PcLocalSeconds()), 2) << set.out;
}

TEST_F(CliAgainstStation, ClockSetRefusesATimeThatDoesNotExistBeforeOpeningThePort) {
  StartStation(2);
  const char* impossible[] = {"2026-02-30 12:00:00", "2025-02-29 12:00:00", "2026-13-01 12:00:00",
                              "2026-01-01 25:00:00", "2026-01-01 12:60:00", "2026-1-01 12:00:00",
                              "2026-01-01T12:00:00", "yesterday",           ""};
  for (const char* value : impossible) {
    SCOPED_TRACE(value);
    const auto r = CliOnPort({"--monitor", "clock", "set", value});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("\"" + std::string(value) + "\""), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("[TX]"), std::string::npos) << "nothing sent: " << r.err;
    EXPECT_TRUE(r.out.empty());
  }
  // Not even a port that cannot be opened is tried.
  const auto missing =
      Cli({"--port", "/dev/quaylink-missing", "clock", "set", "2026-02-30 12:00:00"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_EQ(missing.err.find("Port open fail"), std::string::npos) << missing.err;
  // Date and time in two words is a usage error.
  EXPECT_EQ(CliOnPort({"clock", "set", "2026-01-01", "12:00:00"}).exitCode, 2);

  const auto read = CliOnPort({"clock", "read"});
  ASSERT_EQ(read.exitCode, 0) << read.err;
  const auto readAt = PrintedTime(read);
  ASSERT_TRUE(readAt) << read.out;
  EXPECT_LE(std::abs(*readAt - PcLocalSeconds()), 3) << "the station's clock was not set";
}

TEST_F(CliAgainstStation, MonitorWritesEveryFrameToStderr) {
  StartStation(2);
  const auto r = CliOnPort({"--monitor", "clock", "read"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(PrintedTime(r)) << "the result alone on stdout: " << r.out;
  EXPECT_EQ(r.err.find('\r'), std::string::npos);
  // The first line of each entry. An entry has a line per 20 bytes; a frame's length is
  // in its bytes 2 and 3 (requests low byte first, answers high byte first).
  std::vector<std::string> sent;
  std::vector<std::string> received;
  std::istringstream lines(r.err);
  std::size_t continuation = 0;
  for (std::string line; std::getline(lines, line);) {
    const bool tx = line.rfind("[TX] ", 0) == 0;
    if (!tx && line.rfind("[RX] ", 0) != 0) continue;
    if (continuation > 0) {
      --continuation;
      continue;
    }
    std::istringstream hex(line.substr(5));
    unsigned bytes[4] = {};
    for (unsigned& b : bytes) hex >> std::hex >> b;
    const std::size_t length = tx ? (bytes[2] | bytes[3] << 8) : (bytes[2] << 8 | bytes[3]);
    continuation = (length + 7 + 19) / 20 - 1;
    (tx ? sent : received).push_back(line);
  }
  ASSERT_FALSE(sent.empty()) << r.err;
  EXPECT_EQ(sent.front(), "[TX] 02 40 00 00 1D AD 03 ") << "the device type query first";
  // Device type, then the automatic read of both records, which ends with the clock.
  const char* codes[] = {"40", "33", "33", "AE"};
  ASSERT_EQ(sent.size(), std::size(codes)) << r.err;
  ASSERT_EQ(received.size(), std::size(codes)) << r.err;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].substr(0, 10), std::string("[TX] 02 ") + codes[i]);
    EXPECT_EQ(received[i].substr(0, 10), std::string("[RX] 02 ") + codes[i]);
  }
  EXPECT_EQ(received.front().substr(0, 20), "[RX] 02 40 00 01 02 ") << "a multi-gas station";
}

TEST_F(CliAgainstStation, FactoryDefaultRestoresTheRecordsAndTheStationAnswersAgain) {
  // A station whose docking record was changed.
  const station::StationState sample = station::SampleStationState(2);
  records::DockingInfoRecord changed;
  changed.bytes = sample.docking;
  changed.SetLocation("DOCK7");
  fs::create_directories(dir_ / "state");
  WriteBytes(dir_ / "state" / "Docking.cfg", Bytes(changed.bytes.begin(), changed.bytes.end()));
  StartStation(2);
  ASSERT_EQ(ReadBytes(dir_ / "state" / "Docking.cfg"),
            Bytes(changed.bytes.begin(), changed.bytes.end()));

  std::ostringstream messages;
  cli::StationSession session(messages);
  ASSERT_EQ(session.Connect(device_), cli::ExitCode::Ok) << messages.str();
  auto& ui = session.Ui();
  EXPECT_EQ(ui.received[RecordType::Docking], Bytes(changed.bytes.begin(), changed.bytes.end()));
  const std::size_t before = ui.ends.size();
  const auto end =
      session.Run(protocol::cmd::kFactoryDefault, [&] { session.Engine().FactoryDefault(); });
  ASSERT_EQ(end.outcome, engine::RequestOutcome::Done) << end.status.message;
  EXPECT_NE(messages.str().find("Factory default success !!"), std::string::npos);

  // The engine reconnects on its own; the station, back from its restart, answers the
  // device type query and the automatic read that follows it.
  const auto ended = [&](std::uint8_t code) -> const engine::RequestEnd* {
    for (std::size_t i = before; i < ui.ends.size(); ++i) {
      if (ui.ends[i].request == code) return &ui.ends[i];
    }
    return nullptr;
  };
  ASSERT_TRUE(session.Loop().RunUntil([&] { return ended(protocol::cmd::kReadRecord) != nullptr; },
                                      std::chrono::seconds(30)))
      << messages.str();
  ASSERT_NE(ended(protocol::cmd::kDeviceType), nullptr);
  EXPECT_EQ(ended(protocol::cmd::kDeviceType)->outcome, engine::RequestOutcome::Done);
  EXPECT_EQ(ended(protocol::cmd::kReadRecord)->outcome, engine::RequestOutcome::Done);
  EXPECT_EQ(ui.state, engine::ConnectionState::Ready);
  EXPECT_EQ(ui.received[RecordType::Docking], Bytes(sample.docking.begin(), sample.docking.end()));
  EXPECT_EQ(ui.received[RecordType::MultiGas],
            Bytes(sample.multiGas.begin(), sample.multiGas.end()));
  EXPECT_EQ(ReadBytes(dir_ / "state" / "Docking.cfg"),
            Bytes(sample.docking.begin(), sample.docking.end()));
}

TEST_F(CliAgainstStation, EthernetChecksAnswerAsTheStationIsSetUp) {
  StartStation(3, {"--ip", "10.0.0.9", "--ethernet", "down"});
  std::ostringstream messages;
  cli::StationSession session(messages);
  ASSERT_EQ(session.Connect(device_), cli::ExitCode::Ok) << messages.str();
  const auto ip = session.Run(protocol::cmd::kIpAddress, [&] { session.Engine().GetIpAddress(); });
  EXPECT_EQ(ip.outcome, engine::RequestOutcome::Done) << ip.status.message;
  EXPECT_EQ(session.Ui().ipAddress, (std::array<std::uint8_t, 4>{10, 0, 0, 9}));
  const auto link =
      session.Run(protocol::cmd::kEthernetLinkTest, [&] { session.Engine().EthernetLinkTest(); });
  EXPECT_EQ(link.outcome, engine::RequestOutcome::Refused);
  EXPECT_NE(messages.str().find("Docking Ethernet Link up Fail !!"), std::string::npos);
}

TEST_F(CliAgainstStation, UsageAndPortErrors) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  };
  const Case cases[] = {
      {{"--port", "/dev/quaylink-missing", "info"}, 2, "Port open fail"},
      {{"info"}, 2, "--port"},
      {{"read", "docking"}, 2, "usage"},
      {{"--port", "/dev/null", "write", "docking", "/nonexistent/file.cfg"}, 2, "cannot read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const auto r = Cli(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

// The emulator's own help (which its man page is made from) and its usage errors.
TEST(StationOptions, HelpGoesToStdoutAndAnUnknownOptionIsAUsageError) {
  const auto help = RunProgram({QUAYLINK_STATION, "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("usage: quaylink-station", 0), 0u) << help.out;
  EXPECT_TRUE(help.err.empty()) << help.err;
  const auto unknown = RunProgram({QUAYLINK_STATION, "--frobnicate"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_TRUE(unknown.out.empty()) << unknown.out;
  EXPECT_NE(unknown.err.find("usage: quaylink-station"), std::string::npos) << unknown.err;
}

}  // namespace
}  // namespace ql
