#pragma once
// Finds the serial ports a docking station can be on. On Linux: USB-serial ttys whose
// driver is cp210x (read from sysfs), plus virtual bridges that a running station emulator
// has registered in the per-user runtime folder. On Windows: the COM ports of the Ports
// device class whose friendly name names a CP210x bridge (SetupAPI); there are no virtual
// bridges there, and the roots are not used.
//
// Virtual bridge record (written by the emulator, read here): one file per emulator,
// named "<pid>.bridge", in BridgeFolder(), holding "key=value" lines:
//   name=<port name shown to the technician, e.g. station7>
//   path=<device path to open, e.g. /dev/pts/7>
//   pid=<process id of the emulator>
// A record whose process is gone (or is not one this user may signal) or whose device
// path is not a character device is ignored, so an emulator that was killed leaves
// nothing visible behind.
//
// The folder decides which devices the tool offers to open, and without XDG_RUNTIME_DIR
// it has a name in /tmp that another local user can predict and make first. It is used
// only when the folder and its parent are folders (not symbolic links) owned by this
// user and writable by nobody else; the emulator creates both with mode 0700.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/status.h"

namespace ql::link {

struct PortEntry {
  std::string name;        // e.g. "ttyUSB3"
  std::string devicePath;  // e.g. "/dev/ttyUSB3"
};

struct DiscoveryRoots {
  std::filesystem::path sysClassTty = "/sys/class/tty";
  std::filesystem::path dev = "/dev";
  std::filesystem::path bridges;  // empty: BridgeFolder()
};

// $XDG_RUNTIME_DIR/quaylink/bridges, or /tmp/quaylink-<uid>/bridges without it.
std::filesystem::path BridgeFolder();

// Ok when `folder` and its parent may be trusted as described above; BadArgument with
// the reason when they are there but not to be trusted; Io when they cannot be examined
// (also when they do not exist).
Status CheckBridgeFolder(const std::filesystem::path& folder);
// Creates `folder` and its parent where missing, each with mode 0700 (levels above them
// as std::filesystem does), then checks them with CheckBridgeFolder.
Status MakeBridgeFolder(const std::filesystem::path& folder);

inline constexpr std::size_t kMaxPorts = 50;

// Appends the ports found to `out`, at most kMaxPorts in all. Returns 0 when the scan
// ended normally, -1 when a folder could not be read or the bridge folder is not trusted
// (nothing is listed from it; what was found elsewhere stays).
int DiscoverPorts(const DiscoveryRoots& roots, std::vector<PortEntry>& out);

// A port of the Ports device class by its friendly name ("Silicon Labs CP210x USB to UART
// Bridge (COM5)"): the "COM%d" port of a CP210x bridge, name and path alike, or nothing
// for another device or a name without a port number.
std::optional<PortEntry> BridgePortFromFriendlyName(std::string_view friendlyName);
// Appends the bridges among `friendlyNames` to `out`, at most kMaxPorts in all.
void PortsFromFriendlyNames(std::span<const std::string> friendlyNames,
                            std::vector<PortEntry>& out);
// Ascending by the number at the end of the name ("COM2" before "COM10"), then by name.
void SortPorts(std::vector<PortEntry>& ports);

// The port list behind the port selector: refreshed on demand, sorted by port number.
class PortList {
 public:
  // Rescans, sorts ascending by the number at the end of the name and selects the first.
  void Refresh(const DiscoveryRoots& roots);
  const std::vector<PortEntry>& Entries() const { return entries_; }
  // Selecting an index outside the list clears the selection.
  void Select(std::size_t index);
  std::optional<std::size_t> Selected() const { return selected_; }
  // The device to open, or nothing when no port is selected (then nothing is opened).
  std::optional<std::string> SelectedDevicePath() const;

 private:
  std::vector<PortEntry> entries_;
  std::optional<std::size_t> selected_;
};

}  // namespace ql::link
