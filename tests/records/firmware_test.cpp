#include "records/firmware.h"

#include <gtest/gtest.h>

#include <random>

#include "io/md5.h"
#include "tests/records/test_support.h"

namespace ql::records {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> BareImage(std::size_t n, std::uint32_t seed = 1) {
  std::mt19937 gen(seed);
  std::vector<std::uint8_t> bare(n);
  for (auto& b : bare) b = static_cast<std::uint8_t>(gen());
  return bare;
}

FirmwareTag Tag(std::string_view text) {
  FirmwareTag tag{};
  std::copy(text.begin(), text.end(), tag.begin());
  return tag;
}

// Builds the container by the layout table, independently of PackFirmwareImage.
std::vector<std::uint8_t> ContainerByHand(const std::vector<std::uint8_t>& bare,
                                          const FirmwareTag& tag) {
  std::vector<std::uint8_t> file(bare.begin(), bare.begin() + 100);
  for (auto b : tag) file.push_back(static_cast<std::uint8_t>((b + 127) % 256));
  file.insert(file.end(), bare.begin() + 100, bare.begin() + 191);
  const auto digest = io::Md5(bare);
  file.insert(file.end(), digest.begin(), digest.end());
  file.insert(file.end(), bare.begin() + 191, bare.end());
  return file;
}

TEST(PackFirmwareImage, ThousandByteDockingImage) {
  const auto bare = BareImage(1000);
  const auto file = PackFirmwareImage(bare, Tag("DOCK123"));
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->size(), 1025u);
  EXPECT_EQ((*file)[107], 127);  // unused tag bytes 7 and 8 are zero before the shift
  EXPECT_EQ((*file)[108], 127);
  EXPECT_EQ((*file)[100], 'D' + 127);
  EXPECT_EQ(*file, ContainerByHand(bare, Tag("DOCK123")));

  const FirmwareCheck check = CheckFirmwareContainer(RecordType::Docking, *file);
  EXPECT_EQ(check.status, FirmwareStatus::Valid);
  EXPECT_EQ(check.label, "Docking F/W Version : 123");
}

TEST(PackFirmwareImage, RemovingDigestThenTagGivesTheBareImageBack) {
  const auto bare = BareImage(4096, 7);
  auto file = *PackFirmwareImage(bare, Tag("HWR000V21"));
  file.erase(file.begin() + 200, file.begin() + 216);
  file.erase(file.begin() + 100, file.begin() + 109);
  EXPECT_EQ(file, bare);
}

TEST(PackFirmwareImage, RefusesImagesThatCannotHoldTheFields) {
  EXPECT_FALSE(PackFirmwareImage(BareImage(190), Tag("DOCK1")).has_value());
  const auto smallest = PackFirmwareImage(BareImage(191), Tag("DOCK1"));
  ASSERT_TRUE(smallest.has_value());
  EXPECT_EQ(smallest->size(), 216u);
  EXPECT_TRUE(CheckFirmwareContainer(RecordType::Docking, *smallest).ok());
}

struct FamilyCase {
  const char* name;
  RecordType family;
  const char* tag;
  const char* versionLabel;
  const char* failureLabel;
};
void PrintTo(const FamilyCase& c, std::ostream* os) {
  *os << c.name;
}

class Families : public ::testing::TestWithParam<FamilyCase> {};

TEST_P(Families, ValidContainerShowsTheVersionLabel) {
  const auto file = ContainerByHand(BareImage(2048), Tag(GetParam().tag));
  const FirmwareCheck check = CheckFirmwareContainer(GetParam().family, file);
  EXPECT_EQ(check.status, FirmwareStatus::Valid);
  EXPECT_EQ(check.label, GetParam().versionLabel);
}

TEST_P(Families, AnyChangedImageByteKeepsTheLabelButFailsTheDigest) {
  const auto good = ContainerByHand(BareImage(2048), Tag(GetParam().tag));
  for (std::size_t at : {0u, 99u, 109u, 150u, 199u, 216u, 1000u, 2072u}) {
    SCOPED_TRACE(at);
    auto file = good;
    file[at] ^= 0x01;
    const FirmwareCheck check = CheckFirmwareContainer(GetParam().family, file);
    EXPECT_EQ(check.status, FirmwareStatus::WrongDigest);
    EXPECT_EQ(check.label, GetParam().versionLabel);
  }
}

