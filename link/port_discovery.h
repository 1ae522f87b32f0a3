#pragma once
// Finds the serial ports a docking station can be on: USB-serial ttys whose driver is
// cp210x (read from sysfs), plus virtual bridges that a running station emulator has
// registered in the per-user runtime folder.
//
// Virtual bridge record: one file per emulator, named "<pid>.bridge", in
// BridgeFolder(), holding "key=value" lines:
//   name=<port name shown to the technician, e.g. station7>
//   path=<device path to open, e.g. /dev/pts/7>
//   pid=<process id of the emulator>
// A record whose process is gone or whose device path does not exist is ignored, so an
// emulator that was killed leaves nothing visible behind.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

inline constexpr std::size_t kMaxPorts = 50;

// Appends the ports found to `out`, at most kMaxPorts in all. Returns 0 when the scan
// ended normally, -1 when a folder could not be read (what was found stays).
int DiscoverPorts(const DiscoveryRoots& roots, std::vector<PortEntry>& out);

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

// Registers a virtual bridge for as long as the object lives.
class BridgeRegistration {
 public:
  BridgeRegistration() = default;
  // Writes the record; ok() tells whether it was written.
  BridgeRegistration(const std::filesystem::path& folder, const std::string& name,
                     const std::string& devicePath);
  ~BridgeRegistration();
  BridgeRegistration(BridgeRegistration&& other) noexcept;
  BridgeRegistration& operator=(BridgeRegistration&& other) noexcept;
  BridgeRegistration(const BridgeRegistration&) = delete;
  BridgeRegistration& operator=(const BridgeRegistration&) = delete;

  bool ok() const { return !file_.empty(); }
  const std::filesystem::path& File() const { return file_; }
  void Remove();

 private:
  std::filesystem::path file_;
};

}  // namespace ql::link
