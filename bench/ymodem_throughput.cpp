// YMODEM throughput over an emulated 115200-baud line: two pseudo-terminals joined by a
// relay that passes at most 11520 bytes a second each way, optionally hitting one byte in
// every N. Measures the data phase (first byte of data block 1 to the ACK of the last data
// block, both as the line delivers them) of our SendFile -> our Receive, our SendFile ->
// rb, sb -k -> our Receive and sb -k -> rb, and prints it as a share of the line rate.
//
// Our side runs as the tool runs it: CSerialChannel on the slave device, the watch thread
// feeding the transfer stream, CYmodem on a worker thread.
//
// Usage: bench_ymodem_throughput [--size BYTES] [--corrupt N]... [--scenario NAME]...
//   --corrupt 0 is the clean line; the default runs 0 and 5000.
//   Scenario names: ours-ours, ours-rb, sb-ours, sb-rb (default: all).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "link/serial_channel.h"
#include "link/transfer_stream.h"
#include "link/ymodem.h"
#include "records/folder_sink.h"
#include "tests/link/pty_pair.h"
#include "tests/support/line_relay.h"
#include "tests/support/pty_process.h"

namespace {

using namespace ql::link;
using namespace std::chrono_literals;
using testsupport::LineRelay;
using testsupport::PtyPair;
using testsupport::PtyProcess;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr double kLineRate = 11520.0;  // bytes per second at 115200 baud, 8N1
constexpr auto kRunLimit = 15min;

// Our end of the line: the serial channel on a slave device, routing every received byte
// to the transfer stream as during a log download.
class ChannelEnd final : public ISerialEvents, public IUiPoster {
 public:
  explicit ChannelEnd(const std::string& path) {
    flags_.logReceiveArmed.store(true);
    if (!channel_.Open(path, {}).ok()) {
      throw std::runtime_error("cannot open " + path + ": " + channel_.LastError().message);
    }
  }
  TransferStream& Stream() { return stream_; }
  CYmodem& Engine() { return engine_; }

  void OnSerialData() override {}
  void OnTransferBytes(std::span<const std::uint8_t> bytes) override { stream_.Feed(bytes); }
  void OnChannelMessage(std::string_view) override {}
  void OnLineLost() override { stream_.SetAbort(); }
  // No UI thread here: the watch thread's notifications are handled at once.
  void Post(std::function<void()> task) override { task(); }

 private:
  SharedFlags flags_;
  TransferStream stream_;
  CSerialChannel channel_{flags_, *this, *this};
  CYmodem engine_{stream_, channel_};
};

// Finds the data phase in the bytes the line delivers. The sender's bytes are parsed as
// they were sent (before any hit), so its framing is exact.
class DataPhase {
 public:
  void OnByte(LineRelay::Direction direction, std::uint8_t b, Clock::time_point at) {
    if (direction == LineRelay::kBToA) {
      lastAnswer_ = at;
      return;
    }
    if (expectNumber_) {
      expectNumber_ = false;
      if (b == 1 && !start_) start_ = frameStart_;
    }
    if (skip_ > 0) {
      --skip_;
      return;
    }
    if (b == ymodem::kSoh || b == ymodem::kStx) {
      skip_ = (b == ymodem::kSoh ? ymodem::kHeaderLength : ymodem::kDataLength) + 4;
      expectNumber_ = true;
      frameStart_ = at;
    } else if (b == ymodem::kEot && start_ && !end_) {
      end_ = lastAnswer_;
    }
  }
  std::optional<double> Seconds() const {
    if (!start_ || !end_) return std::nullopt;
    return std::chrono::duration<double>(*end_ - *start_).count();
  }

