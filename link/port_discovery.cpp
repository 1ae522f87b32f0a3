#include "link/port_discovery.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>
#include <system_error>

namespace ql::link {
namespace fs = std::filesystem;

namespace {

constexpr const char* kBridgeDriver = "cp210x";

// The number at the end of a port name: "ttyUSB12" gives 12; no digits give 0.
unsigned long PortNumber(const std::string& name) {
  std::size_t start = name.size();
  while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') --start;
  if (start == name.size()) return 0;
  return std::strtoul(name.c_str() + start, nullptr, 10);
}

bool ProcessAlive(long pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// A record is a few short lines; anything longer is not one of ours.
constexpr std::size_t kMaxRecordBytes = 4096;

// The folder is shared with whatever else runs as this user: a record is read only when
// it is a regular file (a pipe under a record's name must not hang the scan), and only
// as far as a record can reach.
std::map<std::string, std::string> ReadRecord(const fs::path& file) {
  std::map<std::string, std::string> fields;
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return fields;
  struct stat st {};
  std::string text;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    text.resize(kMaxRecordBytes + 1);
    std::size_t filled = 0;
    while (filled < text.size()) {
      const ssize_t n = ::read(fd, text.data() + filled, text.size() - filled);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      filled += static_cast<std::size_t>(n);
    }
    text.resize(filled);
  }
  ::close(fd);
  if (text.size() > kMaxRecordBytes) return fields;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return fields;
}

int ScanSysfs(const DiscoveryRoots& roots, std::vector<PortEntry>& out) {
  std::error_code ec;
  fs::directory_iterator it(roots.sysClassTty, ec);
  if (ec) return ec == std::errc::no_such_file_or_directory ? 0 : -1;
  for (const auto& entry : it) {
    if (out.size() >= kMaxPorts) break;
    std::error_code linkError;
    const fs::path driver = fs::read_symlink(entry.path() / "device" / "driver", linkError);
    if (linkError || driver.filename() != kBridgeDriver) continue;
    const std::string name = entry.path().filename().string();
    out.push_back({name, (roots.dev / name).string()});
  }
  return 0;
}

int ScanBridges(const DiscoveryRoots& roots, std::vector<PortEntry>& out) {
  const fs::path folder = roots.bridges.empty() ? BridgeFolder() : roots.bridges;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return ec == std::errc::no_such_file_or_directory ? 0 : -1;
  for (const auto& entry : it) {
    if (out.size() >= kMaxPorts) break;
    if (entry.path().extension() != ".bridge") continue;
    auto fields = ReadRecord(entry.path());
    const std::string& name = fields["name"];
    const std::string& path = fields["path"];
    if (name.empty() || path.empty()) continue;
    if (!ProcessAlive(std::strtol(fields["pid"].c_str(), nullptr, 10))) continue;
    std::error_code existsError;
    if (!fs::exists(path, existsError)) continue;
    out.push_back({name, path});
  }
  return 0;
}

}  // namespace

fs::path BridgeFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    return fs::path(runtime) / "quaylink" / "bridges";
  }
  return fs::path("/tmp") / ("quaylink-" + std::to_string(::getuid())) / "bridges";
}

int DiscoverPorts(const DiscoveryRoots& roots, std::vector<PortEntry>& out) {
  const int sysfs = ScanSysfs(roots, out);
  const int bridges = ScanBridges(roots, out);
  return (sysfs == 0 && bridges == 0) ? 0 : -1;
}

void PortList::Refresh(const DiscoveryRoots& roots) {
  entries_.clear();
  DiscoverPorts(roots, entries_);
  std::stable_sort(entries_.begin(), entries_.end(), [](const PortEntry& a, const PortEntry& b) {
    const auto na = PortNumber(a.name);
    const auto nb = PortNumber(b.name);
    return na != nb ? na < nb : a.name < b.name;
  });
  selected_.reset();
  if (!entries_.empty()) selected_ = 0;
}

void PortList::Select(std::size_t index) {
  if (index < entries_.size()) {
    selected_ = index;
  } else {
    selected_.reset();
  }
}

std::optional<std::string> PortList::SelectedDevicePath() const {
  if (!selected_) return std::nullopt;
  return entries_[*selected_].devicePath;
}

}  // namespace ql::link
