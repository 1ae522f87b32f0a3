#include "records/config_files.h"

#include "io/drive_layout.h"
#include "io/file_io.h"

namespace ql::records {
namespace {

namespace fs = std::filesystem;
using io::DrivePath;

// An older configuration file may be of any length; it is copied whole, within reason.
constexpr std::uintmax_t kMaxCopiedCfgSize = std::uintmax_t{1} << 20;

// Reads the current file, or else the older one, which is then copied to the current name.
bool LoadWithFallback(const fs::path& usbRoot, std::string_view currentPath,
                      std::string_view oldPath, std::span<std::uint8_t> buffer) {
  const fs::path current = DrivePath(usbRoot, currentPath);
  if (io::ReadFilePrefix(current, buffer)) return true;
  const fs::path old = DrivePath(usbRoot, oldPath);
  if (!io::ReadFilePrefix(old, buffer)) return false;
  io::EnsureDirectories(usbRoot, currentPath);
  io::CopyFileAtomically(old, current, kMaxCopiedCfgSize);
  return true;
}

}  // namespace

bool LoadDockingCfg(const fs::path& usbRoot, DockingInfoRecord& record, IMessageSink& sink) {
  if (!io::ReadFilePrefix(DrivePath(usbRoot, io::kDockingCfgPath), record.bytes)) {
    sink.ShowMessage(kDockingCfgOpenError);
    return false;
  }
  return true;
}

bool SaveDockingCfg(const fs::path& usbRoot, const DockingPageValues& page,
                    DockingInfoRecord& record) {
  DockingInfoFromPage(page, record);
  return io::WriteFileAtomically(DrivePath(usbRoot, io::kDockingCfgPath), record.bytes);
}

bool LoadSingleGasCfg(const fs::path& usbRoot, SingleGasOptionRecord& record, IMessageSink& sink) {
  if (!LoadWithFallback(usbRoot, io::kSingleGasCfgPath, io::kSingleGasOldCfgPath, record.bytes)) {
    sink.ShowMessage(kSingleGasCfgOpenError);
    return false;
  }
  return true;
}

bool SaveSingleGasCfg(const fs::path& usbRoot, const SingleGasPageValues& page,
                      SingleGasOptionRecord& record) {
  record = SingleGasOptionRecord{};
  SingleGasOptionsFromPage(page, record);
  io::EnsureDirectories(usbRoot, io::kSingleGasCfgPath);
  return io::WriteFileAtomically(DrivePath(usbRoot, io::kSingleGasCfgPath), record.bytes);
}

bool LoadMultiGasCfg(const fs::path& usbRoot, MultiGasOptionRecord& record, IMessageSink& sink) {
  if (!LoadWithFallback(usbRoot, io::kMultiGasCfgPath, io::kMultiGasOldCfgPath, record.bytes)) {
    sink.ShowMessage(kMultiGasCfgOpenError);
    return false;
  }
  return true;
}

bool SaveMultiGasCfg(const fs::path& usbRoot, const MultiGasPageValues& page,
                     MultiGasOptionRecord& record) {
  MultiGasOptionsFromPage(page, record);
  io::EnsureDirectories(usbRoot, io::kMultiGasCfgPath);
  return io::WriteFileAtomically(DrivePath(usbRoot, io::kMultiGasCfgPath), record.bytes);
}

bool ReadDockingFromDrive(const fs::path& usbRoot, DockingInfoRecord& record,
                          DockingPageValues& page, IMessageSink& sink) {
  record = DockingInfoRecord{};
  const bool ok = LoadDockingCfg(usbRoot, record, sink);
  if (ok) DockingInfoToPage(record, page);
  sink.ShowMessage(ok ? kDockingReadSuccess : kDockingReadFail);
  return ok;
}

bool WriteDockingToDrive(const fs::path& usbRoot, const DockingPageValues& page,
                         DockingInfoRecord& record, IMessageSink& sink) {
  io::EnsureDirectories(usbRoot, io::kDockingCfgFolder);
  const bool ok = SaveDockingCfg(usbRoot, page, record);
  sink.ShowMessage(ok ? kDockingWriteSuccess : kDockingWriteFail);
  return ok;
}

bool ReadSingleGasFromDrive(const fs::path& usbRoot, SingleGasOptionRecord& record,
                            SingleGasPageValues& page, IMessageSink& sink) {
  record = SingleGasOptionRecord{};
  const bool ok = LoadSingleGasCfg(usbRoot, record, sink);
  if (ok) SingleGasOptionsToPage(record, page);
  sink.ShowMessage(ok ? kSingleGasReadSuccess : kSingleGasReadFail);
  return ok;
}

bool WriteSingleGasToDrive(const fs::path& usbRoot, const SingleGasPageValues& page,
                           SingleGasOptionRecord& record, IMessageSink& sink) {
  io::EnsureDirectories(usbRoot, io::kSingleGasCfgFolder);
  const bool ok = SaveSingleGasCfg(usbRoot, page, record);
  sink.ShowMessage(ok ? kSingleGasWriteSuccess : kSingleGasWriteFail);
  return ok;
}

bool ReadMultiGasFromDrive(const fs::path& usbRoot, MultiGasOptionRecord& record,
                           MultiGasPageValues& page, IMessageSink& sink) {
  record = MultiGasOptionRecord{};
  const bool ok = LoadMultiGasCfg(usbRoot, record, sink);
  if (ok) MultiGasOptionsToPage(record, page);
  sink.ShowMessage(ok ? kMultiGasReadSuccess : kMultiGasReadFail);
  return ok;
}

bool WriteMultiGasToDrive(const fs::path& usbRoot, const MultiGasPageValues& page,
                          MultiGasOptionRecord& record, IMessageSink& sink) {
  io::EnsureDirectories(usbRoot, io::kMultiGasCfgFolder);
  const bool ok = SaveMultiGasCfg(usbRoot, page, record);
  sink.ShowMessage(ok ? kMultiGasWriteSuccess : kMultiGasWriteFail);
  return ok;
}

}  // namespace ql::records
