#pragma once
// A file written whole under a temporary name in its final folder and renamed into place
// only when every byte is on the disk, so a pulled drive, a full disk or a killed process
// never leaves a truncated file under the real name and the previous file stays as it was.
//
// The temporary file is created exclusively under a fresh, unpredictable name and never
// through a symbolic link, so a link planted in the folder cannot redirect the write. It is
// removed on every path that does not commit, including destruction.
// Not thread-safe; one writer per object.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace ql::io {

class AtomicFile {
 public:
  // Creates the temporary file beside `finalPath`. On failure Ok() is false and Error() says
  // why.
  explicit AtomicFile(std::filesystem::path finalPath);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  const std::filesystem::path& TemporaryPath() const { return temporary_; }

  // Appends bytes. False (and the error kept) once anything has failed.
  bool Write(std::span<const std::uint8_t> bytes);
  // Flushes the file to the disk, renames it over the final name and flushes the folder.
  // False when any step fails; the temporary file is gone either way.
  bool Commit();
  // Removes the temporary file; nothing is written under the final name.
  void Discard();

 private:
  void Fail(const std::string& what, int err);

  std::filesystem::path final_;
  std::filesystem::path temporary_;
  int fd_ = -1;
  std::string error_;
};

}  // namespace ql::io
