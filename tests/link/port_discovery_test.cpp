#include "link/port_discovery.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <functional>

#include "tests/link/pty_pair.h"

namespace ql::link {
namespace {
namespace fs = std::filesystem;

// The user whose files and processes are not ours (nobody on Debian).
constexpr uid_t kOtherUser = 65534;

class FakeSystem : public testing::Test {
 protected:
  void SetUp() override {
    // One folder per test; a parameterised test's name holds a '/'.
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    root_ = fs::temp_directory_path() / ("ql-discovery-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(root_);
    fs::create_directories(root_ / "dev");
    fs::create_directories(root_ / "bridges");
    roots_ = {root_ / "sys/class/tty", root_ / "dev", root_ / "bridges"};
    fs::create_directories(roots_.sysClassTty);
  }
  void TearDown() override { fs::remove_all(root_); }

  // A tty as sysfs shows it: class entry -> device -> driver link named after the driver.
  void AddTty(const std::string& name, const std::string& driver) {
    const fs::path device = root_ / "sys/devices" / name;
    fs::create_directories(device);
    fs::create_directories(root_ / "sys/bus/usb-serial/drivers" / driver);
    fs::create_directory_symlink(root_ / "sys/bus/usb-serial/drivers" / driver, device / "driver");
    fs::create_directories(roots_.sysClassTty / name);
    fs::create_directory_symlink(device, roots_.sysClassTty / name / "device");
  }
  void AddBridgeRecord(const std::string& file, const std::string& name, const std::string& path,
                       long pid) {
    std::ofstream(roots_.bridges / file)
        << "name=" << name << "\npath=" << path << "\npid=" << pid << "\n";
  }
  std::vector<std::string> Names(const PortList& list) {
    std::vector<std::string> names;
    for (const auto& e : list.Entries()) names.push_back(e.name);
    return names;
  }

  fs::path root_;
  DiscoveryRoots roots_;
  // A real serial line for records to name.
  testsupport::PtyPair pty_;
};

TEST_F(FakeSystem, TwoBridgesSortByNumberAndFirstIsSelected) {
  AddTty("ttyUSB12", "cp210x");
  AddTty("ttyUSB3", "cp210x");
  PortList list;
  list.Refresh(roots_);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"ttyUSB3", "ttyUSB12"}));
  ASSERT_EQ(list.Selected(), 0u);
  EXPECT_EQ(list.SelectedDevicePath(), (root_ / "dev/ttyUSB3").string());
  list.Select(1);
  EXPECT_EQ(list.SelectedDevicePath(), (root_ / "dev/ttyUSB12").string());
}

TEST_F(FakeSystem, OnlyCp210xDevicesAreListed) {
  AddTty("ttyUSB4", "ftdi_sio");
  AddTty("ttyUSB5", "CP210x");  // the driver name is matched exactly
  AddTty("ttyS0", "serial8250");
  AddTty("ttyUSB6", "cp210x");
  PortList list;
  list.Refresh(roots_);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"ttyUSB6"}));
}

TEST_F(FakeSystem, NothingFoundMeansNothingSelected) {
  AddTty("ttyUSB4", "ftdi_sio");
  PortList list;
  list.Refresh(roots_);
  EXPECT_TRUE(list.Entries().empty());
  EXPECT_FALSE(list.SelectedDevicePath().has_value());
  list.Select(0);
  EXPECT_FALSE(list.SelectedDevicePath().has_value());
}

TEST_F(FakeSystem, AtMostFiftyPorts) {
  for (int i = 0; i < 60; ++i) AddTty("ttyUSB" + std::to_string(i), "cp210x");
  std::vector<PortEntry> found;
  EXPECT_EQ(DiscoverPorts(roots_, found), 0);
  EXPECT_EQ(found.size(), kMaxPorts);
}

TEST_F(FakeSystem, LiveVirtualBridgesAreListedAmongRealOnes) {
  const std::string pty = pty_.SlavePath();
  AddTty("ttyUSB9", "cp210x");
  AddBridgeRecord("1.bridge", "station7", pty, ::getpid());
  // A killed emulator's record, and one whose device is gone, stay invisible.
  AddBridgeRecord("2.bridge", "station2", pty, 999999999);
  AddBridgeRecord("3.bridge", "station3", (root_ / "dev/gone").string(), ::getpid());
  PortList list;
  list.Refresh(roots_);
  ASSERT_EQ(Names(list), (std::vector<std::string>{"station7", "ttyUSB9"}));
  EXPECT_EQ(list.Entries()[0].devicePath, pty);
}

TEST_F(FakeSystem, OnlySmallRegularRecordsAreRead) {
  const std::string pty = pty_.SlavePath();
  AddBridgeRecord("1.bridge", "station7", pty, ::getpid());
  // A pipe under a record's name would block a read for ever; a huge file is no record.
  ASSERT_EQ(::mkfifo((roots_.bridges / "2.bridge").c_str(), 0600), 0);
  AddBridgeRecord("3.bridge", "station3", pty, ::getpid());
  std::ofstream(roots_.bridges / "3.bridge", std::ios::app) << std::string(8192, '#') << "\n";
  PortList list;
  list.Refresh(roots_);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"station7"}));
}

// What a record's path may name: only a serial line (a character device) is offered.
struct DevicePathCase {
  const char* label;
  std::function<std::string(const fs::path& root, const std::string& pty)> make;
  bool listed;
};
void PrintTo(const DevicePathCase& c, std::ostream* os) {
  *os << c.label;
}

class BridgeDevicePath : public FakeSystem, public testing::WithParamInterface<DevicePathCase> {};

