#include "link/serial_port.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ostream>
#include <string>

#include "tests/link/pty_pair.h"

namespace ql::link {
namespace {

using testsupport::PtyPair;

// The user whose files are not ours (nobody on Debian).
constexpr uid_t kOtherUser = 65534;
constexpr gid_t kOtherGroup = 65534;

struct ChildOpen {
  int exitCode = -1;  // 0 once the child has reported; 3 when it could not become the user
  Status status;
};

// Opens `path` in a child that has become another user with no supplementary groups, so
// file permissions apply as they do to a technician's login; the child sends the Status
// back through a pipe as "<kind>\n<message>".
ChildOpen OpenAsOtherUser(const std::string& path) {
  ChildOpen result;
  int fds[2];
  if (::pipe(fds) != 0) return result;
  const pid_t child = ::fork();
  if (child < 0) return result;
  if (child == 0) {
    ::close(fds[0]);
    if (::setgroups(0, nullptr) != 0 || ::setgid(kOtherGroup) != 0 || ::setuid(kOtherUser) != 0) {
      ::_exit(3);
    }
    auto port = MakePlatformSerialPort();
    const Status s = port->Open(path, LineSettings{});
    port->Close();
    const std::string text = std::to_string(static_cast<int>(s.kind)) + "\n" + s.message;
    const bool sent =
        ::write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::_exit(sent ? 0 : 4);
  }
  ::close(fds[1]);
  std::string text;
  char buf[512];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, buf + n);
  ::close(fds[0]);
  int wstatus = 0;
  if (::waitpid(child, &wstatus, 0) != child || !WIFEXITED(wstatus)) return result;
  result.exitCode = WEXITSTATUS(wstatus);
  const std::size_t newline = text.find('\n');
  if (result.exitCode == 0 && newline != std::string::npos) {
    result.status.kind = static_cast<ErrorKind>(std::stoi(text.substr(0, newline)));
    result.status.message = text.substr(newline + 1);
  }
  return result;
}

// Who may open the device: its group and mode, as udev or devpts left them. The slave is
// always owned by root, so the other user gets in only through the group or not at all.
struct AccessCase {
  const char* label;
  gid_t group;
  mode_t mode;
  bool opens;
};
void PrintTo(const AccessCase& c, std::ostream* os) {
  *os << c.label;
}

class PortAccess : public testing::TestWithParam<AccessCase> {};

TEST_P(PortAccess, OpensWithPermissionElseNamesTheDeviceAndTheRemedy) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to open a port as another user";
  PtyPair pty;
  const std::string& path = pty.SlavePath();
  ASSERT_EQ(::chown(path.c_str(), 0, GetParam().group), 0);
  ASSERT_EQ(::chmod(path.c_str(), GetParam().mode), 0);

  const ChildOpen child = OpenAsOtherUser(path);
  ASSERT_NE(child.exitCode, 3) << "the child could not become another user";
  ASSERT_EQ(child.exitCode, 0) << "the child reported nothing";
  if (GetParam().opens) {
    EXPECT_TRUE(child.status.ok()) << child.status.message;
    return;
  }
  EXPECT_EQ(child.status.kind, ErrorKind::Io);
  EXPECT_EQ(child.status.message,
            "Permission denied opening " + path +
                ": add your user to the dialout group (sudo usermod -aG dialout $USER) and log "
                "in again, or install the Quaylink package's udev rule");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortAccess,
    testing::Values(AccessCase{"owner_only", 0, 0600, false},
                    AccessCase{"group_the_user_is_not_in", 0, 0660, false},
                    // A member of the device's group, as a dialout member is on a bridge.
                    AccessCase{"group_the_user_is_in", kOtherGroup, 0660, true}),
    [](const testing::TestParamInfo<AccessCase>& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace ql::link
