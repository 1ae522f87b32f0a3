#include "app/main_actions.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/messages.h"
#include "io/drive_layout.h"
#include "io/file_io.h"
#include "pages/docking_tab.h"
#include "pages/multi_gas_tab.h"
#include "pages/single_gas_tab.h"
#include "records/config_files.h"
#include "records/firmware.h"
#include "rules/firmware_names.h"

namespace ql::app {

namespace {

class HostSink final : public records::IMessageSink {
 public:
  explicit HostSink(pages::IPageHost& host) : m_host(host) {}
  void ShowMessage(std::string_view text) override { m_host.ShowMessage(text); }

 private:
  pages::IPageHost& m_host;
};

// The record of the selected tab, or nothing for any other tab.
std::optional<RecordType> SelectedRecord(const MainActionContext& context) {
  if (context.selectedTab == 0) return RecordType::Docking;
  if (context.selectedTab == 1) {
    return context.deviceType == protocol::DeviceType::MultiGas ? RecordType::MultiGas
                                                                : RecordType::SingleGas;
  }
  return std::nullopt;
}

pages::RecordPage& PageOf(const RecordPages& pages, RecordType type) {
  switch (type) {
    case RecordType::Docking:
      return *pages.docking;
    case RecordType::SingleGas:
      return *pages.singleGas;
    case RecordType::MultiGas:
      return *pages.multiGas;
  }
  return *pages.docking;
}

// The common start of both actions: the record to act on, or nothing when the action
// ends here.
std::optional<RecordType> Start(pages::IPageHost& host, const MainActionContext& context,
                                std::string_view portMessage) {
  host.SetProgressRange(0, 100);
  host.SetProgressPosition(0);
  if (context.linkMode && !context.portOpen) {
    host.ShowMessage(portMessage);
    return std::nullopt;
  }
  return SelectedRecord(context);
}

// WRITE takes fewer docking station names than the page's own Browse.
bool IsMainWriteName(RecordType type, std::string_view name) {
  if (type == RecordType::Docking) return name == "DK_FW.bin";
  return rules::IsBrowseFirmwareName(type, name);
}

// The firmware checks of WRITE, in their order; the first failing one is shown.
bool CheckFirmware(pages::IPageHost& host, RecordType type, const std::string& pathText) {
  if (!IsMainWriteName(type, rules::FileNamePart(pathText))) {
    host.ShowMessage(rules::FirmwareNameMismatchMessage(type));
    return false;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(std::filesystem::path(pathText), ec)) {
    host.ShowMessage(rules::kMsgFileDoesNotExist);
    return false;
  }
  if (!rules::EndsInBin(pathText)) {
    host.ShowMessage(rules::kMsgNotCorrectBinFile);
    return false;
  }
  records::FirmwareImage image;
  if (!records::VerifyFirmwareFile(type, pathText, image).ok()) {
    host.ShowMessage(rules::kMsgNotCorrectFirmware);
    return false;
  }
  return true;
}

struct DriveFolders {
  std::string_view config;
  std::string_view firmware;
};

DriveFolders FoldersOf(RecordType type) {
  switch (type) {
    case RecordType::Docking:
      return {io::kDockingCfgFolder, io::kDockingFirmwareFolder};
    case RecordType::SingleGas:
      return {io::kSingleGasCfgFolder, io::kSingleGasFirmwareFolder};
    case RecordType::MultiGas:
      return {io::kMultiGasCfgFolder, io::kMultiGasFirmwareFolder};
  }
  return {io::kDockingCfgFolder, io::kDockingFirmwareFolder};
}

// Saves the page into its configuration file; false when the file could not be written.
bool SaveConfig(const std::filesystem::path& root, RecordType type, const RecordPages& pages) {
  switch (type) {
    case RecordType::Docking: {
      records::DockingInfoRecord record;
      const bool saved = records::SaveDockingCfg(root, pages.docking->Values(), record);
      if (saved) pages.docking->SetStoredRecord(record.bytes);
      return saved;
    }
    case RecordType::SingleGas: {
      records::SingleGasOptionRecord record;
      const bool saved = records::SaveSingleGasCfg(root, pages.singleGas->Values(), record);
      if (saved) pages.singleGas->SetStoredRecord(record.bytes);
      return saved;
    }
    case RecordType::MultiGas: {
      records::MultiGasOptionRecord record;
      const bool saved = records::SaveMultiGasCfg(root, pages.multiGas->Values(), record);
      if (saved) pages.multiGas->SetStoredRecord(record.bytes);
      return saved;
    }
  }
  return false;
}

std::string_view WriteFailMessage(RecordType type) {
  switch (type) {
    case RecordType::Docking:
      return records::kDockingWriteFail;
    case RecordType::SingleGas:
      return records::kSingleGasWriteFail;
    case RecordType::MultiGas:
      return records::kMultiGasWriteFail;
  }
  return records::kDockingWriteFail;
}

}  // namespace

void MainReadAction(pages::IPageHost& host, const MainActionContext& context,
                    const RecordPages& pages, const std::function<void(RecordType)>& linkAction) {
  const auto type = Start(host, context, engine::msg::kPortNotOpen);
  if (!type) return;
  if (context.linkMode) {
    linkAction(*type);
    return;
  }
  HostSink sink(host);
  const std::filesystem::path root = host.UsbRoot();
  bool ok = false;
  switch (*type) {
    case RecordType::Docking: {
      records::DockingInfoRecord record;
      ok = records::LoadDockingCfg(root, record, sink);
      if (ok) pages.docking->RecordToPage(record.bytes);
      break;
    }
    case RecordType::SingleGas: {
      records::SingleGasOptionRecord record;
      ok = records::LoadSingleGasCfg(root, record, sink);
      if (ok) pages.singleGas->RecordToPage(record.bytes);
      break;
    }
    case RecordType::MultiGas: {
      records::MultiGasOptionRecord record;
      ok = records::LoadMultiGasCfg(root, record, sink);
      if (ok) pages.multiGas->RecordToPage(record.bytes);
      break;
    }
  }
  host.SetProgressPosition(ok && *type == RecordType::Docking ? 100 : 0);
  host.ShowMessage(ok ? kUsbReadSuccess : kUsbReadFail);
}

void MainWriteAction(pages::IPageHost& host, const MainActionContext& context,
                     const RecordPages& pages, const std::function<void(RecordType)>& linkAction) {
  const auto type = Start(host, context, engine::msg::kPortOpenCheck);
  if (!type) return;
  pages::RecordPage& page = PageOf(pages, *type);
  const std::string pathText = page.FirmwarePath().toStdString();
  if (!pathText.empty() && !CheckFirmware(host, *type, pathText)) return;
  // A value the page would not accept is never written.
  if (const auto refusal = page.CheckPage()) {
    host.ShowMessage(*refusal);
    return;
  }
  if (context.linkMode) {
    linkAction(*type);
    return;
  }
  const std::filesystem::path root = host.UsbRoot();
  const DriveFolders folders = FoldersOf(*type);
  io::EnsureDirectories(root, folders.config);
  io::EnsureDirectories(root, folders.firmware);
  if (!SaveConfig(root, *type, pages)) {
    // Not a success: the record did not reach the drive.
    host.SetProgressPosition(0);
    host.ShowMessage(WriteFailMessage(*type));
    return;
  }
  if (!pathText.empty()) {
    const std::filesystem::path source{pathText};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(source, ec)) {
      host.ShowMessage(rules::kMsgFileNotFind);
    } else {
      const std::string_view name = rules::FileNamePart(pathText);
      const std::string target =
          *type == RecordType::SingleGas ? rules::UsbFirmwareName(*type, name) : std::string(name);
      if (!io::CopyFileAtomically(source, io::DrivePath(root, folders.firmware) / target,
                                  records::kMaxFirmwareFileSize)) {
        // The configuration file is on the drive; the firmware is not: say so.
        host.SetProgressPosition(0);
        host.ShowMessage(rules::FirmwareUsbWriteFailMessage(*type));
        return;
      }
    }
  }
  host.SetProgressPosition(0);
  host.ShowMessage(kUsbWriteSuccess);
}

}  // namespace ql::app
