#pragma once
// The test files that need Linux (pseudo-terminals, termios, sysfs, lrzsz) stay out of the
// Windows programs; each program names them in a table instead, so a run under wine
// shows every one as skipped, with what it needs.
//
//   QUAYLINK_LINUX_ONLY(Link, {"serial_channel_test.cpp", "pseudo-terminals"}, ...);

#include <gtest/gtest.h>

#include <string>

namespace ql::testsupport {

struct LinuxOnlyFile {
  const char* file;
  const char* needs;
};

class LinuxOnly : public testing::TestWithParam<LinuxOnlyFile> {};

inline std::string LinuxOnlyName(const testing::TestParamInfo<LinuxOnlyFile>& info) {
  std::string name;
  for (const char* c = info.param.file; *c != '\0' && *c != '.'; ++c) {
    if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9'))
      name += *c;
  }
  return name;
}

}  // namespace ql::testsupport

#define QUAYLINK_LINUX_ONLY(program, ...)                                           \
  TEST_P(LinuxOnly, SkippedOnWindows) {                                             \
    GTEST_SKIP() << GetParam().file << " needs " << GetParam().needs << " (Linux)"; \
  }                                                                                 \
  INSTANTIATE_TEST_SUITE_P(program, LinuxOnly, testing::Values(__VA_ARGS__), LinuxOnlyName)
