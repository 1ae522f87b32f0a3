// The firmware choice: each refusal of a page's firmware Write in its order, the accepted
// file, and a file named directly (a script's choice).

#include "records/firmware_choice.h"

#include <gtest/gtest.h>

#include <random>

#include "rules/firmware_names.h"
#include "tests/records/test_support.h"

namespace ql::records {
namespace {

namespace fs = std::filesystem;
using link::ErrorKind;

std::vector<std::uint8_t> Container(RecordType family, std::size_t bareSize) {
  std::mt19937 gen(3);
  std::vector<std::uint8_t> bare(bareSize);
  for (auto& b : bare) b = static_cast<std::uint8_t>(gen());
  // The version label shows the tag's last three characters.
  return *PackFirmwareImage(
      bare, *MakeFirmwareTag(family, family == RecordType::Docking ? "207" : "abc207"));
}

// The folder every row works in: RVX_FW.bin, DK_FW.bin and DK_FW_TORVELINE.bin are valid
// containers of their family, TKL_CO.bin is a docking container under a single-gas name,
// YBR_O2.bin too short to be one; YBR_CO.bin does not exist.
class FirmwareChoiceFiles {
 public:
  FirmwareChoiceFiles() {
    test::WriteBytes(Path("RVX_FW.bin"), Container(RecordType::MultiGas, 3000));
    test::WriteBytes(Path("DK_FW.bin"), Container(RecordType::Docking, 3000));
    test::WriteBytes(Path("DK_FW_TORVELINE.bin"), Container(RecordType::Docking, 3000));
    test::WriteBytes(Path("TKL_CO.bin"), Container(RecordType::Docking, 3000));
    test::WriteBytes(Path("YBR_O2.bin"), std::vector<std::uint8_t>(100, 7));
    fs::create_directories(fs::path(Path("sub")) / "DK_FW_HALVORN.bin");  // a folder, not a file
  }
  std::string Path(const std::string& name) const { return (dir_.path() / name).string(); }

