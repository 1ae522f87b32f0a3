#pragma once
// The file-name rules of the three pages' firmware blocks: which names Browse and Write
// accept, the name a file gets in the drive's firmware folder, and the messages.
// The container check itself (tag and digest) is records/firmware.h.
// Pure and thread-safe.

#include <string>
#include <string_view>

#include "rules/record_type.h"

namespace ql::rules {

inline constexpr std::string_view kMsgNotCorrectFirmware = "This is not the correct Firmware File.";
inline constexpr std::string_view kMsgFirmwareEmpty = "Firmware File Empty";
inline constexpr std::string_view kMsgFileDoesNotExist = "File does not exist.";
inline constexpr std::string_view kMsgNotCorrectBinFile = "This is not the correct bin file.";
inline constexpr std::string_view kMsgFileNotFind = "File not find";  // multi-gas USB copy

// "File Name Mismatch \n(File Name : ...)" naming the page's expected files.
std::string_view FirmwareNameMismatchMessage(RecordType page);
// "USB File Write Success (Docking F/W)" and its TKL and RVX forms.
std::string_view FirmwareUsbWriteSuccessMessage(RecordType page);
// "USB File Write Fail (Docking F/W)" and its TKL and RVX forms.
std::string_view FirmwareUsbWriteFailMessage(RecordType page);

// The file name part of a path: the text after its last "/" or "\", or the whole text.
std::string_view FileNamePart(std::string_view path);

// True when the text ends in "bin" (the multi-gas page's extra check).
bool EndsInBin(std::string_view path);

// Browse: the chosen file's name (case matters).
//   docking:    DK_FW.bin, DK_FW_HALVORN.bin, DK_FW_TORVELINE.bin
//   single-gas: YBR_CO.bin, YBR_H2S.bin, YBR_O2.bin, TKL_CO.bin, TKL_H2S.bin, TKL_O2.bin
//   multi-gas:  HWR_FW.bin, RVX_FW.bin
bool IsBrowseFirmwareName(RecordType page, std::string_view fileName);

// Write: the file name part of the path field, or (docking and single-gas) the name
// remembered by the last Browse.
//   docking:    DK_FW.bin or DK_FW_HALVORN.bin; or browsed DK_FW_TORVELINE.bin
//   single-gas: YBR_H2S.bin, YBR_CO.bin or YBR_O2.bin; or browsed TKL_CO.bin, TKL_H2S.bin
//               or TKL_O2.bin
//   multi-gas:  HWR_FW.bin, HWR_FW_HALVORN.bin, Plurovant_FW.bin, KT720_FW.bin, RVX_FW.bin
bool IsWriteFirmwareName(RecordType page, std::string_view pathText, std::string_view browsedName);

// The name under which the page's firmware Write copies a file into the drive's firmware
// folder: the docking name as it is, every "YBR" made "TKL", every "HWR" made "RVX".
std::string UsbFirmwareName(RecordType page, std::string_view fileName);

}  // namespace ql::rules