TEST_P(BridgeDevicePath, IsListedOnlyWhenACharacterDevice) {
  const std::string path = GetParam().make(root_, pty_.SlavePath());
  AddBridgeRecord("1.bridge", "station1", path, ::getpid());
  PortList list;
  list.Refresh(roots_);
  EXPECT_EQ(Names(list),
            GetParam().listed ? std::vector<std::string>{"station1"} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BridgeDevicePath,
    testing::Values(
        DevicePathCase{"pseudo_terminal",
                       [](const fs::path&, const std::string& pty) { return pty; }, true},
        DevicePathCase{"dev_null", [](const fs::path&, const std::string&) { return "/dev/null"; },
                       true},
        DevicePathCase{"regular_file",
                       [](const fs::path& root, const std::string&) {
                         std::ofstream(root / "dev/pts7").put('x');
                         return (root / "dev/pts7").string();
                       },
                       false},
        DevicePathCase{
            "folder",
            [](const fs::path& root, const std::string&) { return (root / "dev").string(); },
            false},
        DevicePathCase{"pipe",
                       [](const fs::path& root, const std::string&) {
                         ::mkfifo((root / "dev/fifo").c_str(), 0600);
                         return (root / "dev/fifo").string();
                       },
                       false}),
    [](const testing::TestParamInfo<DevicePathCase>& row) { return std::string(row.param.label); });

// A record naming a process we may not signal (another user's, perhaps a recycled pid)
// is no emulator of ours. Root may signal anything, so as root the scan runs in a child
// that has become another user, over a folder given to that user.
TEST_F(FakeSystem, AProcessWeMayNotSignalIsNotAlive) {
  if (::geteuid() != 0) {
    if (::kill(1, 0) == 0 || errno != EPERM) {
      GTEST_SKIP() << "needs root, or a process 1 of another user";
    }
    AddBridgeRecord("1.bridge", "station1", "/dev/null", 1);
    AddBridgeRecord("2.bridge", "station2", "/dev/null", ::getpid());
    PortList list;
    list.Refresh(roots_);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"station2"}));
    return;
  }
  ASSERT_EQ(::chown(root_.c_str(), kOtherUser, kOtherUser), 0);
  ASSERT_EQ(::chown(roots_.bridges.c_str(), kOtherUser, kOtherUser), 0);
  AddBridgeRecord("1.bridge", "station1", "/dev/null", ::getpid());  // root: not for the child
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0) ::_exit(3);
    AddBridgeRecord("2.bridge", "station2", "/dev/null", ::getpid());
    std::vector<PortEntry> found;
    DiscoverPorts(roots_, found);
    if (found.size() == 1 && found[0].name == "station2") ::_exit(0);
    ::_exit(found.size() == 2 ? 1 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 3) << "the child could not become another user";
  EXPECT_NE(WEXITSTATUS(status), 1) << "another user's process was taken for a live emulator";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A bridge folder that someone else could have made or could write to: nothing in it is
// listed, and the scan says it could not use it. Each case spoils one thing of a folder
// holding a live record.
struct FolderCase {
  const char* label;
  bool needsRoot;  // giving a file to another user
  std::function<void(const fs::path& folder)> spoil;
};
void PrintTo(const FolderCase& c, std::ostream* os) {
  *os << c.label;
}

class UntrustedBridgeFolder : public FakeSystem, public testing::WithParamInterface<FolderCase> {};

TEST_P(UntrustedBridgeFolder, ListsNothing) {
  if (GetParam().needsRoot && ::geteuid() != 0) {
    GTEST_SKIP() << "needs root to give a folder to another user";
  }
  AddBridgeRecord("1.bridge", "station1", pty_.SlavePath(), ::getpid());
  GetParam().spoil(roots_.bridges);
  std::vector<PortEntry> found;
  EXPECT_EQ(DiscoverPorts(roots_, found), -1);
  EXPECT_TRUE(found.empty());
  const Status check = CheckBridgeFolder(roots_.bridges);
  EXPECT_FALSE(check.ok());
  EXPECT_FALSE(check.message.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UntrustedBridgeFolder,
    testing::Values(FolderCase{"folder_of_another_user", true,
                               [](const fs::path& f) {
                                 ::chown(f.c_str(), kOtherUser, kOtherUser);
                               }},
                    FolderCase{"parent_of_another_user", true,
                               [](const fs::path& f) {
                                 ::chown(f.parent_path().c_str(), kOtherUser, kOtherUser);
                               }},
                    FolderCase{"folder_writable_by_the_group", false,
                               [](const fs::path& f) { ::chmod(f.c_str(), 0770); }},
                    FolderCase{"folder_writable_by_everyone", false,
                               [](const fs::path& f) { ::chmod(f.c_str(), 0777); }},
                    FolderCase{"parent_writable_by_everyone", false,
                               [](const fs::path& f) { ::chmod(f.parent_path().c_str(), 0777); }},
                    FolderCase{"folder_is_a_link", false,
                               [](const fs::path& f) {
                                 fs::rename(f, f.parent_path() / "elsewhere");
                                 fs::create_directory_symlink(f.parent_path() / "elsewhere", f);
                               }}),
    [](const testing::TestParamInfo<FolderCase>& row) { return std::string(row.param.label); });

TEST_F(FakeSystem, MissingBridgeFolderIsNoError) {
  fs::remove_all(roots_.bridges);
  AddTty("ttyUSB1", "cp210x");
  std::vector<PortEntry> found;
  EXPECT_EQ(DiscoverPorts(roots_, found), 0);
  EXPECT_EQ(found.size(), 1u);
}

}  // namespace
}  // namespace ql::link
