#include "records/requested_file_sink.h"

#include <utility>

namespace ql::records {

using link::ErrorKind;
using link::Status;

RequestedFileSink::RequestedFileSink(link::IFileSink& inner, std::string requested)
    : inner_(inner), requested_(std::move(requested)) {}

Status RequestedFileSink::Prepare() {
  return inner_.Prepare();
}

Status RequestedFileSink::BeginFile(std::string_view name, std::uint64_t declaredSize) {
  const std::string got(name);
  if (begun_) {
    return Status::Error(ErrorKind::Protocol, "the station sent a second file, " + got +
                                                  ", after " + requested_ + "; it is not stored");
  }
  if (got != requested_) {
    return Status::Error(ErrorKind::Protocol, "the station sent " + got + " instead of " +
                                                  requested_ + "; it is not stored");
  }
  if (got.starts_with('.')) {
    return Status::Error(ErrorKind::Protocol,
                         got + " is not stored: a received file name may not start with a dot");
  }
  begun_ = true;
  return inner_.BeginFile(name, declaredSize);
}

Status RequestedFileSink::Write(std::span<const std::uint8_t> bytes) {
  return inner_.Write(bytes);
}

Status RequestedFileSink::Commit() {
  return inner_.Commit();
}

void RequestedFileSink::Abort() {
  inner_.Abort();
}

}  // namespace ql::records
