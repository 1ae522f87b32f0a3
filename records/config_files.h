#pragma once
// The records' configuration files on a USB drive, and the USB disk halves of the record
// pages' Read and Write buttons.
//
// The drive root is a parameter (the root of a mounted file system). Files are read with
// their record's fixed length and written whole through a temporary file that is renamed
// into place, so a failed write never leaves a truncated file under the real name.
// Messages go to the caller's sink. Single-threaded; callers own every object passed in.

#include <filesystem>
#include <string_view>

#include "records/docking_info.h"
#include "records/message_sink.h"
#include "records/multi_gas.h"
#include "records/single_gas.h"

namespace ql::records {

// Messages to the technician.
inline constexpr std::string_view kDockingCfgOpenError = "File open error (Docking.cfg)";
inline constexpr std::string_view kDockingReadSuccess = "USB File Read Success (Docking Info)";
inline constexpr std::string_view kDockingReadFail = "USB File Read Fail (Docking Info)";
inline constexpr std::string_view kDockingWriteSuccess = "USB File write Success (Docking Info)";
inline constexpr std::string_view kDockingWriteFail = "USB File write Fail (Docking Info)";
inline constexpr std::string_view kSingleGasCfgOpenError = "File open error (TKL.cfg)";
inline constexpr std::string_view kSingleGasReadSuccess = "USB File Read Success (TKL Info)";
inline constexpr std::string_view kSingleGasReadFail = "USB File Read Fail (TKL Info)";
inline constexpr std::string_view kSingleGasWriteSuccess = "USB File write Success (TKL Info)";
inline constexpr std::string_view kSingleGasWriteFail = "USB File write Fail (TKL Info)";
inline constexpr std::string_view kMultiGasCfgOpenError = "File open error (RVX.cfg)";
inline constexpr std::string_view kMultiGasReadSuccess = "USB File Read Success (RVX Info)";
inline constexpr std::string_view kMultiGasReadFail = "USB File Read Fail (RVX Info)";
inline constexpr std::string_view kMultiGasWriteSuccess = "USB File write Success (RVX Info)";
inline constexpr std::string_view kMultiGasWriteFail = "USB File write Fail (RVX Info)";

// --- Load and save ------------------------------------------------------------------
// Load: reads up to the record's length from the file into `record`; a shorter file
// leaves the rest of `record` as it was. Neither the file length nor the record's length
// field is checked. A missing or unreadable file shows the open error and returns false.
// The detector loads fall back to the older file name (YBR.cfg, HWR.cfg) and, when that
// one is read, copy it to the current name (the copy's own failure is not reported).
// Save: encodes the page into `record` and writes the whole record; false, without a
// message, when the file cannot be written.

bool LoadDockingCfg(const std::filesystem::path& usbRoot, DockingInfoRecord& record,
                    IMessageSink& sink);
// DockingInfoFromPage fills all 64 bytes; the folder must exist (WriteDockingToDrive
// creates it).
bool SaveDockingCfg(const std::filesystem::path& usbRoot, const DockingPageValues& page,
                    DockingInfoRecord& record);

bool LoadSingleGasCfg(const std::filesystem::path& usbRoot, SingleGasOptionRecord& record,
                      IMessageSink& sink);
// Zero-fills `record` before encoding, so unchecked rows go out as zeros; creates the
// folder.
bool SaveSingleGasCfg(const std::filesystem::path& usbRoot, const SingleGasPageValues& page,
                      SingleGasOptionRecord& record);

bool LoadMultiGasCfg(const std::filesystem::path& usbRoot, MultiGasOptionRecord& record,
                     IMessageSink& sink);
// Creates the folder.
bool SaveMultiGasCfg(const std::filesystem::path& usbRoot, const MultiGasPageValues& page,
                     MultiGasOptionRecord& record);

// --- USB disk halves of the pages' Read and Write buttons -------------------------------
// Read: zeroes `record`, loads the file, on success sets `page` from it; then shows the
// read success or fail message. Write: creates the file's folder, saves, and shows the
// write success or fail message. Both return whether the file operation succeeded.

bool ReadDockingFromDrive(const std::filesystem::path& usbRoot, DockingInfoRecord& record,
                          DockingPageValues& page, IMessageSink& sink);
bool WriteDockingToDrive(const std::filesystem::path& usbRoot, const DockingPageValues& page,
                         DockingInfoRecord& record, IMessageSink& sink);
bool ReadSingleGasFromDrive(const std::filesystem::path& usbRoot, SingleGasOptionRecord& record,
                            SingleGasPageValues& page, IMessageSink& sink);
bool WriteSingleGasToDrive(const std::filesystem::path& usbRoot, const SingleGasPageValues& page,
                           SingleGasOptionRecord& record, IMessageSink& sink);
bool ReadMultiGasFromDrive(const std::filesystem::path& usbRoot, MultiGasOptionRecord& record,
                           MultiGasPageValues& page, IMessageSink& sink);
bool WriteMultiGasToDrive(const std::filesystem::path& usbRoot, const MultiGasPageValues& page,
                          MultiGasOptionRecord& record, IMessageSink& sink);

}  // namespace ql::records
