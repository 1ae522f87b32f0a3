// Runs the built quaylink-cli binary: exit codes, stdout and stderr as a script sees them.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <random>
#include <string>

#include "tests/records/test_support.h"

#ifndef QUAYLINK_CLI_PATH
#error "QUAYLINK_CLI_PATH must name the quaylink-cli binary"
#endif

namespace ql::test {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

class CliBinary : public ::testing::Test {
 protected:
  std::string P(const char* name) const { return "'" + (dir_.path() / name).string() + "'"; }

  // `environment`: assignments put before the program, each followed by a space.
  CliRun Cli(const std::string& arguments, const std::string& environment = "") const {
    const std::string command = environment + "'" + QUAYLINK_CLI_PATH + "' " + arguments + " >" +
                                P("stdout.txt") + " 2>" + P("stderr.txt");
    const int status = std::system(command.c_str());
    const auto out = ReadBytes(dir_.path() / "stdout.txt");
    const auto err = ReadBytes(dir_.path() / "stderr.txt");
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(out.begin(), out.end()),
            std::string(err.begin(), err.end())};
  }

  void WriteBare(std::size_t n) const {
    std::mt19937 gen(5);
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(gen());
    WriteBytes(dir_.path() / "bare.bin", bytes);
  }

  TempDir dir_;
};

struct FamilyCase {
  const char* name;
  const char* family;
  const char* tag;
  const char* label;
};
void PrintTo(const FamilyCase& c, std::ostream* os) {
  *os << c.name;
}

class CliRoundTrip : public CliBinary, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(CliRoundTrip, PackThenVerifyThenAFlippedImageByte) {
  WriteBare(10000);
  const CliRun pack = Cli(std::string("firmware pack --family ") + GetParam().family + " --tag " +
                          GetParam().tag + " " + P("bare.bin") + " " + P("fw.bin"));
  ASSERT_EQ(pack.code, 0) << pack.err;
  EXPECT_TRUE(pack.out.empty());

  const CliRun verify =
      Cli(std::string("firmware verify --family ") + GetParam().family + " " + P("fw.bin"));
  EXPECT_EQ(verify.code, 0) << verify.err;
  EXPECT_EQ(verify.out, std::string(GetParam().label) + "\n");

