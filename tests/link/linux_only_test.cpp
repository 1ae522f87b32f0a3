// What of the link's tests a Windows run leaves out (tests/support/linux_only.h).

#include "tests/support/linux_only.h"

namespace ql::testsupport {
namespace {

QUAYLINK_LINUX_ONLY(Link, LinuxOnlyFile{"serial_channel_test.cpp", "pseudo-terminals"},
                    LinuxOnlyFile{"serial_line_test.cpp", "termios"},
                    LinuxOnlyFile{"port_discovery_test.cpp", "sysfs and the bridge folder"},
                    LinuxOnlyFile{"serial_port_test.cpp", "pseudo-terminals and another user"});

}  // namespace
}  // namespace ql::testsupport
