#include "link/port_discovery.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace ql::link {
namespace {
namespace fs = std::filesystem;

class FakeSystem : public testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() / ("ql-discovery-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
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
  const fs::path pty = root_ / "dev/pts7";
  std::ofstream(pty).put('x');
  AddTty("ttyUSB9", "cp210x");
  AddBridgeRecord("1.bridge", "station7", pty.string(), ::getpid());
  // A killed emulator's record, and one whose device is gone, stay invisible.
  AddBridgeRecord("2.bridge", "station2", pty.string(), 999999999);
  AddBridgeRecord("3.bridge", "station3", (root_ / "dev/gone").string(), ::getpid());
  PortList list;
  list.Refresh(roots_);
  ASSERT_EQ(Names(list), (std::vector<std::string>{"station7", "ttyUSB9"}));
  EXPECT_EQ(list.Entries()[0].devicePath, pty.string());
}

TEST_F(FakeSystem, RegistrationLastsAsLongAsTheObject) {
  const fs::path pty = root_ / "dev/pts4";
  std::ofstream(pty).put('x');
  PortList list;
  {
    BridgeRegistration reg(roots_.bridges, "station4", pty.string());
    ASSERT_TRUE(reg.ok());
    list.Refresh(roots_);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"station4"}));
  }
  list.Refresh(roots_);
  EXPECT_TRUE(list.Entries().empty());
}

}  // namespace
}  // namespace ql::link
