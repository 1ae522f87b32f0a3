// POSIX side of AtomicFile: O_EXCL|O_NOFOLLOW creation, fsync of the file and its folder.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "io/atomic_file.h"

namespace ql::io {
namespace {

// Hidden, and unpredictable so that nobody can plant anything under it beforehand.
std::filesystem::path TemporaryName(const std::filesystem::path& finalPath) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  char suffix[17];
  std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
  return finalPath.parent_path() / ("." + finalPath.filename().string() + "." + suffix + ".tmp");
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path finalPath) : final_(std::move(finalPath)) {
  if (final_.filename().empty()) {
    error_ = final_.string() + ": not a file name";
    return;
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    temporary_ = TemporaryName(final_);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ >= 0) return;
    if (errno != EEXIST) break;
  }
  Fail("cannot create a file in " + final_.parent_path().string(), errno);
  temporary_.clear();
}

AtomicFile::~AtomicFile() {
  Discard();
}

void AtomicFile::Fail(const std::string& what, int err) {
  if (error_.empty()) error_ = what + ": " + std::strerror(err);
}

bool AtomicFile::Write(std::span<const std::uint8_t> bytes) {
  if (fd_ < 0) {
    if (error_.empty()) error_ = "the file is closed";
    return false;
  }
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Fail("cannot write " + final_.string(), n < 0 ? errno : ENOSPC);
      Discard();
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

bool AtomicFile::Commit() {
  if (fd_ < 0) {
    if (error_.empty()) error_ = "the file is closed";
    return false;
  }
  // The data reaches the disk before the name does, or a power cut could leave the new
  // name on an empty file.
  if (::fsync(fd_) != 0) {
    Fail("cannot write " + final_.string(), errno);
    Discard();
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    Fail("cannot write " + final_.string(), errno);
    Discard();
    return false;
  }
  if (::rename(temporary_.c_str(), final_.c_str()) != 0) {
    Fail("cannot replace " + final_.string(), errno);
    Discard();
    return false;
  }
  temporary_.clear();
  // The rename itself is kept only once the folder is on the disk.
  std::filesystem::path folder = final_.parent_path();
  if (folder.empty()) folder = ".";
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    const bool synced = ::fsync(dir) == 0 || errno == EINVAL;  // some file systems refuse
    const int err = errno;
    ::close(dir);
    if (!synced) {
      Fail("cannot write the folder of " + final_.string(), err);
      return false;
    }
  }
  return true;
}

void AtomicFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
}

}  // namespace ql::io
