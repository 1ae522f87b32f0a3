#include "records/folder_sink.h"

#include <system_error>
#include <utility>

namespace ql::records {

using link::ErrorKind;
using link::Status;

FolderSink::FolderSink(std::filesystem::path folder) : folder_(std::move(folder)) {}

Status FolderSink::Prepare() {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder_, ec)) {
    return Status::Error(ErrorKind::BadArgument, folder_.string() + " is not a folder");
  }
  return Status::Ok();
}

Status FolderSink::BeginFile(std::string_view name, std::uint64_t declaredSize) {
  Abort();
  if (!file_.Create(folder_, name)) {
    return Status::Error(ErrorKind::Io, "cannot create " + std::string(name) + " in " +
                                            folder_.string() + ": " + file_.Error());
  }
  name_ = name;
  declared_ = declaredSize;
  written_ = 0;
  return Status::Ok();
}

Status FolderSink::Write(std::span<const std::uint8_t> bytes) {
  if (!file_.IsOpen()) return Status::Error(ErrorKind::BadArgument, "no file is open");
  if (bytes.size() > declared_ - written_) {
    file_.Discard();
    return Status::Error(ErrorKind::BadArgument, "more bytes for " + name_ + " than its size of " +
                                                     std::to_string(declared_));
  }
  if (!file_.Write(bytes)) {
    return Status::Error(ErrorKind::Io, "cannot write " + name_ + ": " + file_.Error());
  }
  written_ += bytes.size();
  return Status::Ok();
}

Status FolderSink::Commit() {
  if (!file_.Finish()) {
    return Status::Error(ErrorKind::Io, "cannot write " + name_ + ": " + file_.Error());
  }
  if (!file_.Commit()) {
    return Status::Error(ErrorKind::Io, "cannot store " + name_ + ": " + file_.Error());
  }
  return Status::Ok();
}

void FolderSink::Abort() {
  file_.Discard();
}

}  // namespace ql::records
