#include "records/config_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/records/test_support.h"

namespace ql::records {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

class ConfigFiles : public ::testing::Test {
 protected:
  fs::path Drive(const char* relative) const { return drive_.path() / relative; }
  bool NoTemporaryFilesLeft() const {
    for (const auto& entry : fs::recursive_directory_iterator(drive_.path())) {
      if (entry.path().extension() == ".tmp") return false;
    }
    return true;
  }

  test::TempDir drive_;
  test::RecordingSink sink_;
};

TEST_F(ConfigFiles, DockingWriteThenReadGivesTheSamePage) {
  DockingPageValues page;
  LoadDockingDefaults(page);
  page.serialNumber = "DS42";
  page.location = "Lab";
  page.gasExpirationDate = {2027, 6, 1};
  DockingInfoRecord record;
  ASSERT_TRUE(WriteDockingToDrive(drive_.path(), page, record, sink_));
  EXPECT_THAT(sink_.messages, ElementsAre("USB File write Success (Docking Info)"));
  const auto bytes = test::ReadBytes(Drive("Config/Docking/Docking.cfg"));
  ASSERT_EQ(bytes.size(), 64u);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), record.bytes.begin()));
  EXPECT_TRUE(NoTemporaryFilesLeft());

  sink_.messages.clear();
  DockingPageValues shown;
  DockingInfoRecord buffer;
  ASSERT_TRUE(ReadDockingFromDrive(drive_.path(), buffer, shown, sink_));
  EXPECT_THAT(sink_.messages, ElementsAre("USB File Read Success (Docking Info)"));
  EXPECT_EQ(shown.serialNumber, "DS42");
  EXPECT_EQ(shown.gasExpirationDate, (PageDate{2027, 6, 1}));
}

TEST_F(ConfigFiles, ShortDockingFileLoadsAndTheRestStaysZero) {
  std::vector<std::uint8_t> ten = {64, 0, 0, 0, 'A', 'B', '1', '2', 0, 0};
  test::WriteBytes(Drive("Config/Docking/Docking.cfg"), ten);
  DockingInfoRecord buffer;
  buffer.bytes.fill(0x77);  // the Read action zeroes it first
  DockingPageValues page;
  ASSERT_TRUE(ReadDockingFromDrive(drive_.path(), buffer, page, sink_));
  EXPECT_TRUE(std::equal(ten.begin(), ten.end(), buffer.bytes.begin()));
  for (std::size_t i = 10; i < 64; ++i) EXPECT_EQ(buffer.bytes[i], 0) << i;
  EXPECT_EQ(page.serialNumber, "AB12");
}

TEST_F(ConfigFiles, LengthFieldAndLongerFilesAreNotChecked) {
  DockingPageValues page;
  LoadDockingDefaults(page);
  page.maximumBumpTime = "90";
  DockingInfoRecord record;
  DockingInfoFromPage(page, record);
  std::vector<std::uint8_t> file(record.bytes.begin(), record.bytes.end());
  file[0] = 0xE7;  // length 999
  file[1] = 0x03;
  file.resize(80, 0xFF);  // trailing bytes beyond the record are not read
  test::WriteBytes(Drive("Config/Docking/Docking.cfg"), file);
  DockingInfoRecord buffer;
  DockingPageValues shown;
  ASSERT_TRUE(ReadDockingFromDrive(drive_.path(), buffer, shown, sink_));
  EXPECT_EQ(buffer.Length(), 999u);
  EXPECT_EQ(shown.maximumBumpTime, "90");
}

TEST_F(ConfigFiles, LoadLeavesTheBufferBeyondAShortFileAsItWas) {
  test::WriteBytes(Drive("Config/RVX/RVX.cfg"), {1, 2, 3});
  MultiGasOptionRecord record;
  record.bytes.fill(0x5C);
  ASSERT_TRUE(LoadMultiGasCfg(drive_.path(), record, sink_));
  EXPECT_EQ(record.bytes[2], 3);
  EXPECT_EQ(record.bytes[3], 0x5C);
  EXPECT_TRUE(sink_.messages.empty());
}

TEST_F(ConfigFiles, MissingFilesGiveTheOpenErrorThenTheReadFailure) {
  DockingPageValues docking;
  docking.location = "unchanged";
  DockingInfoRecord dockingRecord;
  EXPECT_FALSE(ReadDockingFromDrive(drive_.path(), dockingRecord, docking, sink_));
  EXPECT_EQ(docking.location, "unchanged");

  SingleGasPageValues single;
  SingleGasOptionRecord singleRecord;
  EXPECT_FALSE(ReadSingleGasFromDrive(drive_.path(), singleRecord, single, sink_));

  MultiGasPageValues multi;
  MultiGasOptionRecord multiRecord;
  EXPECT_FALSE(ReadMultiGasFromDrive(drive_.path(), multiRecord, multi, sink_));

  EXPECT_THAT(sink_.messages,
              ElementsAre("File open error (Docking.cfg)", "USB File Read Fail (Docking Info)",
                          "File open error (TKL.cfg)", "USB File Read Fail (TKL Info)",
                          "File open error (RVX.cfg)", "USB File Read Fail (RVX Info)"));
}

TEST_F(ConfigFiles, AFolderUnderTheFileNameIsNotAFile) {
  fs::create_directories(Drive("Config/Docking/Docking.cfg"));
  DockingInfoRecord record;
  EXPECT_FALSE(LoadDockingCfg(drive_.path(), record, sink_));
  EXPECT_THAT(sink_.messages, ElementsAre("File open error (Docking.cfg)"));
}

