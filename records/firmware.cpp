#include "records/firmware.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "io/file_io.h"
#include "io/md5.h"

namespace ql::records {
namespace {

// The tag is stored shifted so it does not read as plain text in the image.
constexpr std::uint8_t kTagShift = 127;

struct FamilyInfo {
  std::string_view magic;
  std::size_t versionAt;  // first of the three version characters in the tag
  std::string_view versionLabel;
  std::string_view failureLabel;
};

const FamilyInfo& Info(RecordType family) {
  static constexpr FamilyInfo kDocking{
      "DOCK", 4, "Docking F/W Version : ", "This is not the correct Firmware File"};
  static constexpr FamilyInfo kSingleGas{
      "YBR", 6, "TKL Version F/W : ", "This is not the correct Firmware File"};
  static constexpr FamilyInfo kMultiGas{
      "HWR", 6, "RVX F/W Version : ", "This is not the correct Firmware File."};
  switch (family) {
    case RecordType::Docking:
      return kDocking;
    case RecordType::SingleGas:
      return kSingleGas;
    case RecordType::MultiGas:
      break;
  }
  return kMultiGas;
}

// The version label shows three tag characters; like the label control it ends at a NUL.
std::string VersionLabel(const FamilyInfo& info, const FirmwareTag& tag) {
  std::string label(info.versionLabel);
  for (std::size_t i = info.versionAt; i < info.versionAt + 3 && tag[i] != 0; ++i) {
    label.push_back(static_cast<char>(tag[i]));
  }
  return label;
}

}  // namespace

std::string_view FirmwareMagic(RecordType family) {
  return Info(family).magic;
}

std::string_view FirmwareFailureLabel(RecordType family) {
  return Info(family).failureLabel;
}

std::uint8_t FirmwareBlockCount(std::uint64_t length) {
  return static_cast<std::uint8_t>(length / 1024 + 3);
}

FirmwareCheck CheckFirmwareContainer(RecordType family, std::span<const std::uint8_t> file) {
  const FamilyInfo& info = Info(family);
  if (file.size() < kMinContainerSize) {
    return {FirmwareStatus::TooShort, std::string(info.failureLabel)};
  }
  FirmwareTag tag{};
  for (std::size_t i = 0; i < kFirmwareTagSize; ++i) {
    tag[i] = static_cast<std::uint8_t>(file[kFirmwareTagOffset + i] - kTagShift);
  }
  const bool magicMatches =
      std::equal(info.magic.begin(), info.magic.end(), tag.begin(),
                 [](char m, std::uint8_t t) { return static_cast<std::uint8_t>(m) == t; });

  // The bare image is the file without the tag and digest: hash its three pieces.
  io::Md5Context ctx;
  io::Md5Init(ctx);
  io::Md5Update(ctx, file.subspan(0, kFirmwareTagOffset));
  io::Md5Update(ctx, file.subspan(kFirmwareTagOffset + kFirmwareTagSize,
                                  kFirmwareDigestOffset - kFirmwareTagOffset - kFirmwareTagSize));
  io::Md5Update(ctx, file.subspan(kFirmwareDigestOffset + kFirmwareDigestSize));
  const io::Md5Digest digest = io::Md5Final(ctx);
  const bool digestMatches =
      std::equal(digest.begin(), digest.end(), file.begin() + kFirmwareDigestOffset);

  if (!magicMatches) return {FirmwareStatus::WrongTag, std::string(info.failureLabel)};
  return {digestMatches ? FirmwareStatus::Valid : FirmwareStatus::WrongDigest,
          VersionLabel(info, tag)};
}

FirmwareCheck VerifyFirmwareFile(RecordType family, const std::filesystem::path& path,
                                 FirmwareImage& image) {
  const std::string failure(FirmwareFailureLabel(family));
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxFirmwareFileSize) return {FirmwareStatus::TooLarge, failure};
  auto content = io::ReadWholeFile(path, kMaxFirmwareFileSize);
  if (!content) return {FirmwareStatus::Unreadable, failure};
  image.length = content->size();
  image.blockCount = FirmwareBlockCount(image.length);
  image.content = std::move(*content);
  return CheckFirmwareContainer(family, image.content);
}

std::optional<FirmwareTag> MakeFirmwareTag(RecordType family, std::string_view text) {
  const std::string_view magic = FirmwareMagic(family);
  if (magic.size() + text.size() > kFirmwareTagSize) return std::nullopt;
  FirmwareTag tag{};
  std::copy(magic.begin(), magic.end(), tag.begin());
  std::copy(text.begin(), text.end(), tag.begin() + static_cast<std::ptrdiff_t>(magic.size()));
  return tag;
}

std::optional<std::vector<std::uint8_t>> PackFirmwareImage(std::span<const std::uint8_t> bare,
                                                           const FirmwareTag& tag) {
  if (bare.size() < kMinBareImageSize) return std::nullopt;
  const io::Md5Digest digest = io::Md5(bare);
  std::vector<std::uint8_t> file;
  file.reserve(bare.size() + kFirmwareOverhead);
  file.insert(file.end(), bare.begin(), bare.begin() + kFirmwareTagOffset);
  for (std::uint8_t b : tag) file.push_back(static_cast<std::uint8_t>(b + kTagShift));
  // After the tag, bare byte i sits at file offset i + 9, so the digest goes in front of
  // bare byte 191.
  const std::size_t digestBefore = kFirmwareDigestOffset - kFirmwareTagSize;
  file.insert(file.end(), bare.begin() + kFirmwareTagOffset,
              bare.begin() + static_cast<std::ptrdiff_t>(digestBefore));
  file.insert(file.end(), digest.begin(), digest.end());
  file.insert(file.end(), bare.begin() + static_cast<std::ptrdiff_t>(digestBefore), bare.end());
  return file;
}

std::filesystem::path PackedFirmwarePath(const std::filesystem::path& chosen) {
  std::string name = chosen.filename().string();
  const std::size_t bin = name.find(".bin");
  if (bin != std::string::npos) name.erase(bin);
  name += "_chg.bin";
  return chosen.parent_path() / name;
}

bool PackFirmwareFile(const std::filesystem::path& barePath, std::string_view versionText,
                      const std::filesystem::path& outPath) {
  const auto bare = io::ReadWholeFile(barePath, kMaxFirmwareFileSize);
  if (!bare) return false;
  // The page's tool formats "DOCK%s" and keeps the first 9 bytes; a longer text is cut.
  const std::string_view magic = FirmwareMagic(RecordType::Docking);
  const auto tag =
      MakeFirmwareTag(RecordType::Docking, versionText.substr(0, kFirmwareTagSize - magic.size()));
  const auto file = PackFirmwareImage(*bare, *tag);
  if (!file) return false;
  return io::WriteFileAtomically(outPath, *file);
}

}  // namespace ql::records