 private:
  std::size_t skip_ = 0;
  bool expectNumber_ = false;
  Clock::time_point frameStart_{};
  Clock::time_point lastAnswer_{};
  std::optional<Clock::time_point> start_;
  std::optional<Clock::time_point> end_;
};

struct Scenario {
  const char* name;
  bool ourSender;
  bool ourReceiver;
};

struct Result {
  bool ok = false;
  std::optional<double> seconds;
  std::uint64_t hits = 0;
  std::string note;
};

Bytes ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct TempFolder {
  std::filesystem::path path;
  TempFolder() {
    static int counter = 0;
    path = std::filesystem::temp_directory_path() /
           ("quaylink-bench-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path / "send");
    std::filesystem::create_directories(path / "receive");
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

Result Run(const Scenario& scenario, const Bytes& content, std::uint64_t corruptOneIn,
           const std::filesystem::path& sb, const std::filesystem::path& rb) {
  TempFolder folder;
  const std::string name = "bench.bin";
  {
    std::ofstream out(folder.path / "send" / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(content.data()),
              static_cast<std::streamsize>(content.size()));
  }
  PtyPair senderPty, receiverPty;
  std::unique_ptr<ChannelEnd> ourSender, ourReceiver;
  std::unique_ptr<PtyProcess> theirSender, theirReceiver;
  if (scenario.ourSender) {
    ourSender = std::make_unique<ChannelEnd>(senderPty.SlavePath());
  } else {
    theirSender = std::make_unique<PtyProcess>(sb, std::vector<std::string>{"-k", name},
                                               senderPty.SlavePath(), folder.path / "send",
                                               folder.path / "sb.log");
  }
  if (scenario.ourReceiver) {
    ourReceiver = std::make_unique<ChannelEnd>(receiverPty.SlavePath());
  } else {
    theirReceiver =
        std::make_unique<PtyProcess>(rb, std::vector<std::string>{}, receiverPty.SlavePath(),
                                     folder.path / "receive", folder.path / "rb.log");
  }

  DataPhase phase;
  LineRelay::Options options;
  options.corruptOneIn = corruptOneIn;
  LineRelay relay(senderPty.MasterFd(), receiverPty.MasterFd(), options,
                  [&phase](LineRelay::Direction d, std::uint8_t b, Clock::time_point at) {
                    phase.OnByte(d, b, at);
                  });
  relay.Start();

  Result result;
  std::future<SendOutcome> sent;
  std::future<ReceiveOutcome> received;
  if (ourSender) {
    sent =
        std::async(std::launch::async, [&] { return ourSender->Engine().SendFile(content, name); });
  }
  if (ourReceiver) {
    received = std::async(std::launch::async, [&] {
      ql::records::FolderSink sink(folder.path / "receive");
      return ourReceiver->Engine().Receive(sink);
    });
  }
  const auto end = Clock::now() + kRunLimit;
  auto remaining = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
  };
  std::optional<int> sbExit, rbExit;
  if (theirSender) sbExit = theirSender->Wait(remaining());
  if (theirReceiver) rbExit = theirReceiver->Wait(remaining());
  // rb drops its output right after its final ACK; once it is gone nothing more comes.
  if (ourSender && theirReceiver && sent.wait_for(1s) != std::future_status::ready) {
    ourSender->Stream().SetAbort();
  }
  if (received.valid() && received.wait_until(end) != std::future_status::ready) {
    ourReceiver->Stream().SetAbort();
  }
  if (sent.valid() && sent.wait_until(end) != std::future_status::ready) {
    ourSender->Stream().SetAbort();
  }
  if (received.valid()) {
    const ReceiveOutcome r = received.get();
    if (!r.status.ok()) result.note += "receive: " + r.status.message + "; ";
  }
  if (sent.valid()) {
    const SendOutcome s = sent.get();
    if (!s.delivered) result.note += "send: " + s.status.message + "; ";
  }
  if (theirSender && sbExit != 0)
    result.note += "sb exit " + (sbExit ? std::to_string(*sbExit) : "-") + "; ";
  if (theirReceiver && rbExit != 0)
    result.note += "rb exit " + (rbExit ? std::to_string(*rbExit) : "-") + "; ";
  relay.Stop();
  const LineRelay::Stats stats = relay.GetStats();
  result.hits = stats.corrupted[0] + stats.corrupted[1];
  result.seconds = phase.Seconds();
  const bool same = ReadAll(folder.path / "receive" / name) == content;
  if (!same) result.note += "received file differs; ";
  result.ok = same;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t size = 256 * 1024;
  std::vector<std::uint64_t> corruptions;
  std::vector<std::string> only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--size" && i + 1 < argc) {
      size = static_cast<std::size_t>(std::strtoull(argv[++i], nullptr, 10));
    } else if (arg == "--corrupt" && i + 1 < argc) {
      corruptions.push_back(std::strtoull(argv[++i], nullptr, 10));
    } else if (arg == "--scenario" && i + 1 < argc) {
      only.emplace_back(argv[++i]);
    } else {
      std::fprintf(stderr,
                   "usage: %s [--size BYTES] [--corrupt N]... [--scenario ours-ours|ours-rb|"
                   "sb-ours|sb-rb]...\n",
                   argv[0]);
      return 2;
    }
  }
  if (corruptions.empty()) corruptions = {0, 5000};

  const std::optional<std::filesystem::path> sb = testsupport::FindProgram("sb");
  const std::optional<std::filesystem::path> rb = testsupport::FindProgram("rb");
  const Scenario scenarios[] = {{"ours-ours", true, true},
                                {"ours-rb", true, false},
                                {"sb-ours", false, true},
                                {"sb-rb", false, false}};

  Bytes content(size);
  std::mt19937 random(2024);
  for (auto& b : content) b = static_cast<std::uint8_t>(random());

  std::printf("YMODEM data phase, %zu bytes over an emulated 115200-baud line (%.0f bytes/s)\n",
              size, kLineRate);
  std::printf("%-10s %-12s %10s %8s %6s  %s\n", "scenario", "corruption", "data phase", "of line",
              "hits", "result");
  int failures = 0;
  for (const std::uint64_t corrupt : corruptions) {
    for (const Scenario& s : scenarios) {
      if (!only.empty() && std::find(only.begin(), only.end(), s.name) == only.end()) continue;
      const std::string corruption = corrupt == 0 ? "none" : "1/" + std::to_string(corrupt);
      if ((!s.ourSender && !sb) || (!s.ourReceiver && !rb)) {
        std::printf("%-10s %-12s %10s %8s %6s  skipped: lrzsz (sb, rb) is not installed\n", s.name,
                    corruption.c_str(), "-", "-", "-");
        continue;
      }
      const Result r = Run(s, content, corrupt, sb.value_or(""), rb.value_or(""));
      if (!r.ok) ++failures;
      char seconds[32] = "-";
      char ratio[32] = "-";
      if (r.seconds && *r.seconds > 0) {
        std::snprintf(seconds, sizeof seconds, "%.2f s", *r.seconds);
        std::snprintf(ratio, sizeof ratio, "%.1f%%",
                      100.0 * static_cast<double>(size) / *r.seconds / kLineRate);
      }
      std::printf("%-10s %-12s %10s %8s %6llu  %s%s\n", s.name, corruption.c_str(), seconds, ratio,
                  static_cast<unsigned long long>(r.hits), r.ok ? "ok" : "FAILED",
                  r.note.empty() ? "" : (" (" + r.note + ")").c_str());
      std::fflush(stdout);
    }
  }
  return failures == 0 ? 0 : 1;
}
