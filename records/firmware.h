#pragma once
// The firmware file container: a bare firmware image with a 9-byte family tag inserted
// at offset 100 and the MD5 digest of the bare image inserted at offset 200. The file is
// sent or copied as it is; the tool only checks it (and can build one).
//
//   file offset  length   content
//   0            100      bare[0..99]
//   100          9        tag, every byte stored as (byte + 127) mod 256
//   109          91       bare[100..190]
//   200          16       MD5 of the whole bare image
//   216          n - 191  bare[191..n-1]
//
// Pure except where a path is taken. Single-threaded per FirmwareImage.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rules/record_type.h"

namespace ql::records {

inline constexpr std::size_t kFirmwareTagOffset = 100;
inline constexpr std::size_t kFirmwareTagSize = 9;
inline constexpr std::size_t kFirmwareDigestOffset = 200;
inline constexpr std::size_t kFirmwareDigestSize = 16;
inline constexpr std::size_t kFirmwareOverhead = kFirmwareTagSize + kFirmwareDigestSize;
// The tag and digest sit inside the image, so it must reach past the digest's place.
inline constexpr std::size_t kMinBareImageSize = 191;
inline constexpr std::size_t kMinContainerSize = kMinBareImageSize + kFirmwareOverhead;  // 216
// Far above any station or detector image; keeps a wrongly chosen huge file out of memory.
inline constexpr std::uintmax_t kMaxFirmwareFileSize = std::uintmax_t{64} << 20;

using FirmwareTag = std::array<std::uint8_t, kFirmwareTagSize>;  // decoded (plain) bytes

// The firmware file last checked, shared by the pages and the upload.
struct FirmwareImage {
  std::vector<std::uint8_t> content;  // the whole file, tag and digest included
  std::uint64_t length = 0;           // bytes
  std::uint8_t blockCount = 0;        // length / 1024 + 3, modulo 256: top of the progress range
  std::string fileName;               // set by the pages' Browse, not by the check
};

enum class FirmwareStatus {
  Valid,
  WrongTag,     // the family's magic does not match (the digest may or may not)
  WrongDigest,  // magic matches, digest does not: the label still shows the version
  TooShort,     // fewer than 216 bytes: cannot hold a container
  TooLarge,     // over kMaxFirmwareFileSize: not read at all
  Unreadable,   // missing, not a regular file, or unreadable
};

struct FirmwareCheck {
  FirmwareStatus status = FirmwareStatus::Unreadable;
  // The page's firmware label: the family's version label when the magic matches, its
  // failure label otherwise.
  std::string label;
  bool ok() const { return status == FirmwareStatus::Valid; }
};

// "DOCK", "YBR" or "HWR".
std::string_view FirmwareMagic(RecordType family);
// "This is not the correct Firmware File", with a full stop for the multi-gas family.
std::string_view FirmwareFailureLabel(RecordType family);
// (length / 1024 + 3) modulo 256.
std::uint8_t FirmwareBlockCount(std::uint64_t length);

// Checks a container held in memory: tag magic of `family` and MD5 of the bare image.
// Never reads outside `file`.
FirmwareCheck CheckFirmwareContainer(RecordType family, std::span<const std::uint8_t> file);

// Reads the file at `path` and checks it. Replaces `image` content, length and block
// count with the file's whenever the file was read, also when it is refused; a file that
// is unreadable or too large to be firmware leaves `image` as it was. The file name is
// left to the caller.
FirmwareCheck VerifyFirmwareFile(RecordType family, const std::filesystem::path& path,
                                 FirmwareImage& image);

// The tag for `family`: its magic followed by `text`, zero-padded to 9 bytes; nullopt
// when they do not fit in 9 bytes.
std::optional<FirmwareTag> MakeFirmwareTag(RecordType family, std::string_view text);

// Builds the container of a bare image with the given (plain) tag; nullopt when the
// image is shorter than 191 bytes.
std::optional<std::vector<std::uint8_t>> PackFirmwareImage(std::span<const std::uint8_t> bare,
                                                           const FirmwareTag& tag);

// The output name of the docking station page's packing tool: the chosen file's name up
// to its first ".bin" followed by "_chg.bin", in the same folder (dock.bin gives
// dock_chg.bin; a name without ".bin" gets "_chg.bin" appended).
std::filesystem::path PackedFirmwarePath(const std::filesystem::path& chosen);

// The packing tool: reads the bare image at `barePath`, tags it "DOCK" followed by
// `versionText` (cut to the tag's 9 bytes) and writes the container to `outPath` through
// a temporary file. False when the image cannot be read, is shorter than 191 bytes or
// the output cannot be written.
bool PackFirmwareFile(const std::filesystem::path& barePath, std::string_view versionText,
                      const std::filesystem::path& outPath);

}  // namespace ql::records
