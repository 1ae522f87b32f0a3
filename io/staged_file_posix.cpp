#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "io/staged_file.h"

namespace ql::io {
namespace {

// Tries before giving up on finding a free temporary name; with 36^8 names a clash is
// already unlikely once.
constexpr int kNameAttempts = 100;

bool PlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

void CloseQuietly(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

bool StagedFile::Create(const std::filesystem::path& folder, std::string_view name) {
  Discard();
  error_.clear();
  if (!PlainName(name)) return Fail("\"" + std::string(name) + "\" is not a plain file name");
  dir_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_ < 0) return FailWithErrno(errno);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string temp = TemporaryName(name);
    // Exclusive and without following a link: whatever already stands under the name,
    // file or link planted by someone else, is left alone and another name is tried.
    fd_ = ::openat(dir_, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temp_ = std::move(temp);
      name_ = name;
      return true;
    }
    if (errno != EEXIST) return FailWithErrno(errno);
  }
  return FailWithErrno(EEXIST);
}

bool StagedFile::Write(std::span<const std::uint8_t> bytes) {
  if (fd_ < 0) return Fail(IsOpen() ? "the file is already finished" : "no file is open");
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return FailWithErrno(errno);
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

bool StagedFile::Finish() {
  if (!IsOpen()) return Fail("no file is open");
  if (fd_ < 0) return true;
  if (::fsync(fd_) != 0) return FailWithErrno(errno);
  // close can report a delayed write error (on network file systems, for one).
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0 && errno != EINTR) return FailWithErrno(errno);
  return true;
}

bool StagedFile::Commit() {
  if (!Finish()) return false;
  if (::renameat(dir_, temp_.c_str(), dir_, name_.c_str()) != 0) return FailWithErrno(errno);
  temp_.clear();
  // The rename is durable only once the folder is on the device too. File systems that
  // cannot flush a folder say EINVAL; they have nothing more to flush.
  const bool flushed = ::fsync(dir_) == 0 || errno == EINVAL;
  const int err = errno;
  CloseFolder();
  return flushed ? true : FailWithErrno(err);
}

void StagedFile::Discard() {
  CloseQuietly(fd_);
  if (!temp_.empty() && dir_ >= 0) ::unlinkat(dir_, temp_.c_str(), 0);
  temp_.clear();
  CloseFolder();
}

void StagedFile::CloseFolder() {
  CloseQuietly(dir_);
}

}  // namespace ql::io