struct LegacyCase {
  const char* name;
  const char* oldPath;
  const char* newPath;
  std::size_t recordSize;
  bool (*read)(const fs::path&, IMessageSink&, std::vector<std::uint8_t>&);
};
void PrintTo(const LegacyCase& c, std::ostream* os) {
  *os << c.name;
}

class LegacyNames : public ConfigFiles, public ::testing::WithParamInterface<LegacyCase> {};

TEST_P(LegacyNames, OlderFileIsReadAndCopiedToTheNewName) {
  std::vector<std::uint8_t> old(GetParam().recordSize + 5);  // any length is copied whole
  for (std::size_t i = 0; i < old.size(); ++i) old[i] = static_cast<std::uint8_t>(i * 7 + 1);
  test::WriteBytes(Drive(GetParam().oldPath), old);
  std::vector<std::uint8_t> loaded;
  ASSERT_TRUE(GetParam().read(drive_.path(), sink_, loaded));
  EXPECT_TRUE(std::equal(loaded.begin(), loaded.end(), old.begin()));
  EXPECT_EQ(test::ReadBytes(Drive(GetParam().newPath)), old);
  EXPECT_EQ(test::ReadBytes(Drive(GetParam().oldPath)), old);
  EXPECT_TRUE(NoTemporaryFilesLeft());
}

TEST_P(LegacyNames, NewFileWinsOverTheOlderOne) {
  test::WriteBytes(Drive(GetParam().oldPath), std::vector<std::uint8_t>(GetParam().recordSize, 1));
  test::WriteBytes(Drive(GetParam().newPath), std::vector<std::uint8_t>(GetParam().recordSize, 2));
  std::vector<std::uint8_t> loaded;
  ASSERT_TRUE(GetParam().read(drive_.path(), sink_, loaded));
  EXPECT_EQ(loaded, std::vector<std::uint8_t>(GetParam().recordSize, 2));
  EXPECT_EQ(test::ReadBytes(Drive(GetParam().oldPath)),
            std::vector<std::uint8_t>(GetParam().recordSize, 1));
}

INSTANTIATE_TEST_SUITE_P(
    Detectors, LegacyNames,
    ::testing::Values(
        LegacyCase{"SingleGas", "Config/YBR/YBR.cfg", "Config/TKL/TKL.cfg", 112,
                   [](const fs::path& root, IMessageSink& sink, std::vector<std::uint8_t>& out) {
                     SingleGasOptionRecord r;
                     const bool ok = LoadSingleGasCfg(root, r, sink);
                     out.assign(r.bytes.begin(), r.bytes.end());
                     return ok;
                   }},
        LegacyCase{"MultiGas", "Config/HWR/HWR.cfg", "Config/RVX/RVX.cfg", 100,
                   [](const fs::path& root, IMessageSink& sink, std::vector<std::uint8_t>& out) {
                     MultiGasOptionRecord r;
                     const bool ok = LoadMultiGasCfg(root, r, sink);
                     out.assign(r.bytes.begin(), r.bytes.end());
                     return ok;
                   }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(ConfigFiles, SingleGasSaveZeroFillsBeforeEncoding) {
  SingleGasPageValues page;
  LoadSingleGasDefaults(page);
  page.highAlarm.checked = true;
  SingleGasOptionRecord record;
  record.bytes.fill(0x99);  // whatever an earlier read left
  ASSERT_TRUE(WriteSingleGasToDrive(drive_.path(), page, record, sink_));
  EXPECT_THAT(sink_.messages, ElementsAre("USB File write Success (TKL Info)"));
  const auto bytes = test::ReadBytes(Drive("Config/TKL/TKL.cfg"));
  ASSERT_EQ(bytes.size(), 112u);
  EXPECT_EQ(bytes[4], 0);  // user ID row not checked
  EXPECT_EQ(bytes[9], 1);  // high alarm row
  EXPECT_EQ(test::RawU16(bytes.data(), 16 + 28), 150u);
  EXPECT_EQ(bytes[16 + 8], 0);  // user ID zero
}

TEST_F(ConfigFiles, MultiGasWriteCreatesTheFolders) {
  MultiGasPageValues page;
  LoadMultiGasDefaults(page);
  MultiGasOptionRecord record;
  ASSERT_TRUE(WriteMultiGasToDrive(drive_.path(), page, record, sink_));
  EXPECT_THAT(sink_.messages, ElementsAre("USB File write Success (RVX Info)"));
  EXPECT_EQ(test::ReadBytes(Drive("Config/RVX/RVX.cfg")).size(), 100u);
}

TEST_F(ConfigFiles, WriteFailureKeepsTheOldFileAndReportsIt) {
  // A folder where the file belongs: the write cannot complete.
  fs::create_directories(Drive("Config/TKL/TKL.cfg"));
  SingleGasPageValues page;
  LoadSingleGasDefaults(page);
  SingleGasOptionRecord record;
  EXPECT_FALSE(WriteSingleGasToDrive(drive_.path(), page, record, sink_));
  EXPECT_THAT(sink_.messages, ElementsAre("USB File write Fail (TKL Info)"));
  EXPECT_TRUE(fs::is_directory(Drive("Config/TKL/TKL.cfg")));
  EXPECT_TRUE(NoTemporaryFilesLeft());

  sink_.messages.clear();
  DockingPageValues docking;
  DockingInfoRecord dockingRecord;
  fs::remove_all(Drive("Config"));
  test::WriteBytes(Drive("Config"), {1});  // no folders can be made below a file
  EXPECT_FALSE(WriteDockingToDrive(drive_.path(), docking, dockingRecord, sink_));
  EXPECT_THAT(sink_.messages, ElementsAre("USB File write Fail (Docking Info)"));
  EXPECT_EQ(test::ReadBytes(Drive("Config")), std::vector<std::uint8_t>{1});
}

}  // namespace
}  // namespace ql::records
