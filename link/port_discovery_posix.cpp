// Port discovery on Linux: cp210x ttys from sysfs and the emulators' bridge records.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <map>
#include <sstream>
#include <system_error>

#include "link/port_discovery.h"

namespace ql::link {
namespace fs = std::filesystem;

namespace {

constexpr const char* kBridgeDriver = "cp210x";

// Only a process this user may signal counts: kill fails with EPERM for another user's
// process, which is never an emulator of ours but may well hold a recycled pid.
bool ProcessAlive(long pid) {
  if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0;
}

// Only a serial line is offered: a record naming anything else (a file, a folder, a
// pipe) is not an emulator's pseudo-terminal.
bool IsCharacterDevice(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// A record is a few short lines; anything longer is not one of ours.
constexpr std::size_t kMaxRecordBytes = 4096;

// The folder is shared with whatever else runs as this user: a record is read only when
// it is a regular file (a pipe under a record's name must not hang the scan), and only
// as far as a record can reach.
std::map<std::string, std::string> ReadRecord(int folder, const char* name) {
  std::map<std::string, std::string> fields;
  const int fd = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
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

std::string ErrnoText(int err) {
  return std::error_code(err, std::generic_category()).message();
}

// One level of the bridge folder, open as `fd`: ours and writable by us alone.
Status CheckLevel(int fd, const fs::path& path) {
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    return Status::Error(ErrorKind::Io, path.string() + ": " + ErrnoText(errno));
  if (st.st_uid != ::geteuid()) {
    return Status::Error(ErrorKind::BadArgument, path.string() + " belongs to another user");
  }
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return Status::Error(ErrorKind::BadArgument, path.string() + " is writable by other users");
  }
  return Status::Ok();
}

Status OpenError(const fs::path& path, int err) {
  // O_NOFOLLOW | O_DIRECTORY: a symbolic link gives ELOOP, anything else ENOTDIR.
  if (err == ELOOP || err == ENOTDIR) {
    return Status::Error(ErrorKind::BadArgument, path.string() + " is not a folder");
  }
  return Status::Error(ErrorKind::Io, path.string() + ": " + ErrnoText(err));
}

// Opens the bridge folder for reading after checking it and its parent, each opened
// without following a link so that what is checked is what is read. The descriptor, or
// -1 with the reason in `why` and `missing` set when a level does not exist.
int OpenTrustedFolder(const fs::path& folder, Status& why, bool& missing) {
  missing = false;
  const fs::path clean = folder.has_filename() ? folder : folder.parent_path();
  const fs::path parent = clean.has_parent_path() ? clean.parent_path() : fs::path(".");
  const int parentFd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (parentFd < 0) {
    missing = errno == ENOENT;
    why = OpenError(parent, errno);
    return -1;
  }
  why = CheckLevel(parentFd, parent);
  if (!why.ok()) {
    ::close(parentFd);
    return -1;
  }
  const int fd =
      ::openat(parentFd, clean.filename().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  const int openErrno = errno;
  ::close(parentFd);
  if (fd < 0) {
    missing = openErrno == ENOENT;
    why = OpenError(clean, openErrno);
    return -1;
  }
  why = CheckLevel(fd, clean);
  if (!why.ok()) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int ScanSysfs(const DiscoveryRoots& roots, std::vector<PortEntry>& out) {
  std::error_code ec;
  fs::directory_iterator it(roots.sysClassTty, ec);
  if (ec) return ec == std::errc::no_such_file_or_directory ? 0 : -1;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (out.size() >= kMaxPorts) break;
    std::error_code linkError;
    const fs::path driver = fs::read_symlink(it->path() / "device" / "driver", linkError);
    if (linkError || driver.filename() != kBridgeDriver) continue;
    const std::string name = it->path().filename().string();
    out.push_back({name, (roots.dev / name).string()});
  }
  return ec ? -1 : 0;
}

int ScanBridges(const DiscoveryRoots& roots, std::vector<PortEntry>& out) {
  const fs::path folder = roots.bridges.empty() ? BridgeFolder() : roots.bridges;
  Status why;
  bool missing = false;
  const int fd = OpenTrustedFolder(folder, why, missing);
  if (fd < 0) return missing ? 0 : -1;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return -1;
  }
  int result = 0;
  while (out.size() < kMaxPorts) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) result = -1;
      break;
    }
    if (fs::path(entry->d_name).extension() != ".bridge") continue;
    auto fields = ReadRecord(::dirfd(dir), entry->d_name);
    const std::string& name = fields["name"];
    const std::string& path = fields["path"];
    if (name.empty() || path.empty()) continue;
    if (!ProcessAlive(std::strtol(fields["pid"].c_str(), nullptr, 10))) continue;
    if (!IsCharacterDevice(path)) continue;
    out.push_back({name, path});
  }
  ::closedir(dir);
  return result;
}

}  // namespace

fs::path BridgeFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    return fs::path(runtime) / "quaylink" / "bridges";
  }
  return fs::path("/tmp") / ("quaylink-" + std::to_string(::getuid())) / "bridges";
}

Status CheckBridgeFolder(const fs::path& folder) {
  Status why;
  bool missing = false;
  const int fd = OpenTrustedFolder(folder, why, missing);
  if (fd >= 0) ::close(fd);
  return why;
}

Status MakeBridgeFolder(const fs::path& folder) {
  const fs::path clean = folder.has_filename() ? folder : folder.parent_path();
  const fs::path parent = clean.has_parent_path() ? clean.parent_path() : fs::path(".");
  std::error_code ec;
  if (parent.has_parent_path()) fs::create_directories(parent.parent_path(), ec);
  // mkdir never replaces what stands under the name; the check below judges that.
  for (const fs::path& level : {parent, clean}) {
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
      return Status::Error(ErrorKind::Io,
                           "cannot create " + level.string() + ": " + ErrnoText(errno));
    }
  }
  return CheckBridgeFolder(clean);
}

int DiscoverPorts(const DiscoveryRoots& roots, std::vector<PortEntry>& out) {
  const int sysfs = ScanSysfs(roots, out);
  const int bridges = ScanBridges(roots, out);
  return (sysfs == 0 && bridges == 0) ? 0 : -1;
}

}  // namespace ql::link
