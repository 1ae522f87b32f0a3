#pragma once
// Sets the TZ variable for the scope of a test and puts back what was there. The C
// library's calls differ between the platforms, so this one test helper tells them apart.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace ql::testsupport {

class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* saved = std::getenv("TZ")) saved_ = saved;
    Set(zone);
  }
  ~ScopedTimeZone() { Set(saved_ ? saved_->c_str() : nullptr); }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  // nullptr: no TZ at all.
  static void Set(const char* zone) {
#ifdef _WIN32
    ::_putenv_s("TZ", zone != nullptr ? zone : "");
    ::_tzset();
#else
    if (zone != nullptr) {
      ::setenv("TZ", zone, 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
#endif
  }

  std::optional<std::string> saved_;
};

}  // namespace ql::testsupport
