#include "io/drive_layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "io/file_io.h"
#include "io/staged_file.h"
#include "tests/records/test_support.h"

namespace ql::io {
namespace {

namespace fs = std::filesystem;

struct EnsureCase {
  const char* name;
  const char* relative;
  std::vector<const char*> created;     // folders that must exist afterwards
  std::vector<const char*> notCreated;  // paths that must not exist
};
void PrintTo(const EnsureCase& c, std::ostream* os) {
  *os << c.name;
}

class EnsureDirectoriesTest : public ::testing::TestWithParam<EnsureCase> {};

TEST_P(EnsureDirectoriesTest, CreatesTheFoldersUpToTheFile) {
  test::TempDir drive;
  EnsureDirectories(drive.path(), GetParam().relative);
  for (const char* folder : GetParam().created) {
    EXPECT_TRUE(fs::is_directory(drive.path() / folder)) << folder;
  }
  for (const char* path : GetParam().notCreated) {
    EXPECT_FALSE(fs::exists(drive.path() / path)) << path;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layout, EnsureDirectoriesTest,
    ::testing::Values(
        EnsureCase{
            "FilePath", "Config/RVX/RVX.cfg", {"Config", "Config/RVX"}, {"Config/RVX/RVX.cfg"}},
        EnsureCase{"FolderPath", "Config/RVX/", {"Config", "Config/RVX"}, {}},
        EnsureCase{"Backslashes", "Firmware\\Docking\\", {"Firmware", "Firmware/Docking"}, {}},
        EnsureCase{"NoTrailingSeparator", "Config/TKL", {"Config"}, {"Config/TKL"}},
        EnsureCase{"DotStopsTheWalk", "Config/v1.2/TKL/", {"Config"}, {"Config/v1.2"}},
        EnsureCase{"DotDotNeverLeavesTheRoot", "../escape/", {}, {"../escape"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(EnsureDirectories, RootWithADotInItsNameIsNotInspected) {
  test::TempDir tmp;
  const fs::path root = tmp.path() / "usb.drive";
  fs::create_directory(root);
  EnsureDirectories(root, kDockingCfgFolder);
  EXPECT_TRUE(fs::is_directory(root / "Config/Docking"));
}

TEST(EnsureDirectories, ExistingLevelsAndBlockedLevelsArePassedOverQuietly) {
  test::TempDir drive;
  fs::create_directories(drive.path() / "Config/TKL");
  test::WriteBytes(drive.path() / "Firmware", {1, 2, 3});  // a file where a folder belongs
  EnsureDirectories(drive.path(), "Config/TKL/TKL.cfg");
  EnsureDirectories(drive.path(), kMultiGasFirmwareFolder);
  EXPECT_TRUE(fs::is_directory(drive.path() / "Config/TKL"));
  EXPECT_TRUE(fs::is_regular_file(drive.path() / "Firmware"));
}

TEST(DrivePath, AppendsTheLayoutPathToTheRoot) {
  EXPECT_EQ(DrivePath("/media/usb0", kSingleGasCfgPath),
            fs::path("/media/usb0/Config/TKL/TKL.cfg"));
  EXPECT_EQ(DrivePath("/media/usb0/", kMultiGasOldCfgPath),
            fs::path("/media/usb0/Config/HWR/HWR.cfg"));
}

TEST(WriteFileAtomically, WritesTheWholeFileAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  const fs::path target = dir.path() / "Docking.cfg";
  const std::vector<std::uint8_t> bytes(64, 0x5A);
  ASSERT_TRUE(WriteFileAtomically(target, bytes));
  EXPECT_EQ(test::ReadBytes(target), bytes);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(WriteFileAtomically, ReplacesAnExistingFile) {
  test::TempDir dir;
  const fs::path target = dir.path() / "TKL.cfg";
  test::WriteBytes(target, std::vector<std::uint8_t>(300, 7));
  const std::vector<std::uint8_t> bytes(112, 1);
  ASSERT_TRUE(WriteFileAtomically(target, bytes));
  EXPECT_EQ(test::ReadBytes(target), bytes);
}

TEST(WriteFileAtomically, FailureLeavesWhatWasThereAndNoTemporaryFile) {
  test::TempDir dir;
  // A folder under the target name: the temporary file is written, the rename fails.
  const fs::path target = dir.path() / "RVX.cfg";
  fs::create_directory(target);
  test::WriteBytes(target / "inside", {9});
  EXPECT_FALSE(WriteFileAtomically(target, std::vector<std::uint8_t>(100, 1)));
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(test::ReadBytes(target / "inside"), std::vector<std::uint8_t>{9});
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  EXPECT_FALSE(WriteFileAtomically(dir.path() / "missing/folder/x.cfg", {}));
}

// Another local user plants a symbolic link where a writer might put its bytes; the write
// must neither follow it nor turn the real name into it.
struct PlantedLinkCase {
  const char* name;
  const char* linkName;
};
void PrintTo(const PlantedLinkCase& c, std::ostream* os) {
  *os << c.name;
}

class PlantedLinkTest : public ::testing::TestWithParam<PlantedLinkCase> {};

TEST_P(PlantedLinkTest, VictimUntouchedAndTheTargetIsARegularFile) {
  test::TempDir dir;
  test::TempDir elsewhere;
  const fs::path victim = elsewhere.path() / "victim";
  test::WriteBytes(victim, {1, 2, 3});
  std::error_code ec;
  fs::create_symlink(victim, dir.path() / GetParam().linkName, ec);
  // Windows lets only some users make links (and wine none): nothing to plant then.
  if (ec) GTEST_SKIP() << "no symbolic link can be made here: " << ec.message();
  const fs::path target = dir.path() / "Docking.cfg";
  const std::vector<std::uint8_t> bytes(64, 0x5A);

  ASSERT_TRUE(WriteFileAtomically(target, bytes));

  EXPECT_EQ(test::ReadBytes(victim), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_FALSE(fs::is_symlink(target));
  EXPECT_EQ(test::ReadBytes(target), bytes);
}

INSTANTIATE_TEST_SUITE_P(WriteFileAtomically, PlantedLinkTest,
                         ::testing::Values(PlantedLinkCase{"AtTheOldTemporaryName",
                                                           "Docking.cfg.tmp"},
                                           PlantedLinkCase{"AtTheFinalName", "Docking.cfg"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(StagedFile, NothingIsLeftWhenItIsNotCommitted) {
  test::TempDir dir;
  {
    StagedFile file;
    ASSERT_TRUE(file.Create(dir.path(), "EVT1.LOG")) << file.Error();
    ASSERT_TRUE(file.Write(std::vector<std::uint8_t>(1000, 4)));
    EXPECT_FALSE(fs::is_empty(dir.path()));
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(StagedFile, ACommittedFileCannotBeWrittenAgain) {
  test::TempDir dir;
  StagedFile file;
  ASSERT_TRUE(file.Create(dir.path(), "a"));
  ASSERT_TRUE(file.Write(std::vector<std::uint8_t>{1}));
  ASSERT_TRUE(file.Commit());
  EXPECT_FALSE(file.Write(std::vector<std::uint8_t>{2}));
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(test::ReadBytes(dir.path() / "a"), std::vector<std::uint8_t>{1});
}

TEST(StagedFile, AMissingFolderOrANameThatIsAPathIsRefusedWithItsReason) {
  test::TempDir dir;
  StagedFile file;
  EXPECT_FALSE(file.Create(dir.path() / "missing", "x.cfg"));
  EXPECT_NE(file.Error().find("No such file"), std::string::npos) << file.Error();
  for (const char* name : {"", ".", "..", "../x.cfg", "a/b"}) {
    EXPECT_FALSE(file.Create(dir.path(), name)) << name;
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(ReadFilePrefix, ShortFileLeavesTheRestOfTheBuffer) {
  test::TempDir dir;
  test::WriteBytes(dir.path() / "short", {1, 2, 3});
  std::vector<std::uint8_t> buffer(8, 0xEE);
  const auto n = ReadFilePrefix(dir.path() / "short", buffer);
  ASSERT_TRUE(n.has_value());
  EXPECT_EQ(*n, 3u);
  EXPECT_EQ(buffer, (std::vector<std::uint8_t>{1, 2, 3, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(ReadFilePrefix, MissingFileAndFolderAreNotFiles) {
  test::TempDir dir;
  std::vector<std::uint8_t> buffer(4, 0);
  EXPECT_FALSE(ReadFilePrefix(dir.path() / "missing", buffer));
  EXPECT_FALSE(ReadFilePrefix(dir.path(), buffer));
}

TEST(ReadWholeFile, RefusesFilesAboveTheLimit) {
  test::TempDir dir;
  test::WriteBytes(dir.path() / "f", std::vector<std::uint8_t>(11, 3));
  EXPECT_FALSE(ReadWholeFile(dir.path() / "f", 10));
  EXPECT_EQ(ReadWholeFile(dir.path() / "f", 11), std::vector<std::uint8_t>(11, 3));
}

}  // namespace
}  // namespace ql::io