  auto file = ReadBytes(dir_.path() / "fw.bin");
  ASSERT_EQ(file.size(), 10025u);
  file[5000] ^= 0x10;  // inside the image part
  WriteBytes(dir_.path() / "fw.bin", file);
  const CliRun flipped =
      Cli(std::string("firmware verify --family ") + GetParam().family + " " + P("fw.bin"));
  EXPECT_EQ(flipped.code, 1);
  EXPECT_EQ(flipped.out, std::string(GetParam().label) + "\n");
  EXPECT_NE(flipped.err.find("digest"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Families, CliRoundTrip,
    ::testing::Values(FamilyCase{"Docking", "docking", "2.0", "Docking F/W Version : 2.0"},
                      FamilyCase{"SingleGas", "tkl", "H2S101", "TKL Version F/W : 101"},
                      FamilyCase{"MultiGas", "rvx", "RVX115", "RVX F/W Version : 115"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(CliBinary, ShortFileIsRefusedNotAUsageError) {
  WriteBare(215);
  const CliRun r = Cli("firmware verify --family docking " + P("bare.bin"));
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "This is not the correct Firmware File\n");
}

TEST_F(CliBinary, GlobalOptionsAndDispatch) {
  const CliRun help = Cli("--help");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("firmware verify"), std::string::npos);

  const CliRun none = Cli("");
  EXPECT_EQ(none.code, 2);
  EXPECT_NE(none.err.find("usage:"), std::string::npos);

  EXPECT_EQ(Cli("frobnicate").code, 2);
  EXPECT_EQ(Cli("--bogus firmware").code, 2);
  EXPECT_EQ(Cli("--port").code, 2);

  WriteBare(3000);
  // The port is a global option for the connection commands; the firmware group ignores it.
  EXPECT_EQ(
      Cli("--port /dev/null firmware pack --family rvx --tag 1 " + P("bare.bin") + " " + P("x.bin"))
          .code,
      0);
}

struct LineCase {
  const char* name;
  const char* arguments;
  int code;
  const char* out;  // expected in stdout ("" for none)
  const char* err;  // expected in stderr ("" for none)
};
void PrintTo(const LineCase& c, std::ostream* os) {
  *os << c.name;
}

class CliLine : public CliBinary, public ::testing::WithParamInterface<LineCase> {};

TEST_P(CliLine, ExitCodeAndTheLineThatExplainsIt) {
  const LineCase& c = GetParam();
  const CliRun r = Cli(c.arguments);
  EXPECT_EQ(r.code, c.code) << r.err;
  if (*c.out == '\0') {
    EXPECT_TRUE(r.out.empty()) << r.out;
  } else {
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
  }
  if (*c.err == '\0') {
    EXPECT_TRUE(r.err.empty()) << r.err;
  } else {
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, CliLine,
    ::testing::Values(
        LineCase{"Version", "--version", 0, "quaylink-cli " QUAYLINK_VERSION_TEXT "\n", ""},
        LineCase{"HelpOfOneCommand", "logs get --help", 0, "--dir", ""},
        LineCase{"HelpAfterThePort", "--port /dev/null firmware upload --help", 0, "--family", ""},
        LineCase{"UnknownOptionIsNamed", "--bogus firmware", 2, "", "--bogus"},
        LineCase{"UnknownCommandIsNamed", "frobnicate", 2, "", "frobnicate"},
        LineCase{"GroupWithoutCommand", "logs", 2, "", "logs needs a command"},
        LineCase{"UnknownFamilyIsNamed", "firmware verify --family hwr x.bin", 2, "", "hwr"},
        LineCase{"ExtraWordIsNamed", "--port /dev/null info surplus", 2, "", "surplus"},
        LineCase{"MissingOptionIsNamed", "--port /dev/null read docking", 2, "", "--out"},
        LineCase{"PortAfterTheCommand", "info --port /dev/quaylink-missing", 2, "",
                 "Port open fail"}),
    [](const auto& row) { return std::string(row.param.name); });

// Results that cannot be written are a failure: each command here prints results, and
// with stdout on a full disk it exits 2 and says why on stderr.
struct FullDiskCase {
  const char* name;
  const char* arguments;  // FW stands for a valid rvx firmware file
};
void PrintTo(const FullDiskCase& c, std::ostream* os) {
  *os << c.name;
}

class CliFullDisk : public CliBinary, public ::testing::WithParamInterface<FullDiskCase> {
 protected:
  void SetUp() override {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    // A firmware file to verify, and a live emulator's record for `ports` to list.
    WriteBare(3000);
    ASSERT_EQ(Cli("firmware pack --family rvx --tag 1 " + P("bare.bin") + " " + P("fw.bin")).code,
              0);
    const fs::path bridges = dir_.path() / "runtime" / "quaylink" / "bridges";
    fs::create_directories(bridges);
    fs::permissions(bridges.parent_path(), fs::perms::owner_all);
    fs::permissions(bridges, fs::perms::owner_all);
    const std::string record =
        "name=station9\npath=/dev/null\npid=" + std::to_string(::getpid()) + "\n";
    WriteBytes(bridges / "9.bridge", std::vector<std::uint8_t>(record.begin(), record.end()));
  }
  // The command line of the case, in the test's own runtime folder.
  std::string Program() const {
    std::string arguments = GetParam().arguments;
    if (const auto at = arguments.find("FW"); at != std::string::npos) {
      arguments.replace(at, 2, P("fw.bin"));
    }
    return "XDG_RUNTIME_DIR=" + P("runtime") + " '" + QUAYLINK_CLI_PATH + "' " + arguments;
  }
};

TEST_P(CliFullDisk, ExitsTwoWithAMessage) {
  // The same command on a writable stdout prints something, so the full disk is hit.
  const int normal = std::system((Program() + " >" + P("stdout.txt") + " 2>/dev/null").c_str());
  ASSERT_TRUE(WIFEXITED(normal));
  ASSERT_EQ(WEXITSTATUS(normal), 0);
  ASSERT_FALSE(ReadBytes(dir_.path() / "stdout.txt").empty());

  const int full = std::system((Program() + " >/dev/full 2>" + P("stderr.txt")).c_str());
  const auto err = ReadBytes(dir_.path() / "stderr.txt");
  const std::string message(err.begin(), err.end());
  ASSERT_TRUE(WIFEXITED(full));
  EXPECT_EQ(WEXITSTATUS(full), 2) << message;
  EXPECT_NE(message.find("cannot write the results"), std::string::npos) << message;
}

TEST_F(CliBinary, PortsSaysWhyAnEmulatorsFolderIsNotUsed) {
  const fs::path bridges = dir_.path() / "runtime" / "quaylink" / "bridges";
  fs::create_directories(bridges);
  fs::permissions(bridges, fs::perms::all);  // anyone could plant a port here
  const std::string record =
      "name=station9\npath=/dev/null\npid=" + std::to_string(::getpid()) + "\n";
  WriteBytes(bridges / "9.bridge", std::vector<std::uint8_t>(record.begin(), record.end()));
  const CliRun r = Cli("ports", "XDG_RUNTIME_DIR=" + P("runtime") + " ");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out.find("station9"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("writable by other users"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliFullDisk,
    ::testing::Values(FullDiskCase{"Ports", "ports"}, FullDiskCase{"Version", "--version"},
                      FullDiskCase{"Help", "--help"},
                      FullDiskCase{"Verify", "firmware verify --family rvx FW"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace ql::test
