#include "tools/station/bridge_registration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "link/port_discovery.h"

namespace ql::station {
namespace {
namespace fs = std::filesystem;

class BridgeRegistrationTest : public testing::Test {
 protected:
  void SetUp() override {
    // One folder per test; a parameterised test's name holds a '/'.
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    root_ = fs::temp_directory_path() / ("ql-bridge-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(root_);
    fs::create_directories(root_ / "dev");
    roots_ = {root_ / "sys/class/tty", root_ / "dev", root_ / "run/bridges"};
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
  // Discovery offers character devices only; which one does not matter here.
  const fs::path pty_ = "/dev/null";
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

TEST_F(BridgeRegistrationTest, TheFolderAndItsParentAreMadeForThisUserAlone) {
  const mode_t umask = ::umask(0);  // the modes must not depend on the caller's umask
  const BridgeRegistration reg(roots_.bridges, "station4", pty_.string());
  ::umask(umask);
  ASSERT_TRUE(reg.ok()) << reg.Problem();
  for (const fs::path& level : {roots_.bridges.parent_path(), roots_.bridges}) {
    struct stat st {};
    ASSERT_EQ(::lstat(level.c_str(), &st), 0) << level;
    EXPECT_EQ(st.st_mode & 07777, 0700u) << level;
    EXPECT_EQ(st.st_uid, ::geteuid()) << level;
  }
}

// A folder discovery would not trust is not written to, and the registration says why.
struct FolderCase {
  const char* label;
  bool needsRoot;  // giving a folder to another user
  void (*spoil)(const fs::path& folder);
};
void PrintTo(const FolderCase& c, std::ostream* os) {
  *os << c.label;
}

class UntrustedFolder : public BridgeRegistrationTest,
                        public testing::WithParamInterface<FolderCase> {};

TEST_P(UntrustedFolder, IsNotWrittenTo) {
  if (GetParam().needsRoot && ::geteuid() != 0) {
    GTEST_SKIP() << "needs root to give a folder to another user";
  }
  fs::create_directories(roots_.bridges);
  GetParam().spoil(roots_.bridges);
  const BridgeRegistration reg(roots_.bridges, "station4", pty_.string());
  EXPECT_FALSE(reg.ok());
  EXPECT_FALSE(reg.Problem().empty());
  EXPECT_TRUE(FilesInFolder().empty());
}

constexpr uid_t kOtherUser = 65534;
INSTANTIATE_TEST_SUITE_P(
    Cases, UntrustedFolder,
    testing::Values(
        FolderCase{
            "folder_of_another_user", true,
            [](const fs::path& f) { ASSERT_EQ(::chown(f.c_str(), kOtherUser, kOtherUser), 0); }},
        FolderCase{"parent_of_another_user", true,
                   [](const fs::path& f) {
                     ASSERT_EQ(::chown(f.parent_path().c_str(), kOtherUser, kOtherUser), 0);
                   }},
        FolderCase{"folder_writable_by_everyone", false,
                   [](const fs::path& f) { ASSERT_EQ(::chmod(f.c_str(), 0777), 0); }},
        FolderCase{"parent_writable_by_the_group", false,
                   [](const fs::path& f) { ASSERT_EQ(::chmod(f.parent_path().c_str(), 0775), 0); }},
        FolderCase{"folder_is_a_link", false,
                   [](const fs::path& f) {
                     fs::rename(f, f.parent_path() / "elsewhere");
                     fs::create_directory_symlink(f.parent_path() / "elsewhere", f);
                   }}),
    [](const testing::TestParamInfo<FolderCase>& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace ql::station