 private:
  test::TempDir dir_;
};

struct ChoiceCase {
  const char* name;
  RecordType page;
  const char* file;     // in the folder; "" for an empty path field
  const char* browsed;  // the name the last Browse remembered
  ErrorKind kind;       // None: accepted
  std::string_view message;
};
void PrintTo(const ChoiceCase& c, std::ostream* os) {
  *os << c.name;
}

class FirmwareChoiceTable : public testing::TestWithParam<ChoiceCase> {
 protected:
  FirmwareChoiceFiles files_;
};

TEST_P(FirmwareChoiceTable, RefusesInThePagesOrder) {
  const ChoiceCase& c = GetParam();
  const std::string path = std::string(c.file).empty() ? "" : files_.Path(c.file);
  const FirmwareChoice choice = CheckFirmwareChoice(c.page, path, c.browsed);
  EXPECT_EQ(choice.status.kind, c.kind);
  EXPECT_EQ(choice.status.message, c.message);
  if (c.kind == ErrorKind::None) {
    EXPECT_EQ(choice.image.fileName, path);
    EXPECT_EQ(choice.image.length, choice.image.content.size());
    EXPECT_EQ(choice.image.length, 3000u + kFirmwareOverhead);
    EXPECT_EQ(choice.image.blockCount, FirmwareBlockCount(choice.image.length));
    EXPECT_EQ(choice.image.content, test::ReadBytes(path));
  } else {
    EXPECT_TRUE(choice.image.content.empty()) << "a refused file is not handed on";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Write, FirmwareChoiceTable,
    testing::Values(
        ChoiceCase{"EmptyPathComesFirst", RecordType::Docking, "", "DK_FW.bin",
                   ErrorKind::BadArgument, rules::kMsgFirmwareEmpty},
        // The name is checked before the file is looked for.
        ChoiceCase{"NameBeforeExistence", RecordType::MultiGas, "missing.bin", "RVX_FW.bin",
                   ErrorKind::BadArgument,
                   rules::FirmwareNameMismatchMessage(RecordType::MultiGas)},
        ChoiceCase{"NameOfAnotherPage", RecordType::Docking, "RVX_FW.bin", "",
                   ErrorKind::BadArgument, rules::FirmwareNameMismatchMessage(RecordType::Docking)},
        ChoiceCase{"MissingFileWithAGoodName", RecordType::SingleGas, "YBR_CO.bin", "",
                   ErrorKind::Io, rules::kMsgFileDoesNotExist},
        ChoiceCase{"FolderIsNoFile", RecordType::Docking, "sub/DK_FW_HALVORN.bin", "",
                   ErrorKind::Io, rules::kMsgFileDoesNotExist},
        // Every name the multi-gas page writes ends in "bin", so its own check comes only
        // after those; the container check follows it.
        ChoiceCase{"TagOfAnotherFamily", RecordType::SingleGas, "TKL_CO.bin", "TKL_CO.bin",
                   ErrorKind::BadArgument, rules::kMsgNotCorrectFirmware},
        ChoiceCase{"TooShortForAContainer", RecordType::SingleGas, "YBR_O2.bin", "",
                   ErrorKind::BadArgument, rules::kMsgNotCorrectFirmware},
        ChoiceCase{"Accepted", RecordType::MultiGas, "RVX_FW.bin", "", ErrorKind::None, ""},
        // The docking page writes this name only when Browse chose it.
        ChoiceCase{"AcceptedThroughTheBrowsedName", RecordType::Docking, "DK_FW_TORVELINE.bin",
                   "DK_FW_TORVELINE.bin", ErrorKind::None, ""},
        ChoiceCase{"BrowsedNameMissing", RecordType::Docking, "DK_FW_TORVELINE.bin", "",
                   ErrorKind::BadArgument,
                   rules::FirmwareNameMismatchMessage(RecordType::Docking)}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FirmwareChoice, LabelShowsTheVersionOrTheFailure) {
  FirmwareChoiceFiles files;
  EXPECT_EQ(CheckFirmwareChoice(RecordType::MultiGas, files.Path("RVX_FW.bin"), "").label,
            "RVX F/W Version : 207");
  EXPECT_EQ(
      CheckFirmwareChoice(RecordType::SingleGas, files.Path("TKL_CO.bin"), "TKL_CO.bin").label,
      FirmwareFailureLabel(RecordType::SingleGas));
  EXPECT_EQ(CheckFirmwareChoice(RecordType::SingleGas, files.Path("YBR_CO.bin"), "").label, "")
      << "no label before the container was read";
}

TEST(FirmwareChoice, NamedFileNeedsANameBrowseAccepts) {
  FirmwareChoiceFiles files;
  // Write alone takes HWR_FW_HALVORN.bin on the multi-gas page (typed into the field);
  // Browse never offers it, so a file named directly is refused by name.
  const FirmwareChoice halvorn =
      CheckNamedFirmware(RecordType::MultiGas, files.Path("HWR_FW_HALVORN.bin"));
  EXPECT_EQ(halvorn.status.kind, ErrorKind::BadArgument);
  EXPECT_EQ(halvorn.status.message, rules::FirmwareNameMismatchMessage(RecordType::MultiGas));
  EXPECT_EQ(CheckNamedFirmware(RecordType::MultiGas, "").status.message,
            rules::FirmwareNameMismatchMessage(RecordType::MultiGas));

  // A name Browse accepts goes on through Write's checks, the chosen name counting as
  // browsed (the docking page writes DK_FW_TORVELINE.bin only that way).
  EXPECT_TRUE(CheckNamedFirmware(RecordType::Docking, files.Path("DK_FW_TORVELINE.bin")).ok());
  EXPECT_EQ(CheckNamedFirmware(RecordType::SingleGas, files.Path("TKL_H2S.bin")).status.kind,
            ErrorKind::Io);
}

}  // namespace
}  // namespace ql::records
