#include "io/drive_layout.h"

#include <string>
#include <system_error>

namespace ql::io {

std::filesystem::path DrivePath(const std::filesystem::path& usbRoot, std::string_view relative) {
  return usbRoot / std::filesystem::path(std::string(relative));
}

void EnsureDirectories(const std::filesystem::path& usbRoot, std::string_view relative) {
  std::filesystem::path level = usbRoot;
  std::string component;
  auto createLevel = [&]() -> bool {
    if (component.empty()) return true;  // "a//b" or a leading separator
    if (component.find('.') != std::string::npos) return false;
    level /= component;
    component.clear();
    std::error_code ec;
    if (!std::filesystem::is_directory(level, ec)) std::filesystem::create_directory(level, ec);
    return true;
  };
  for (char ch : relative) {
    if (ch == '/' || ch == '\\') {
      if (!createLevel()) return;
    } else {
      component.push_back(ch);
    }
  }
  // Levels end at a separator, so the text after the last one (a file name, or a
  // folder written without a trailing separator) is never created.
}

}  // namespace ql::io
