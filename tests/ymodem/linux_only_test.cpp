// What of the YMODEM tests a Windows run leaves out (tests/support/linux_only.h).

#include "tests/support/linux_only.h"

namespace ql::testsupport {
namespace {

QUAYLINK_LINUX_ONLY(Ymodem, LinuxOnlyFile{"ymodem_lrzsz_test.cpp", "lrzsz and pseudo-terminals"});

}  // namespace
}  // namespace ql::testsupport
