#pragma once
// Where received files go. The YMODEM receiver stores nothing itself: it hands each file
// of a batch to a sink, which decides where and how the bytes are kept (a folder, memory).
//
// The order of calls, from one thread at a time (the transfer thread):
//   Prepare, then for each file: BeginFile, Write..., and Commit or Abort.
// - At most one file is open. The Write calls of a file carry its bytes in order and
//   together never more than the size declared to BeginFile; Commit comes only once
//   they have carried all of it.
// - `name` is a plain file name (no separator, no "..", at most 63 characters); the
//   receiver has checked it. A sink may check again and refuse.
// - After a failed BeginFile, and after Commit (failed or not), no file is open. After a
//   failed Write the file stays open until the caller aborts it.
// - Abort drops the open file: nothing of it stays. With no file open it does nothing.
// Errors come back as Status values whose message is ready to show, naming the file.

#include <cstdint>
#include <span>
#include <string_view>

#include "link/status.h"

namespace ql::link {

class IFileSink {
 public:
  virtual ~IFileSink() = default;
  // Called once when a receive starts, before anything is answered: a sink that cannot
  // take any file says why, and the receive ends without a byte sent.
  virtual Status Prepare() = 0;
  // Starts the file `name` of `declaredSize` bytes. A refusal ends the receive.
  virtual Status BeginFile(std::string_view name, std::uint64_t declaredSize) = 0;
  virtual Status Write(std::span<const std::uint8_t> bytes) = 0;
  // The file is complete: keep it under its name (replacing an older one of that name).
  // On failure nothing of the new file stays, and an older file stays as it was.
  virtual Status Commit() = 0;
  virtual void Abort() = 0;
};

}  // namespace ql::link
