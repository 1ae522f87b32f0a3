#include "tools/station/bridge_registration.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "link/port_discovery.h"

namespace ql::station {
namespace {
namespace fs = std::filesystem;

class BridgeRegistrationTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() / ("ql-bridge-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "dev");
    roots_ = {root_ / "sys/class/tty", root_ / "dev", root_ / "run/bridges"};
    pty_ = root_ / "dev/pts4";
    std::ofstream(pty_).put('x');
  }
  void TearDown() override { fs::remove_all(root_); }

  std::vector<std::string> Listed() {
    link::PortList list;
    list.Refresh(roots_);
    std::vector<std::string> names;
    for (const auto& e : list.Entries()) names.push_back(e.name);
    return names;
  }
  std::vector<std::string> FilesInFolder() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(roots_.bridges)) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }

  fs::path root_;
  fs::path pty_;
  link::DiscoveryRoots roots_;
};

TEST_F(BridgeRegistrationTest, RegistrationLastsAsLongAsTheObject) {
  {
    BridgeRegistration reg(roots_.bridges, "station4", pty_.string());
    ASSERT_TRUE(reg.ok());
    EXPECT_EQ(Listed(), (std::vector<std::string>{"station4"}));
  }
  EXPECT_TRUE(Listed().empty());
  EXPECT_TRUE(FilesInFolder().empty());
}

TEST_F(BridgeRegistrationTest, TheRecordIsTheDocumentedLinesAndNothingElseIsLeft) {
  const BridgeRegistration reg(roots_.bridges, "station4", pty_.string());
  ASSERT_TRUE(reg.ok());
  const std::string pid = std::to_string(::getpid());
  EXPECT_EQ(reg.File(), roots_.bridges / (pid + ".bridge"));
  std::ifstream in(reg.File(), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "name=station4\npath=" + pty_.string() + "\npid=" + pid + "\n");
  EXPECT_EQ(FilesInFolder(), (std::vector<std::string>{pid + ".bridge"}));
}

TEST_F(BridgeRegistrationTest, AMovedRegistrationKeepsTheRecordUntilItsNewOwnerEnds) {
  BridgeRegistration outer;
  {
    BridgeRegistration inner(roots_.bridges, "station4", pty_.string());
    ASSERT_TRUE(inner.ok());
    outer = std::move(inner);
  }
  EXPECT_EQ(Listed(), (std::vector<std::string>{"station4"}));
  outer.Remove();
  EXPECT_TRUE(Listed().empty());
}

TEST_F(BridgeRegistrationTest, AFolderOfAnotherUserIsNotWrittenTo) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
  fs::create_directories(roots_.bridges);
  ASSERT_EQ(::chown(roots_.bridges.c_str(), 65534, 65534), 0);
  const BridgeRegistration reg(roots_.bridges, "station4", pty_.string());
  EXPECT_FALSE(reg.ok());
  EXPECT_TRUE(FilesInFolder().empty());
}

}  // namespace
}  // namespace ql::station
