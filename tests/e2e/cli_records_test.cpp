// quaylink-cli records show, diff and set, as built, against files and against the station
// emulator over a pseudo-terminal.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/e2e/files.h"
#include "tests/e2e/process.h"

namespace ql {
namespace {

namespace fs = std::filesystem;
using testsupport::Background;
using testsupport::ReadBytes;
using testsupport::RunProgram;
using testsupport::WriteBytes;
using Bytes = std::vector<std::uint8_t>;

// "Label: value" lines turned into the "Label=value" arguments of records set.
std::vector<std::string> Assignments(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const auto colon = line.find(": ");
    if (colon != std::string::npos)
      out.push_back(line.substr(0, colon) + "=" + line.substr(colon + 2));
  }
  return out;
}

class CliRecords : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("ql-e2e-rec-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "runtime");
    fs::create_directories(dir_ / "work");
    ::setenv("XDG_RUNTIME_DIR", (dir_ / "runtime").c_str(), 1);
  }
  void TearDown() override {
    station_.reset();
    fs::remove_all(dir_);
  }

  void StartStation(int type, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {QUAYLINK_STATION, "--type", std::to_string(type), "--state",
                                     (dir_ / "state").string()};
    args.insert(args.end(), more.begin(), more.end());
    station_ = std::make_unique<Background>(std::move(args));
    device_ = station_->FirstLine();
    ASSERT_FALSE(device_.empty());
  }
  testsupport::RunResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), QUAYLINK_CLI);
    return RunProgram(std::move(args));
  }
  testsupport::RunResult CliOnPort(std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", device_});
    return Cli(std::move(args));
  }
  fs::path Work(const std::string& name) const { return dir_ / "work" / name; }

  fs::path dir_;
  std::string device_;
  std::unique_ptr<Background> station_;
};

