#pragma once
// Where the record layer's messages to the technician go. The GUI shows each one as a
// modal box with one OK button; the CLI prints it; tests record it.

#include <string_view>

namespace ql::records {

class IMessageSink {
 public:
  virtual ~IMessageSink() = default;
  // Called on the caller's thread; the text is only valid during the call.
  virtual void ShowMessage(std::string_view text) = 0;
};

}  // namespace ql::records
