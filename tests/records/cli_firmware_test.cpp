// The firmware command group, run in-process.

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <vector>

#include "records/firmware.h"
#include "tests/records/test_support.h"
#include "tools/cli/commands.h"

namespace ql::cli {
namespace {

namespace fs = std::filesystem;

struct Result {
  ExitCode code;
  std::string out;
  std::string err;
};

Result RunGroup(std::vector<std::string> words) {
  std::vector<std::string_view> args(words.begin(), words.end());
  std::ostringstream out;
  std::ostringstream err;
  const GlobalOptions options;
  const ExitCode code = RunFirmwareCommands({options, out, err}, args);
  return {code, out.str(), err.str()};
}

std::vector<std::uint8_t> Bare(std::size_t n) {
  std::mt19937 gen(11);
  std::vector<std::uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(gen());
  return bytes;
}

class FirmwareCommands : public ::testing::Test {
 protected:
  std::string PathOf(const char* name) const { return (dir_.path() / name).string(); }
  test::TempDir dir_;
};

struct FamilyCase {
  const char* family;
  const char* tag;
  const char* label;
};

TEST_F(FirmwareCommands, PackThenVerifyForEveryFamily) {
  test::WriteBytes(dir_.path() / "bare.bin", Bare(3000));
  for (const FamilyCase& c : {FamilyCase{"docking", "1.2", "Docking F/W Version : 1.2"},
                              FamilyCase{"tkl", "000V10", "TKL Version F/W : V10"},
                              FamilyCase{"rvx", "abc207", "RVX F/W Version : 207"}}) {
    SCOPED_TRACE(c.family);
    const std::string out = PathOf("out.bin");
    const Result pack =
        RunGroup({"pack", "--family", c.family, "--tag", c.tag, PathOf("bare.bin"), out});
    ASSERT_EQ(pack.code, ExitCode::Ok) << pack.err;
    const Result verify = RunGroup({"verify", "--family", c.family, out});
    EXPECT_EQ(verify.code, ExitCode::Ok) << verify.err;
    EXPECT_EQ(verify.out, std::string(c.label) + "\n");
  }
}

TEST_F(FirmwareCommands, VerifyRefusesOtherFamiliesAndShortFiles) {
  test::WriteBytes(dir_.path() / "bare.bin", Bare(3000));
  ASSERT_EQ(
      RunGroup({"pack", "--family", "docking", "--tag", "1", PathOf("bare.bin"), PathOf("dk.bin")})
          .code,
      ExitCode::Ok);
  const Result wrongFamily = RunGroup({"verify", "--family", "rvx", PathOf("dk.bin")});
  EXPECT_EQ(wrongFamily.code, ExitCode::Refused);
  EXPECT_EQ(wrongFamily.out, "This is not the correct Firmware File.\n");

  test::WriteBytes(dir_.path() / "short.bin", Bare(215));
  const Result shortFile = RunGroup({"verify", "--family", "tkl", PathOf("short.bin")});
  EXPECT_EQ(shortFile.code, ExitCode::Refused);
  EXPECT_EQ(shortFile.out, "This is not the correct Firmware File\n");
  EXPECT_NE(shortFile.err.find("too short"), std::string::npos);
}

TEST_F(FirmwareCommands, PackRefusesWhatCannotBecomeAContainer) {
  test::WriteBytes(dir_.path() / "bare.bin", Bare(3000));
  test::WriteBytes(dir_.path() / "tiny.bin", Bare(190));
  const Result longTag = RunGroup(
      {"pack", "--family", "tkl", "--tag", "1234567", PathOf("bare.bin"), PathOf("o.bin")});
  EXPECT_EQ(longTag.code, ExitCode::Refused);
  EXPECT_NE(longTag.err.find("longer than 6"), std::string::npos);
  const Result tiny =
      RunGroup({"pack", "--family", "docking", "--tag", "1", PathOf("tiny.bin"), PathOf("o.bin")});
  EXPECT_EQ(tiny.code, ExitCode::Refused);
  EXPECT_FALSE(fs::exists(dir_.path() / "o.bin"));
}

TEST_F(FirmwareCommands, UsageAndFileErrorsExitTwo) {
  test::WriteBytes(dir_.path() / "bare.bin", Bare(3000));
  const std::vector<std::vector<std::string>> lines = {
      {},
      {"flash"},
      {"verify", PathOf("bare.bin")},                     // no family
      {"verify", "--family", "hwr", PathOf("bare.bin")},  // unknown family
      {"verify", "--family", "rvx"},                      // no file
      {"verify", "--family", "rvx", PathOf("bare.bin"), "extra"},
      {"verify", "--family", "rvx", PathOf("missing.bin")},              // unreadable
      {"pack", "--family", "rvx", PathOf("bare.bin"), PathOf("o.bin")},  // no tag
      {"pack", "--family", "rvx", "--tag"},
      {"pack", "--family", "rvx", "--tag", "1", PathOf("missing.bin"), PathOf("o.bin")},
      {"pack", "--family", "rvx", "--tag", "1", PathOf("bare.bin"), PathOf("no/such/dir/o.bin")},
      {"verify", "--family", "rvx", "--tag", "1", PathOf("bare.bin")},  // pack-only option
  };
  for (const auto& line : lines) {
    std::string joined;
    for (const auto& w : line) joined += w + " ";
    SCOPED_TRACE(joined);
    const Result r = RunGroup(line);
    EXPECT_EQ(r.code, ExitCode::UsageOrFile);
    EXPECT_FALSE(r.err.empty());
    EXPECT_TRUE(r.out.empty());
  }
}

}  // namespace
}  // namespace ql::cli