// The station's own records: their text, set back onto the raw bytes, gives those bytes;
// the JSON form holds the same fields in the same order.
TEST_F(CliRecords, StationRecordsShowAndSetBackIdentical) {
  const struct {
    int station;
    const char* target;
    const char* type;
  } cases[] = {{1, "docking", "docking"}, {1, "detector", "tkl"}, {2, "detector", "rvx"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type));
    StartStation(c.station);
    const fs::path raw = Work(std::string(c.type) + ".cfg");
    ASSERT_EQ(CliOnPort({"read", c.target, "--out", raw.string()}).exitCode, 0);
    const auto text = CliOnPort({"records", "show", c.target});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(Cli({"records", "show", raw.string()}).out, text.out);

    std::vector<std::string> args = {"records", "set", raw.string()};
    const auto assignments = Assignments(text.out);
    ASSERT_GT(assignments.size(), 10u);
    args.insert(args.end(), assignments.begin(), assignments.end());
    args.insert(args.end(), {"--out", Work("copy.cfg").string()});
    const auto set = Cli(args);
    ASSERT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(set.out, "") << "nothing changed";
    EXPECT_EQ(ReadBytes(Work("copy.cfg")), ReadBytes(raw));

    const auto json = CliOnPort({"records", "show", c.target, "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const auto object = nlohmann::ordered_json::parse(json.out);
    EXPECT_EQ(object.at("type"), c.type);
    std::string fromJson;
    for (const auto& [label, value] : object.at("fields").items()) {
      fromJson += label + ": " + value.get<std::string>() + "\n";
    }
    EXPECT_EQ(fromJson, text.out);
    station_.reset();
  }
}

// A file set from the station's record differs from the station in exactly the fields set.
TEST_F(CliRecords, DiffNamesExactlyTheFieldsSet) {
  StartStation(2);
  const fs::path raw = Work("RVX.cfg");
  ASSERT_EQ(CliOnPort({"read", "detector", "--out", raw.string()}).exitCode, 0);
  const auto same = CliOnPort({"records", "diff", "detector", raw.string()});
  EXPECT_EQ(same.exitCode, 0) << same.err;
  EXPECT_EQ(same.out, "");

  const auto set = Cli({"records", "set", raw.string(), "Low Alarm H2S=12.5", "Dock Lock=on",
                        "--out", Work("new.cfg").string()});
  ASSERT_EQ(set.exitCode, 0) << set.err;
  const std::string expected =
      "Low Alarm H2S: 10.0 \u2192 12.5\n"
      "Dock Lock: off \u2192 on\n";
  EXPECT_EQ(set.out, expected);
  const auto station = CliOnPort({"records", "diff", "detector", Work("new.cfg").string()});
  EXPECT_EQ(station.exitCode, 1) << station.err;
  EXPECT_EQ(station.out, expected);
  const auto files = Cli({"records", "diff", raw.string(), Work("new.cfg").string()});
  EXPECT_EQ(files.exitCode, 1);
  EXPECT_EQ(files.out, expected);
}

// Set replaces the file whole, leaving nothing else in its folder; a refused set leaves it
// as it was.
TEST_F(CliRecords, SetReplacesTheFileOrLeavesItAlone) {
  StartStation(2);
  const fs::path file = Work("Docking.cfg");
  ASSERT_EQ(CliOnPort({"read", "docking", "--out", file.string()}).exitCode, 0);
  station_.reset();
  const Bytes before = ReadBytes(file);

  const auto refused =
      Cli({"records", "set", file.string(), "Location=BAY9", "Maximum Bump Time=5"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, "Maximum Bump Time: 5 is outside 20 to 120\n");
  EXPECT_EQ(ReadBytes(file), before);

  const auto done = Cli({"records", "set", file.string(), "Location=BAY9"});
  ASSERT_EQ(done.exitCode, 0) << done.err;
  EXPECT_EQ(done.out, "Location: BAY3NORTH \u2192 BAY9\n");
  EXPECT_EQ(testsupport::Names(dir_ / "work"), std::set<std::string>{"Docking.cfg"});
  EXPECT_EQ(
      Cli({"records", "show", file.string()}).out.find("Location: BAY9\n") != std::string::npos,
      true);
}

// write --verify reads the record back: a station that stored what it was sent passes, one
// that stored another value is caught, the field named with both values.
TEST_F(CliRecords, WriteVerifyNamesWhatTheStationStoredDifferently) {
  const struct {
    const char* name;
    std::vector<std::string> station;
    int exitCode;
    const char* err;
  } cases[] = {
      {"faithful", {}, 0, ""},
      {"other value",
       {"--store-differently", "Maximum Bump Time=90"},
       1,
       "Maximum Bump Time: 60 \u2192 90\n"},
      {"other record only", {"--store-differently", "Low Alarm H2S=11.0"}, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StartStation(2, c.station);
    const fs::path file = Work("Docking.cfg");
    ASSERT_EQ(CliOnPort({"read", "docking", "--out", file.string()}).exitCode, 0);
    ASSERT_EQ(Cli({"records", "set", file.string(), "Maximum Bump Time=60"}).exitCode, 0);
    const auto r = CliOnPort({"write", "docking", file.string(), "--verify"});
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    if (c.exitCode != 0) {
      EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("stored other values than were sent"), std::string::npos) << r.err;
    }
    station_.reset();
    fs::remove_all(dir_ / "state");
  }
}

// Usage and file errors give 2 (as diff(1) does), refused input 1.
TEST_F(CliRecords, ErrorsAndTheirExitCodes) {
  WriteBytes(Work("short.cfg"), Bytes(63, 0));
  WriteBytes(Work("docking.cfg"), Bytes(64, 0));
  WriteBytes(Work("tkl.cfg"), Bytes(112, 0));
  const struct {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    const char* err;  // a part of stderr
  } cases[] = {
      {"missing file", {"records", "show", "nothere.cfg"}, 2, "cannot read /"},
      {"not a record", {"records", "show", "short.cfg"}, 2, "(63 bytes) is not a record"},
      {"type and size disagree",
       {"records", "show", "tkl.cfg", "--type", "rvx"},
       2,
       "is not a record of type rvx"},
      {"diff of two types",
       {"records", "diff", "docking.cfg", "tkl.cfg"},
       2,
       "tkl.cfg (112 bytes) is not a record of type docking"},
      {"diff missing file", {"records", "diff", "docking.cfg", "nothere.cfg"}, 2, "cannot read"},
      {"station without port",
       {"records", "diff", "docking", "docking.cfg"},
       2,
       "cannot read docking"},
      {"no assignment", {"records", "set", "docking.cfg", "Location"}, 2, "is not Label=value"},
      {"unknown label",
       {"records", "set", "docking.cfg", "Colour=red"},
       1,
       "Colour: no such field"},
      {"not in list",
       {"records", "set", "tkl.cfg", "Display=on", "Display CO=Bright"},
       1,
       "Display CO: Bright is not one of Life, Sensor"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.args;
    for (auto& a : args) {
      if (a.ends_with(".cfg")) a = Work(a).string();
    }
    const auto r = Cli(args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
  EXPECT_EQ(ReadBytes(Work("tkl.cfg")), Bytes(112, 0));
}

}  // namespace
}  // namespace ql
