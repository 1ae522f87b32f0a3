#pragma once
// The choice of the USB drive: a folder chooser whose answer must be the root of a
// mounted file system. The chooser, the mount check and the message path are passed in,
// so tests stand a temporary folder in for a drive.

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace ql::usbdisk {

inline constexpr const char* kChooseDriveTitle = "Select USB Disk to Save";
inline constexpr const char* kNotADrive = "Please select only usb driver";

class IMountCheck {
 public:
  virtual ~IMountCheck() = default;
  virtual bool IsMountRoot(const std::filesystem::path& folder) const = 0;
};

// The system's own answer (io::IsMountRoot).
class SystemMountCheck final : public IMountCheck {
 public:
  bool IsMountRoot(const std::filesystem::path& folder) const override;
};

using FolderChooser = std::function<std::optional<std::filesystem::path>()>;
using MessagePath = std::function<void(std::string_view)>;

// `ChooseUsbDrive`: `chooseFolder` shows the folder chooser titled "Select USB Disk to
// Save". Cancelled: nothing, no message. A folder that is not a mount root: "Please select
// only usb driver" and nothing. Otherwise the chosen root.
std::optional<std::filesystem::path> ChooseUsbDrive(const FolderChooser& chooseFolder,
                                                    const IMountCheck& mounts,
                                                    const MessagePath& showMessage);

}  // namespace ql::usbdisk
