#include "usbdisk/usb_drive.h"

#include "io/mount_point.h"

namespace ql::usbdisk {

bool SystemMountCheck::IsMountRoot(const std::filesystem::path& folder) const {
  return io::IsMountRoot(folder);
}

std::optional<std::filesystem::path> ChooseUsbDrive(const FolderChooser& chooseFolder,
                                                    const IMountCheck& mounts,
                                                    const MessagePath& showMessage) {
  const auto chosen = chooseFolder();
  if (!chosen) return std::nullopt;
  if (!mounts.IsMountRoot(*chosen)) {
    showMessage(kNotADrive);
    return std::nullopt;
  }
  return chosen;
}

}  // namespace ql::usbdisk
