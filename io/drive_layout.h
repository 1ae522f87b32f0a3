#pragma once
// The fixed folder layout on a USB drive that carries configuration and firmware files
// between the tool and the docking station, and the directory creation every writer uses.
//
// The drive root is always a parameter: the root of a mounted file system
// (e.g. /media/usb0). Relative paths use forward slashes, as the station expects them.

#include <filesystem>
#include <string_view>

namespace ql::io {

// Configuration files, one record each.
inline constexpr std::string_view kDockingCfgPath = "Config/Docking/Docking.cfg";
inline constexpr std::string_view kSingleGasCfgPath = "Config/TKL/TKL.cfg";
inline constexpr std::string_view kSingleGasOldCfgPath = "Config/YBR/YBR.cfg";  // read only
inline constexpr std::string_view kMultiGasCfgPath = "Config/RVX/RVX.cfg";
inline constexpr std::string_view kMultiGasOldCfgPath = "Config/HWR/HWR.cfg";  // read only

// Their folders, as the writers pass them to EnsureDirectories.
inline constexpr std::string_view kDockingCfgFolder = "Config/Docking/";
inline constexpr std::string_view kSingleGasCfgFolder = "Config/TKL/";
inline constexpr std::string_view kMultiGasCfgFolder = "Config/RVX/";

// Firmware folders; files keep their own names (detector files get their family's
// current prefix, see the pages).
inline constexpr std::string_view kDockingFirmwareFolder = "Firmware/Docking/";
inline constexpr std::string_view kSingleGasFirmwareFolder = "Firmware/TKL/";
inline constexpr std::string_view kMultiGasFirmwareFolder = "Firmware/RVX/";

// The drive root followed by a relative layout path.
std::filesystem::path DrivePath(const std::filesystem::path& usbRoot, std::string_view relative);

// Creates the missing directory levels of `relative` below `usbRoot`. Backslashes count
// as separators. The walk stops at the first component that contains a "." (a file
// name) or at the end, so both "Config/RVX/" and "Config/RVX/RVX.cfg" create Config and
// Config/RVX. The root itself is never created, and its own name is not inspected (a
// mount point may contain dots). A level that exists or cannot be created is passed
// over silently: the file operation that follows fails and reports it.
void EnsureDirectories(const std::filesystem::path& usbRoot, std::string_view relative);

}  // namespace ql::io
