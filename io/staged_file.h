#pragma once
// A file written under a temporary name beside its final one, which takes its final name
// only when complete: a broken write never leaves a truncated file under that name, and
// an older file of that name stays as it was until the new one replaces it whole.
//
// The temporary file is always a new file (created exclusively, never through a symbolic
// link) with a unique hidden name in the same folder, so nothing another program left
// there is opened or overwritten. Commit flushes the data to the device before the
// rename and the folder after it, so a committed file survives a power cut or a pulled
// drive. Every failure removes the temporary file at once and leaves the reason, with
// the system's error text, in Error().
//
// One thread at a time. No function throws.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace ql::io {

class StagedFile {
 public:
  StagedFile() = default;
  // Discards a file that was not committed.
  ~StagedFile();
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&& other) noexcept;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Starts the file `name` in `folder`, discarding any file this object held. `name` must
  // be a plain file name (not empty, not "." or "..", no '/'; on Windows also no '\\', ':'
  // or other character a file name may not hold).
  bool Create(const std::filesystem::path& folder, std::string_view name);
  // Appends all of `bytes`.
  bool Write(std::span<const std::uint8_t> bytes);
  // Flushes what was written to the device and closes the temporary file.
  bool Finish();
  // Finishes the file if that is not done yet, renames it to its name (replacing an
  // older file) and flushes the folder. When only that last flush fails the file stands
  // under its name, but the failure is still reported: it may not survive a power cut.
  bool Commit();
  // Removes the temporary file. Does nothing when no file is open.
  void Discard();

  // Created and neither committed, discarded nor failed.
  bool IsOpen() const { return !temp_.empty(); }
  const std::string& Error() const { return error_; }

 private:
  // A new hidden name beside `name`, ".<name>.<random>.part".
  static std::string TemporaryName(std::string_view name);
  bool Fail(std::string why);
  bool FailWithErrno(int err);
  void CloseFolder();

  int dir_ = -1;                  // the folder, so every step acts on the same one (POSIX)
  int fd_ = -1;                   // the temporary file while it is written
  std::string temp_;              // its name in the folder; empty when no file is open
  std::string name_;              // the final name
  std::string error_;             // why the last failure happened
  std::filesystem::path folder_;  // the folder by name, where it is not held open (Windows)
};

}  // namespace ql::io
