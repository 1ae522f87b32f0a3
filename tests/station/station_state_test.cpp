// The emulator's state folder: a folder it cannot list is a clean refusal with a message,
// never an exception out of the listing.

#include "tools/station/station_state.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

namespace ql::station {
namespace {
namespace fs = std::filesystem;

class StateFolder : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "ql-state-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = fs::path(pattern) / "state";
    std::string error;
    ASSERT_TRUE(LoadStationState(dir_, 2, state_, error)) << error;  // seeds a new folder
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_.parent_path());
  }

  fs::path dir_;
  StationState state_;
};

// An entry whose type cannot be found out, in either listed folder.
class UnreadableEntry : public StateFolder, public testing::WithParamInterface<const char*> {};

TEST_P(UnreadableEntry, RefusesTheFolderWithAMessage) {
  const fs::path loop = dir_ / GetParam() / "LOOP.LOG";
  fs::create_symlink(loop.filename(), loop);  // a link to itself
  std::string error;
  StationState state;
  EXPECT_FALSE(LoadStationState(dir_, 2, state, error));
  EXPECT_NE(error.find(loop.string()), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Folders, UnreadableEntry, testing::Values("logs", "certs"));

TEST_F(StateFolder, ADanglingLinkIsNoFileAndNoError) {
  fs::create_symlink("GONE.LOG", dir_ / "logs" / "LINK.LOG");
  std::string error;
  StationState state;
  ASSERT_TRUE(LoadStationState(dir_, 2, state, error)) << error;
  EXPECT_EQ(state.logs.size(), SampleStationState(2).logs.size());
}

}  // namespace
}  // namespace ql::station
