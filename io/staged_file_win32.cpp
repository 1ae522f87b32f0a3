// StagedFile on Windows: the temporary file is created with _O_EXCL (CREATE_NEW: whatever
// stands under the name, a link included, makes the create fail and another name is
// tried), and takes its final name with MoveFileEx, written through to the device.

#include <windows.h>
// After windows.h.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "io/staged_file.h"

namespace ql::io {
namespace {

constexpr int kNameAttempts = 100;

// A name, never a path: no separator of either kind, no drive or stream colon, none of
// the characters Windows keeps out of names.
bool PlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return name.find_first_of("/\\:*?\"<>|") == std::string_view::npos;
}

void CloseQuietly(int& fd) {
  if (fd >= 0) ::_close(fd);
  fd = -1;
}

}  // namespace

bool StagedFile::Create(const std::filesystem::path& folder, std::string_view name) {
  Discard();
  error_.clear();
  if (!PlainName(name)) return Fail("\"" + std::string(name) + "\" is not a plain file name");
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return FailWithErrno(ENOENT);
  folder_ = folder;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string temp = TemporaryName(name);
    const std::filesystem::path path = folder_ / temp;
    fd_ = ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                   _S_IREAD | _S_IWRITE);
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
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 20));
    const int n = ::_write(fd_, bytes.data(), chunk);
    if (n < 0) return FailWithErrno(errno);
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

bool StagedFile::Finish() {
  if (!IsOpen()) return Fail("no file is open");
  if (fd_ < 0) return true;
  if (::_commit(fd_) != 0) return FailWithErrno(errno);
  const int closed = ::_close(fd_);
  fd_ = -1;
  if (closed != 0) return FailWithErrno(errno);
  return true;
}

bool StagedFile::Commit() {
  if (!Finish()) return false;
  const std::filesystem::path from = folder_ / temp_;
  const std::filesystem::path to = folder_ / name_;
  if (!::MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD err = ::GetLastError();
    return Fail(std::error_code(static_cast<int>(err), std::system_category()).message());
  }
  temp_.clear();
  folder_.clear();
  return true;
}

void StagedFile::Discard() {
  CloseQuietly(fd_);
  if (!temp_.empty() && !folder_.empty()) {
    const std::filesystem::path path = folder_ / temp_;
    ::_wunlink(path.c_str());
  }
  temp_.clear();
  CloseFolder();
}

void StagedFile::CloseFolder() {
  folder_.clear();
}

}  // namespace ql::io
