// quaylink-cli against stations that misbehave as a real one might: one that answers every
// copy of a repeated request, and one that sends another log file than the one asked for.
// The station is the emulator's server, run in this process with those options on one end
// of an emulated line; the tool runs as built on the other end.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "link/frame.h"
#include "records/docking_info.h"
#include "tests/e2e/files.h"
#include "tests/e2e/process.h"
#include "tests/link/pty_pair.h"
#include "tests/support/line_relay.h"
#include "tools/station/station_server.h"
#include "tools/station/station_state.h"

namespace ql {
namespace {

namespace fs = std::filesystem;
using link::testsupport::LineRelay;
using link::testsupport::PtyPair;
using testsupport::ReadBytes;
using testsupport::RunProgram;
using testsupport::RunResult;
using testsupport::WriteBytes;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Counts the answer frames the station puts on the line, by command code.
class AnswerCounter final : private link::IGapTimer {
 public:
  void Feed(std::uint8_t b) {
    std::lock_guard lock(mutex_);
    if (parser_.Feed(b).frameComplete) ++answers_[parser_.Frame().command];
  }
  std::map<std::uint8_t, int> Answers() const {
    std::lock_guard lock(mutex_);
    return answers_;
  }

 private:
  void RestartGapTimer() override {}
  mutable std::mutex mutex_;
  link::FrameParser parser_{*this};
  std::map<std::uint8_t, int> answers_;
};

class FaultyStation : public testing::Test {
 protected:
  void TearDown() override {
    if (serving_.joinable()) {
      stopping_ = true;
      port_->Wake();
      serving_.join();
    }
    server_.reset();
    if (port_) port_->Close();
    relay_.reset();
    fs::remove_all(dir_);
  }

  // Starts a station of family `type` with `options`, its state in a fresh folder, behind
  // a line that delivers each byte `latency` after it was sent.
  void StartStation(int type, station::StationOptions options,
                    std::chrono::milliseconds latency = 1ms) {
    dir_ =
        fs::temp_directory_path() / ("ql-faulty-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "runtime");
    fs::create_directories(dir_ / "out");
    ::setenv("XDG_RUNTIME_DIR", (dir_ / "runtime").c_str(), 1);
    std::string error;
    ASSERT_TRUE(station::LoadStationState(dir_ / "state", type, state_, error)) << error;
    port_ = link::MakePlatformSerialPort();
    ASSERT_TRUE(port_->Open(stationSide_.SlavePath(), link::LineSettings{}).ok());
    server_ = std::make_unique<station::StationServer>(state_, *port_, dir_ / "state", log_,
                                                       std::move(options));
    serving_ = std::thread([this] { server_->Serve(stopping_); });
    LineRelay::Options line;
    line.latency = latency;
    relay_ = std::make_unique<LineRelay>(
        toolSide_.MasterFd(), stationSide_.MasterFd(), line,
        [this](LineRelay::Direction d, std::uint8_t b, LineRelay::Clock::time_point) {
          if (d == LineRelay::kBToA) answers_.Feed(b);
        });
    relay_->Start();
  }

  RunResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), {QUAYLINK_CLI, "--port", toolSide_.SlavePath()});
    return RunProgram(std::move(args), 100s);
  }

  fs::path dir_;
  PtyPair toolSide_;
  PtyPair stationSide_;
  station::StationState state_;
  std::ostringstream log_;
  std::unique_ptr<link::ISerialPort> port_;
  std::unique_ptr<station::StationServer> server_;
  std::atomic<bool> stopping_{false};
  std::thread serving_;
  AnswerCounter answers_;
  std::unique_ptr<LineRelay> relay_;
};

enum class Operation { ReadDocking, ReadDetector, WriteDocking };

struct RepeatCase {
  const char* name;
  int type;
  Operation operation;
};
void PrintTo(const RepeatCase& c, std::ostream* os) {
  *os << c.name;
}

class AnsweringEveryCopy : public FaultyStation, public testing::WithParamInterface<RepeatCase> {};

// On a line slow enough that the station gets whole repeated copies of a request before
// the first answer reaches the tool, the station answers each; the tool takes the first
// answer and drops the others.
TEST_P(AnsweringEveryCopy, ReadAndWriteEndAsWithOneAnswer) {
  const RepeatCase& c = GetParam();
  StartStation(c.type, {.repeatFilter = false, .logHeaderName = {}}, 80ms);
  const fs::path state = dir_ / "state";
  const fs::path out = dir_ / "out" / "record.cfg";
  RunResult r;
  switch (c.operation) {
    case Operation::ReadDocking:
      r = Cli({"read", "docking", "--out", out.string()});
      ASSERT_EQ(r.exitCode, 0) << r.err;
      EXPECT_EQ(ReadBytes(out), ReadBytes(state / "Docking.cfg"));
      break;
    case Operation::ReadDetector:
      // Taken from the automatic read that follows the device type answer.
      r = Cli({"read", "detector", "--out", out.string()});
      ASSERT_EQ(r.exitCode, 0) << r.err;
      EXPECT_EQ(ReadBytes(out), ReadBytes(state / (c.type == 1 ? "TKL.cfg" : "RVX.cfg")));
      break;
    case Operation::WriteDocking: {
      records::DockingInfoRecord record;
      const Bytes before = ReadBytes(state / "Docking.cfg");
      ASSERT_EQ(before.size(), record.bytes.size());
      std::copy(before.begin(), before.end(), record.bytes.begin());
      record.SetLocation("BAY9");
      const Bytes changed(record.bytes.begin(), record.bytes.end());
      WriteBytes(dir_ / "changed.cfg", changed);
      r = Cli({"write", "docking", (dir_ / "changed.cfg").string()});
      ASSERT_EQ(r.exitCode, 0) << r.err;
      EXPECT_EQ(Count(r.err, "Write complete (Docking Info)"), 1u) << r.err;
      EXPECT_EQ(ReadBytes(state / "Docking.cfg"), changed);
      break;
    }
  }
  EXPECT_EQ(r.err.find("Read failure"), std::string::npos) << r.err;
  // The line really carried second answers.
  const auto counted = answers_.Answers();
  EXPECT_TRUE(std::any_of(counted.begin(), counted.end(), [](const auto& a) {
    return a.second > 1;
  })) << "no request was answered twice";
}

INSTANTIATE_TEST_SUITE_P(
    Operations, AnsweringEveryCopy,
    testing::Values(RepeatCase{"ReadOnAPumpStation", 3, Operation::ReadDocking},
                    RepeatCase{"AutomaticReadOfASingleGasStation", 1, Operation::ReadDetector},
                    RepeatCase{"AutomaticReadOfAMultiGasStation", 2, Operation::ReadDetector},
                    RepeatCase{"WriteAfterTheAutomaticRead", 2, Operation::WriteDocking}),
    [](const testing::TestParamInfo<RepeatCase>& row) { return std::string(row.param.name); });

// The station answers the request for one log file with a batch holding another name.
TEST_F(FaultyStation, ALogFileUnderAnotherNameIsNotStored) {
  StartStation(1, {.repeatFilter = true, .logHeaderName = ".bashrc"});
  const std::vector<std::string> logs = Names(dir_ / "state" / "logs");
  ASSERT_FALSE(logs.empty());
  const fs::path out = dir_ / "out";
  const RunResult r = Cli({"logs", "get", "--dir", out.string(), logs.front()});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
  EXPECT_NE(r.err.find(".bashrc"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(logs.front()), std::string::npos) << r.err;
  EXPECT_TRUE(Names(out).empty()) << "nothing written, not even a temporary file";
}

}  // namespace
}  // namespace ql
