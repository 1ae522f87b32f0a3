// A file the folder sink stores gets the permissions any other new file gets (the umask's),
// not the private ones of its temporary file. POSIX permissions: Linux only.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "records/folder_sink.h"
#include "tests/ymodem/support.h"

namespace ql::records {
namespace {

TEST(FolderSinkPermissions, ACommittedFileGetsTheUsualPermissions) {
  link::testsupport::TempDir root;
  FolderSink sink(root.Path());
  const ::mode_t mask = ::umask(022);
  ::umask(mask);
  ASSERT_TRUE(sink.BeginFile("a.bin", 1).ok());
  ASSERT_TRUE(sink.Write(link::testsupport::Bytes{1}).ok());
  ASSERT_TRUE(sink.Commit().ok());
  const auto perms = std::filesystem::status(root.Path() / "a.bin").permissions();
  EXPECT_EQ(static_cast<::mode_t>(perms), 0666 & ~mask);  // readable as any other file
}

}  // namespace
}  // namespace ql::records
