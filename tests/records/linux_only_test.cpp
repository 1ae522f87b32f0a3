// What of the record layer's tests a Windows run leaves out (tests/support/linux_only.h).

#include "tests/support/linux_only.h"

namespace ql::testsupport {
namespace {

QUAYLINK_LINUX_ONLY(Records,
                    LinuxOnlyFile{"folder_sink_permissions_test.cpp", "POSIX permissions"});

}  // namespace
}  // namespace ql::testsupport