TEST_P(Families, ChangedDigestByteFailsTheDigest) {
  auto file = ContainerByHand(BareImage(2048), Tag(GetParam().tag));
  file[215] ^= 0x80;
  EXPECT_EQ(CheckFirmwareContainer(GetParam().family, file).status, FirmwareStatus::WrongDigest);
}

TEST_P(Families, OtherFamiliesFilesAreRejectedWithTheFailureLabel) {
  for (const char* foreign : {"DOCK123", "YBR000123", "HWR000123"}) {
    if (std::string_view(foreign).starts_with(FirmwareMagic(GetParam().family))) continue;
    SCOPED_TRACE(foreign);
    const auto file = ContainerByHand(BareImage(1500), Tag(foreign));
    const FirmwareCheck check = CheckFirmwareContainer(GetParam().family, file);
    EXPECT_EQ(check.status, FirmwareStatus::WrongTag);
    EXPECT_EQ(check.label, GetParam().failureLabel);
  }
}

TEST_P(Families, FilesTooShortForAContainerAreRefusedCleanly) {
  // Every length up to 215 bytes, each a would-be container cut short.
  const auto full = ContainerByHand(BareImage(191), Tag(GetParam().tag));
  for (std::size_t n = 0; n < kMinContainerSize; ++n) {
    // An exact-size copy, so the sanitizer sees any read past the end.
    const std::vector<std::uint8_t> cut(full.begin(),
                                        full.begin() + static_cast<std::ptrdiff_t>(n));
    const FirmwareCheck check = CheckFirmwareContainer(GetParam().family, cut);
    ASSERT_EQ(check.status, FirmwareStatus::TooShort) << n;
    ASSERT_EQ(check.label, GetParam().failureLabel) << n;
  }
}

