// quaylink-cli stopped by a signal in the middle of a transfer, against quaylink-station on
// a slow line: the tool ends the transfer, says so, exits non-zero, and leaves nothing of a
// file it did not receive whole, not even its hidden temporary file.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/files.h"
#include "tests/e2e/process.h"
#include "tests/link/pty_pair.h"
#include "tests/support/line_relay.h"

namespace ql {
namespace {

namespace fs = std::filesystem;
using link::testsupport::LineRelay;
using link::testsupport::PtyPair;
using testsupport::Background;
using testsupport::Names;
using testsupport::RunProgram;
using testsupport::RunResult;
using namespace std::chrono_literals;

void WriteFile(const fs::path& p, std::size_t size) {
  std::ofstream out(p, std::ios::binary);
  for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>('A' + i % 26));
}

// True once the program has ended (it is not reaped here).
bool Ended(pid_t pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == pid;
}

enum class Operation { LogsGet, FirmwareUpload };

struct StopCase {
  const char* name;
  Operation operation;
  int signal;
};
void PrintTo(const StopCase& c, std::ostream* os) {
  *os << c.name;
}

class StoppedBySignal : public testing::TestWithParam<StopCase> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("ql-stop-" + std::to_string(::getpid()) + "-" +
                                        std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "runtime");
    fs::create_directories(dir_ / "out");
    // The station offers one log, long enough to take several seconds on the line.
    fs::create_directories(dir_ / "state" / "logs");
    WriteFile(dir_ / "state" / "logs" / "BIG.LOG", 48 * 1024);
    ::setenv("XDG_RUNTIME_DIR", (dir_ / "runtime").c_str(), 1);
    station_ = std::make_unique<Background>(
        std::vector<std::string>{QUAYLINK_STATION, "--type", "2", "--state",
                                 (dir_ / "state").string(), "--device", stationSide_.SlavePath()});
    ASSERT_EQ(station_->FirstLine(), stationSide_.SlavePath());
    LineRelay::Options slow;
    slow.bytesPerSecond = 4000;
    relay_ = std::make_unique<LineRelay>(toolSide_.MasterFd(), stationSide_.MasterFd(), slow);
    relay_->Start();
  }
  void TearDown() override {
    relay_.reset();
    station_.reset();
    fs::remove_all(dir_);
  }

  // Runs the tool and sends it the case's signal once something has appeared in `watched`
  // (the transfer's temporary file). Sets `signalled_` when the signal went out.
  RunResult RunAndStop(std::vector<std::string> args, const fs::path& watched) {
    args.insert(args.begin(), {QUAYLINK_CLI, "--port", toolSide_.SlavePath()});
    const auto stop = [&](pid_t pid) {
      const auto end = std::chrono::steady_clock::now() + 60s;
      while (std::chrono::steady_clock::now() < end && !Ended(pid)) {
        if (!Names(watched).empty()) {
          signalledAt_ = std::chrono::steady_clock::now();
          signalled_ = ::kill(pid, GetParam().signal) == 0;
          return;
        }
        std::this_thread::sleep_for(2ms);
      }
    };
    RunResult r = RunProgram(std::move(args), 90s, stop);
    if (signalled_) {
      // The stop is prompt: no waiting for a time-out of the transfer.
      EXPECT_LT(std::chrono::steady_clock::now() - signalledAt_, 5s) << "the tool was slow to stop";
    }
    return r;
  }

  fs::path dir_;
  PtyPair toolSide_;
  PtyPair stationSide_;
  std::unique_ptr<Background> station_;
  std::unique_ptr<LineRelay> relay_;
  bool signalled_ = false;
  std::chrono::steady_clock::time_point signalledAt_;
};

TEST_P(StoppedBySignal, EndsTheTransferAndLeavesNoFile) {
  const StopCase& c = GetParam();
  const std::string signalName = c.signal == SIGINT    ? "SIGINT"
                                 : c.signal == SIGTERM ? "SIGTERM"
                                                       : "SIGHUP";
  RunResult r;
  fs::path folder;
  switch (c.operation) {
    case Operation::LogsGet:
      folder = dir_ / "out";
      r = RunAndStop({"logs", "get", "--dir", folder.string(), "BIG.LOG"}, folder);
      break;
    case Operation::FirmwareUpload: {
      // A valid firmware file built by the tool, large enough to take a while.
      WriteFile(dir_ / "bare.bin", 48 * 1024);
      const fs::path file = dir_ / "RVX_FW.bin";
      const RunResult pack =
          RunProgram({QUAYLINK_CLI, "firmware", "pack", "--family", "rvx", "--tag", "2.1",
                      (dir_ / "bare.bin").string(), file.string()});
      ASSERT_EQ(pack.exitCode, 0) << pack.err;
      folder = dir_ / "state" / "firmware";
      r = RunAndStop({"firmware", "upload", "--family", "rvx", file.string()}, folder);
      break;
    }
  }
  std::printf("[ outcome  ] %s: exit %d %s\n", c.name, r.exitCode, r.err.c_str());
  ASSERT_TRUE(signalled_) << "the transfer never started: " << r.err;
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("stopped by " + signalName), std::string::npos) << r.err;
  if (c.operation == Operation::LogsGet) {
    // Neither the log nor its hidden temporary file.
    EXPECT_EQ(Names(folder), std::set<std::string>{});
  } else {
    // The station drops what it received once its wait for more runs out.
    EXPECT_EQ(Names(folder).count("RVX_FW.bin"), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, StoppedBySignal,
    testing::Values(StopCase{"LogsGetSigterm", Operation::LogsGet, SIGTERM},
                    StopCase{"LogsGetSigint", Operation::LogsGet, SIGINT},
                    StopCase{"LogsGetSighup", Operation::LogsGet, SIGHUP},
                    StopCase{"FirmwareUploadSigterm", Operation::FirmwareUpload, SIGTERM}),
    [](const testing::TestParamInfo<StopCase>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace ql
