#include "rules/firmware_names.h"

#include <gtest/gtest.h>

namespace ql::rules {
namespace {

struct NameCase {
  const char* name;
  RecordType page;
  const char* fileName;
  bool accepted;
};
void PrintTo(const NameCase& c, std::ostream* os) {
  *os << c.name;
}

class BrowseNames : public ::testing::TestWithParam<NameCase> {};
TEST_P(BrowseNames, ExactNamesOnly) {
  EXPECT_EQ(IsBrowseFirmwareName(GetParam().page, GetParam().fileName), GetParam().accepted);
}
INSTANTIATE_TEST_SUITE_P(
    Pages, BrowseNames,
    ::testing::Values(
        NameCase{"DockingPlain", RecordType::Docking, "DK_FW.bin", true},
        NameCase{"DockingTorveline", RecordType::Docking, "DK_FW_TORVELINE.bin", true},
        NameCase{"DockingLowerCase", RecordType::Docking, "dk_fw.bin", false},
        NameCase{"SingleGasOldName", RecordType::SingleGas, "YBR_CO.bin", true},
        NameCase{"SingleGasNewName", RecordType::SingleGas, "TKL_O2.bin", true},
        NameCase{"SingleGasOtherGas", RecordType::SingleGas, "TKL_LEL.bin", false},
        NameCase{"MultiGasNewName", RecordType::MultiGas, "RVX_FW.bin", true},
        NameCase{"MultiGasLowerCase", RecordType::MultiGas, "rvx_fw.bin", false},
        NameCase{"MultiGasWriteOnlyName", RecordType::MultiGas, "KT720_FW.bin", false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(WriteNames, PathNameOrBrowsedName) {
  EXPECT_TRUE(IsWriteFirmwareName(RecordType::Docking, "/media/fw/DK_FW_HALVORN.bin", ""));
  EXPECT_FALSE(IsWriteFirmwareName(RecordType::Docking, "/media/fw/DK_FW_TORVELINE.bin", ""));
  EXPECT_TRUE(IsWriteFirmwareName(RecordType::Docking, "/media/fw/DK_FW_TORVELINE.bin",
                                  "DK_FW_TORVELINE.bin"));
  EXPECT_TRUE(IsWriteFirmwareName(RecordType::SingleGas, "C:\\fw\\YBR_H2S.bin", ""));
  EXPECT_TRUE(IsWriteFirmwareName(RecordType::SingleGas, "/fw/TKL_H2S.bin", "TKL_H2S.bin"));
  EXPECT_FALSE(IsWriteFirmwareName(RecordType::SingleGas, "/fw/TKL_H2S.bin", "YBR_H2S.bin"));
  EXPECT_TRUE(IsWriteFirmwareName(RecordType::MultiGas, "KT720_FW.bin", ""));  // typed path
  EXPECT_TRUE(IsWriteFirmwareName(RecordType::MultiGas, "/fw/Plurovant_FW.bin", ""));
  EXPECT_FALSE(IsWriteFirmwareName(RecordType::MultiGas, "/fw/RVX_FW.bin.old", "RVX_FW.bin"));
}

TEST(UsbFirmwareName, FamilyPrefixesAreRenamed) {
  EXPECT_EQ(UsbFirmwareName(RecordType::SingleGas, "YBR_CO.bin"), "TKL_CO.bin");
  EXPECT_EQ(UsbFirmwareName(RecordType::MultiGas, "HWR_FW.bin"), "RVX_FW.bin");
  EXPECT_EQ(UsbFirmwareName(RecordType::MultiGas, "HWR_FW_HALVORN.bin"), "RVX_FW_HALVORN.bin");
  EXPECT_EQ(UsbFirmwareName(RecordType::MultiGas, "HWRHWR.bin"), "RVXRVX.bin");
  EXPECT_EQ(UsbFirmwareName(RecordType::Docking, "DK_FW.bin"), "DK_FW.bin");
}

TEST(FileNamePart, EitherSeparator) {
  EXPECT_EQ(FileNamePart("E:\\fw\\DK_FW.bin"), "DK_FW.bin");
  EXPECT_EQ(FileNamePart("/media/usb0/fw/DK_FW.bin"), "DK_FW.bin");
  EXPECT_EQ(FileNamePart("DK_FW.bin"), "DK_FW.bin");
  EXPECT_TRUE(EndsInBin("/x/RVX_FW.bin"));
  EXPECT_FALSE(EndsInBin("/x/RVX_FW.bin.txt"));
}

TEST(FirmwareMessages, TextsAsShown) {
  EXPECT_EQ(FirmwareNameMismatchMessage(RecordType::SingleGas),
            "File Name Mismatch \n(File Name : TKL_H2S.bin, TKL_CO.bin, TKL_O2.bin)");
  EXPECT_EQ(FirmwareUsbWriteSuccessMessage(RecordType::MultiGas),
            "USB File Write Success (RVX F/W)");
  EXPECT_EQ(FirmwareUsbWriteFailMessage(RecordType::Docking), "USB File Write Fail (Docking F/W)");
}

}  // namespace
}  // namespace ql::rules
