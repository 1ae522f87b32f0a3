// Interoperability with lrzsz, an independent YMODEM implementation, in real time over an
// emulated 115200-baud line between two pseudo-terminals: our sender to `rb`, `sb` to our
// receiver. The line's latency matters: rb empties its input right after each answer, so
// on a bare pseudo-terminal a block sent the instant the answer arrives can be thrown away.

#include <gtest/gtest.h>

#include <future>

#include "link/ymodem.h"
#include "tests/link/pty_pair.h"
#include "tests/support/line_relay.h"
#include "tests/support/pty_process.h"
#include "tests/ymodem/pty_link.h"
#include "tests/ymodem/support.h"

namespace ql::link {
namespace {

using namespace testsupport;
using namespace std::chrono_literals;

class LrzszTest : public testing::Test {
 protected:
  void SetUp() override {
    sb_ = FindProgram("sb");
    rb_ = FindProgram("rb");
    if (!sb_ || !rb_) {
      GTEST_SKIP() << "lrzsz (sb, rb) is not installed; install the Debian package lrzsz "
                      "(tools/deps.sh does) to run the interoperability tests";
    }
    std::filesystem::create_directory(theirs_);
    ourSlave_ = ::open(ourPty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(ourSlave_, 0);
    MakeRaw(ourSlave_);
    link_ = std::make_unique<PtyLink>(ourSlave_, stream_);
    engine_ = std::make_unique<CYmodem>(stream_, *link_);
  }
  void TearDown() override {
    relay_.reset();
    engine_.reset();
    link_.reset();
    if (ourSlave_ >= 0) ::close(ourSlave_);
  }
  // Starts the line once both ends are open.
  void StartLine() {
    relay_ =
        std::make_unique<LineRelay>(ourPty_.MasterFd(), theirPty_.MasterFd(), LineRelay::Options{});
    relay_->Start();
  }

  std::string Log() const {
    const Bytes log = ReadFile(root_.Path() / "lrzsz.log");
    return "lrzsz said:\n" + std::string(log.begin(), log.end());
  }

  TempDir root_;
  const std::filesystem::path theirs_ = root_.Path() / "theirs";  // lrzsz's folder
  MemorySink ours_{FailTheTest()};                                // what we receive
  std::optional<std::filesystem::path> sb_, rb_;
  PtyPair ourPty_;
  PtyPair theirPty_;
  int ourSlave_ = -1;
  TransferStream stream_;
  std::unique_ptr<PtyLink> link_;
  std::unique_ptr<CYmodem> engine_;
  std::unique_ptr<LineRelay> relay_;
};

class OurSenderToRb : public LrzszTest, public testing::WithParamInterface<std::size_t> {};

TEST_P(OurSenderToRb, DeliversTheFileByteForByte) {
  const Bytes content = Pattern(GetParam(), 7);
  PtyProcess rb(*rb_, {}, theirPty_.SlavePath(), theirs_, root_.Path() / "lrzsz.log");
  StartLine();
  auto send = std::async(std::launch::async, [&] { return engine_->SendFile(content, "fw.bin"); });
  const std::optional<int> exit = rb.Wait(30s);
  // rb drops its output right after its final ACK, so that ACK can be lost on a
  // pseudo-terminal: once rb is gone, nothing more will come.
  if (send.wait_for(1s) != std::future_status::ready) stream_.SetAbort();
  const SendOutcome outcome = send.get();

  ASSERT_EQ(exit, 0) << Log();
  EXPECT_TRUE(outcome.delivered) << outcome.status.message;
  EXPECT_EQ(outcome.result, content.size());
  EXPECT_EQ(ReadFile(theirs_ / "fw.bin"), content);
}

INSTANTIATE_TEST_SUITE_P(Sizes, OurSenderToRb, testing::Values(1000, 5000),
                         [](const testing::TestParamInfo<std::size_t>& row) {
                           return std::to_string(row.param) + "_bytes";
                         });

struct SbCase {
  const char* label;
  std::vector<std::pair<std::string, std::size_t>> files;
};
void PrintTo(const SbCase& c, std::ostream* os) {
  *os << c.label;
}

class SbToOurReceiver : public LrzszTest, public testing::WithParamInterface<SbCase> {};

TEST_P(SbToOurReceiver, StoresEveryFileByteForByte) {
  std::vector<std::string> args{"-k"};
  std::size_t total = 0;
  std::uint32_t seed = 1;
  for (const auto& [name, size] : GetParam().files) {
    WriteFile(theirs_ / name, Pattern(size, seed++));
    args.push_back(name);
    total += size;
  }
  PtyProcess sb(*sb_, args, theirPty_.SlavePath(), theirs_, root_.Path() / "lrzsz.log");
  StartLine();
  const ReceiveOutcome outcome = engine_->Receive(ours_);
  ASSERT_TRUE(outcome.status.ok()) << outcome.status.message << "\n" << Log();
  EXPECT_EQ(sb.Wait(10s), 0) << Log();
  EXPECT_EQ(outcome.total, total);
  std::vector<std::string> names;
  for (const auto& [name, size] : GetParam().files) {
    names.push_back(name);
    EXPECT_EQ(ours_.File(name), ReadFile(theirs_ / name)) << name;
  }
  EXPECT_EQ(outcome.files, names);
  EXPECT_EQ(ours_.Committed(), names);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SbToOurReceiver,
    testing::Values(SbCase{"single_file", {{"log1.txt", 3000}}},
                    SbCase{"batch", {{"a.log", 2048}, {"b.log", 0}, {"c.log", 4200}}}),
    [](const testing::TestParamInfo<SbCase>& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace ql::link
