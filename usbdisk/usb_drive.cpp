#include "usbdisk/usb_drive.h"

#include "io/mount_point.h"

namespace ql::usbdisk {

bool SystemMountCheck::IsMountRoot(const std::filesystem::path& folder) const {
  return io::IsMountRoot(folder);
}

std::optional<std::filesystem::path> ChooseUsbDrive(pages::IPageHost& host,
                                                    const IMountCheck& mounts, QWidget* parent) {
  const auto chosen = host.Choosers().ChooseFolder(parent, QString::fromLatin1(kChooseDriveTitle));
  if (!chosen) return std::nullopt;
  if (!mounts.IsMountRoot(*chosen)) {
    host.ShowMessage(kNotADrive);
    return std::nullopt;
  }
  return chosen;
}

}  // namespace ql::usbdisk
