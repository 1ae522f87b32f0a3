#pragma once
// Received files kept in a folder: the sink the tool's log download and the station
// emulator's firmware receive hand to the YMODEM receiver. Each file grows under a
// temporary name in the folder and takes the sender's name only when complete
// (io::StagedFile), replacing an older file of that name; a failed or aborted file
// leaves nothing behind.
//
// One thread at a time (the transfer thread). The folder is not created here.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "io/staged_file.h"
#include "link/file_sink.h"

namespace ql::records {

class FolderSink final : public link::IFileSink {
 public:
  explicit FolderSink(std::filesystem::path folder);

  // BadArgument when the folder is not an existing folder.
  link::Status Prepare() override;
  // Io when the file cannot be created, also for a name that is not a plain file name.
  link::Status BeginFile(std::string_view name, std::uint64_t declaredSize) override;
  // Io when the bytes cannot be written, BadArgument when they would pass the declared
  // size (the file is then dropped).
  link::Status Write(std::span<const std::uint8_t> bytes) override;
  // Io when the file cannot be flushed or renamed into place.
  link::Status Commit() override;
  void Abort() override;

  const std::filesystem::path& Folder() const { return folder_; }

 private:
  const std::filesystem::path folder_;
  io::StagedFile file_;
  std::string name_;
  std::uint64_t declared_ = 0;
  std::uint64_t written_ = 0;
};

}  // namespace ql::records