TEST_P(Families, RandomFilesAreRefused) {
  for (std::uint32_t seed = 1; seed <= 50; ++seed) {
    const auto file = BareImage(100 + seed * 97, seed);
    EXPECT_FALSE(CheckFirmwareContainer(GetParam().family, file).ok()) << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(All, Families,
                         ::testing::Values(FamilyCase{"Docking", RecordType::Docking, "DOCK4.2",
                                                      "Docking F/W Version : 4.2",
                                                      "This is not the correct Firmware File"},
                                           FamilyCase{"SingleGas", RecordType::SingleGas,
                                                      "YBRabc1A2", "TKL Version F/W : 1A2",
                                                      "This is not the correct Firmware File"},
                                           FamilyCase{"MultiGas", RecordType::MultiGas, "HWRxyz310",
                                                      "RVX F/W Version : 310",
                                                      "This is not the correct Firmware File."}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(CheckFirmwareContainer, CorrectDigestButTagDocxIsRejected) {
  const auto file = ContainerByHand(BareImage(1000), Tag("DOCX123"));
  const FirmwareCheck check = CheckFirmwareContainer(RecordType::Docking, file);
  EXPECT_EQ(check.status, FirmwareStatus::WrongTag);
  EXPECT_EQ(check.label, "This is not the correct Firmware File");
}

TEST(CheckFirmwareContainer, VersionLabelEndsAtANulCharacter) {
  const auto file = ContainerByHand(BareImage(1000), Tag("DOCK7"));
  EXPECT_EQ(CheckFirmwareContainer(RecordType::Docking, file).label, "Docking F/W Version : 7");
}

TEST(FirmwareBlockCount, CountsKilobytesPlusThreeInEightBits) {
  EXPECT_EQ(FirmwareBlockCount(1023), 3);
  EXPECT_EQ(FirmwareBlockCount(1024), 4);
  EXPECT_EQ(FirmwareBlockCount(253 * 1024), 0);  // 256 wraps
}

TEST(VerifyFirmwareFile, ReplacesTheImageEvenWhenRefused) {
  test::TempDir dir;
  auto bad = ContainerByHand(BareImage(1023 - 25), Tag("DOCK555"));
  bad[5] ^= 0xFF;
  test::WriteBytes(dir.path() / "DK_FW.bin", bad);
  FirmwareImage image;
  image.fileName = "DK_FW.bin";
  const FirmwareCheck check =
      VerifyFirmwareFile(RecordType::Docking, dir.path() / "DK_FW.bin", image);
  EXPECT_EQ(check.status, FirmwareStatus::WrongDigest);
  EXPECT_EQ(check.label, "Docking F/W Version : 555");
  EXPECT_EQ(image.content, bad);
  EXPECT_EQ(image.length, 1023u);
  EXPECT_EQ(image.blockCount, 3);
  EXPECT_EQ(image.fileName, "DK_FW.bin");
}

TEST(VerifyFirmwareFile, ShortAndRandomFilesOnDiskAreRefused) {
  test::TempDir dir;
  test::WriteBytes(dir.path() / "short.bin", BareImage(215));
  test::WriteBytes(dir.path() / "random.bin", BareImage(50000, 99));
  FirmwareImage image;
  EXPECT_EQ(VerifyFirmwareFile(RecordType::MultiGas, dir.path() / "short.bin", image).status,
            FirmwareStatus::TooShort);
  EXPECT_EQ(image.length, 215u);
  EXPECT_EQ(VerifyFirmwareFile(RecordType::MultiGas, dir.path() / "random.bin", image).status,
            FirmwareStatus::WrongTag);
}

TEST(VerifyFirmwareFile, UnreadableFileLeavesTheImage) {
  test::TempDir dir;
  FirmwareImage image;
  image.content = {1, 2, 3};
  image.length = 3;
  const FirmwareCheck check =
      VerifyFirmwareFile(RecordType::SingleGas, dir.path() / "none.bin", image);
  EXPECT_EQ(check.status, FirmwareStatus::Unreadable);
  EXPECT_EQ(check.label, "This is not the correct Firmware File");
  EXPECT_EQ(image.content, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(VerifyFirmwareFile, FileFarTooLargeIsRefusedWithoutBeingRead) {
  test::TempDir dir;
  const fs::path huge = dir.path() / "huge.bin";
  test::WriteBytes(huge, {1});
  fs::resize_file(huge, kMaxFirmwareFileSize + 1);  // sparse: costs no disk space
  FirmwareImage image;
  image.content = {4, 5};
  const FirmwareCheck check = VerifyFirmwareFile(RecordType::Docking, huge, image);
  EXPECT_EQ(check.status, FirmwareStatus::TooLarge);
  EXPECT_EQ(check.label, "This is not the correct Firmware File");
  EXPECT_EQ(image.content, (std::vector<std::uint8_t>{4, 5}));
}

TEST(MakeFirmwareTag, MagicAndTextMustFitNineBytes) {
  EXPECT_EQ(MakeFirmwareTag(RecordType::Docking, "12345"), Tag("DOCK12345"));
  EXPECT_FALSE(MakeFirmwareTag(RecordType::Docking, "123456"));
  EXPECT_EQ(MakeFirmwareTag(RecordType::SingleGas, "000123"), Tag("YBR000123"));
  EXPECT_FALSE(MakeFirmwareTag(RecordType::MultiGas, "0001234"));
  EXPECT_EQ(MakeFirmwareTag(RecordType::MultiGas, ""), Tag("HWR"));
}

TEST(PackedFirmwarePath, ChangesOnlyTheFileName) {
  EXPECT_EQ(PackedFirmwarePath("/media/usb0/fw/dock.bin"), fs::path("/media/usb0/fw/dock_chg.bin"));
  EXPECT_EQ(PackedFirmwarePath("/data/v1.bin.d/dock.bin"), fs::path("/data/v1.bin.d/dock_chg.bin"));
  EXPECT_EQ(PackedFirmwarePath("/data/dock.bin.old"), fs::path("/data/dock_chg.bin"));
  EXPECT_EQ(PackedFirmwarePath("/data/dock"), fs::path("/data/dock_chg.bin"));
}

TEST(PackFirmwareFile, BuildsAVerifiableDockingFile) {
  test::TempDir dir;
  const auto bare = BareImage(5000, 3);
  test::WriteBytes(dir.path() / "dock.bin", bare);
  const fs::path out = PackedFirmwarePath(dir.path() / "dock.bin");
  ASSERT_TRUE(PackFirmwareFile(dir.path() / "dock.bin", "2.10xyz", out));  // cut to 9 bytes
  EXPECT_EQ(test::ReadBytes(out), ContainerByHand(bare, Tag("DOCK2.10x")));
  FirmwareImage image;
  const FirmwareCheck check = VerifyFirmwareFile(RecordType::Docking, out, image);
  EXPECT_TRUE(check.ok());
  EXPECT_EQ(check.label, "Docking F/W Version : 2.1");

  test::WriteBytes(dir.path() / "tiny.bin", BareImage(100));
  EXPECT_FALSE(PackFirmwareFile(dir.path() / "tiny.bin", "1", dir.path() / "tiny_chg.bin"));
  EXPECT_FALSE(fs::exists(dir.path() / "tiny_chg.bin"));
}

}  // namespace
}  // namespace ql::records
