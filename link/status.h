#pragma once
// Outcome of an operation that can fail: the kind tells the caller what to do next,
// the message is captured at the moment of failure (errno text included).

#include <string>
#include <utility>

namespace ql::link {

enum class ErrorKind {
  None,         // success
  BadArgument,  // the caller passed something unusable
  Busy,         // the resource is held by someone else; try later or pick another
  Io,           // the operating system refused or failed
  Protocol,     // the peer answered wrongly (bad CRC, NAK, cancel)
  Timeout,      // the peer did not answer in time
  Aborted,      // stopped on request (the user closed or stopped it); nothing is wrong
};

struct Status {
  ErrorKind kind = ErrorKind::None;
  std::string message;

  static Status Ok() { return {}; }
  static Status Error(ErrorKind k, std::string text) { return {k, std::move(text)}; }
  bool ok() const { return kind == ErrorKind::None; }
};

}  // namespace ql::link
