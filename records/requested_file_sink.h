#pragma once
// A sink that lets through only the file that was asked for. The log download asks the
// station for one file by name and receives a batch: the batch may carry that file and
// nothing else. A file of another name, a name that starts with a dot (hidden files, and
// the folder sink's own temporary names) and a second file are refused before anything
// of them reaches the inner sink, so the receive ends with nothing of them written.
//
// Same thread rules as the inner sink, which must outlive this one.

#include <string>

#include "link/file_sink.h"

namespace ql::records {

class RequestedFileSink final : public link::IFileSink {
 public:
  RequestedFileSink(link::IFileSink& inner, std::string requested);

  link::Status Prepare() override;
  // Protocol when `name` is not the requested name, starts with a dot, or comes after
  // the requested file began; otherwise what the inner sink says.
  link::Status BeginFile(std::string_view name, std::uint64_t declaredSize) override;
  link::Status Write(std::span<const std::uint8_t> bytes) override;
  link::Status Commit() override;
  void Abort() override;

 private:
  link::IFileSink& inner_;
  const std::string requested_;
  bool begun_ = false;  // the requested file has been handed to the inner sink
};

}  // namespace ql::records
