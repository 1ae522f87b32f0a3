// The folder sink: on its own, and behind the YMODEM receiver against a scripted sender
// in virtual time, checked on the disk.

#include "records/folder_sink.h"

#include <gtest/gtest.h>

#include "link/ymodem.h"
#include "tests/ymodem/support.h"

namespace ql::records {
namespace {

using namespace link::testsupport;
using link::ErrorKind;
using link::ReceiveOutcome;

class FolderSinkTest : public testing::Test {
 protected:
  FolderSinkTest() { std::filesystem::create_directory(folder_); }

  static std::span<const std::uint8_t> Span(const Bytes& b) { return b; }

  TempDir root_;
  const std::filesystem::path folder_ = root_.Path() / "in";
  FolderSink sink_{folder_};
};

TEST_F(FolderSinkTest, AFileInProgressIsHiddenUntilCommitted) {
  ASSERT_TRUE(sink_.Prepare().ok());
  const Bytes content = Pattern(3000);
  ASSERT_TRUE(sink_.BeginFile("a.bin", content.size()).ok());
  ASSERT_TRUE(sink_.Write(Span(content).first(1000)).ok());
  ASSERT_TRUE(sink_.Write(Span(content).subspan(1000)).ok());
  const std::vector<std::string> during = Entries(folder_);
  ASSERT_EQ(during.size(), 1u);
  EXPECT_EQ(during[0].front(), '.');  // a hidden temporary name, not the real one
  EXPECT_FALSE(std::filesystem::exists(folder_ / "a.bin"));

  ASSERT_TRUE(sink_.Commit().ok());
  EXPECT_EQ(Entries(folder_), (std::vector<std::string>{"a.bin"}));
  EXPECT_EQ(ReadFile(folder_ / "a.bin"), content);
}

TEST_F(FolderSinkTest, AbortLeavesNothingAndKeepsTheOlderFile) {
  WriteFile(folder_ / "a.bin", {'o', 'l', 'd'});
  ASSERT_TRUE(sink_.BeginFile("a.bin", 100).ok());
  ASSERT_TRUE(sink_.Write(Pattern(50)).ok());
  sink_.Abort();
  EXPECT_EQ(Entries(folder_), (std::vector<std::string>{"a.bin"}));
  EXPECT_EQ(ReadFile(folder_ / "a.bin"), (Bytes{'o', 'l', 'd'}));
}

TEST_F(FolderSinkTest, ASinkGoneWithAFileOpenLeavesNothing) {
  {
    FolderSink sink(folder_);
    ASSERT_TRUE(sink.BeginFile("a.bin", 100).ok());
    ASSERT_TRUE(sink.Write(Pattern(50)).ok());
  }
  EXPECT_TRUE(Entries(folder_).empty());
}

TEST_F(FolderSinkTest, MoreBytesThanDeclaredAreRefusedAndTheFileDropped) {
  ASSERT_TRUE(sink_.BeginFile("a.bin", 100).ok());
  ASSERT_TRUE(sink_.Write(Pattern(60)).ok());
  EXPECT_EQ(sink_.Write(Pattern(41)).kind, ErrorKind::BadArgument);
  EXPECT_FALSE(sink_.Commit().ok());
  EXPECT_TRUE(Entries(folder_).empty());
}

TEST_F(FolderSinkTest, ALinkUnderTheNameIsReplacedAndItsTargetLeftAlone) {
  const std::filesystem::path target = root_.Path() / "elsewhere";
  WriteFile(target, {'k', 'e', 'e', 'p'});
  std::error_code ec;
  std::filesystem::create_symlink(target, folder_ / "a.bin", ec);
  if (ec) GTEST_SKIP() << "no symbolic link can be made here: " << ec.message();
  const Bytes content = Pattern(10);
  ASSERT_TRUE(sink_.BeginFile("a.bin", content.size()).ok());
  ASSERT_TRUE(sink_.Write(content).ok());
  ASSERT_TRUE(sink_.Commit().ok());
  EXPECT_FALSE(std::filesystem::is_symlink(folder_ / "a.bin"));
  EXPECT_EQ(ReadFile(folder_ / "a.bin"), content);
  EXPECT_EQ(ReadFile(target), (Bytes{'k', 'e', 'e', 'p'}));
}

TEST_F(FolderSinkTest, AFolderThatWentAwayIsNamedInTheMessage) {
  std::filesystem::remove(folder_);
  const link::Status s = sink_.BeginFile("a.bin", 10);
  EXPECT_EQ(s.kind, ErrorKind::Io);
  EXPECT_EQ(s.message.rfind("cannot create a.bin in " + folder_.string() + ": ", 0), 0u)
      << s.message;
  EXPECT_EQ(sink_.Prepare().kind, ErrorKind::BadArgument);
}

// The receiver checks names first; the sink, where names become paths, refuses them too.
struct NameCase {
  const char* label;
  const char* name;
};
void PrintTo(const NameCase& c, std::ostream* os) {
  *os << c.label;
}

class FolderSinkNames : public FolderSinkTest, public testing::WithParamInterface<NameCase> {};

TEST_P(FolderSinkNames, AreRefusedAndNothingIsCreated) {
  EXPECT_FALSE(sink_.BeginFile(GetParam().name, 10).ok());
  EXPECT_TRUE(Entries(folder_).empty());
  EXPECT_EQ(Entries(root_.Path()), (std::vector<std::string>{"in"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderSinkNames,
    testing::Values(NameCase{"empty", ""}, NameCase{"dot", "."}, NameCase{"parent", ".."},
                    NameCase{"climbs_out", "../evil.txt"}, NameCase{"sub_folder", "sub/a.bin"},
                    NameCase{"absolute", "/etc/a"}),
    [](const testing::TestParamInfo<NameCase>& row) { return std::string(row.param.label); });

// The receiver and the folder sink together.
class ReceiveIntoFolder : public FolderSinkTest {
 protected:
  ReceiveOutcome Receive() {
    ReceiveOutcome outcome;
    RunInVirtualTime(clock_, {{&stream_, [&] { outcome = engine_.Receive(sink_); }}});
    return outcome;
  }

  link::VirtualClock clock_;
  link::TransferStream stream_{clock_};
  ScriptedPeer peer_{stream_};
  link::CYmodem engine_{stream_, peer_};
};

TEST_F(ReceiveIntoFolder, AFailedFileLeavesNoTruncatedFileButKeepsTheFilesBefore) {
  const Bytes a = Pattern(700, 1);
  const Bytes old = {'o', 'l', 'd'};
  WriteFile(folder_ / "b.bin", old);
  stream_.Feed(Header("a.bin", "700"));
  peer_.Script(
      {DataBlocks(a)[0], {kEot}, Header("b.bin", "3000"), DataBlocks(Pattern(3000))[0], {}});
  const ReceiveOutcome outcome = Receive();
  EXPECT_EQ(outcome.status.kind, ErrorKind::Timeout);
  EXPECT_EQ(outcome.total, 0u);
  EXPECT_EQ(outcome.files, (std::vector<std::string>{"a.bin"}));
  EXPECT_EQ(ReadFile(folder_ / "a.bin"), a);
  EXPECT_EQ(ReadFile(folder_ / "b.bin"), old);
  EXPECT_EQ(Entries(folder_), (std::vector<std::string>{"a.bin", "b.bin"}));
}

TEST_F(ReceiveIntoFolder, AnExistingFileIsReplacedWhenTheNewOneIsComplete) {
  WriteFile(folder_ / "a.bin", Bytes(5000, 'x'));
  const Bytes content = Pattern(300);
  stream_.Feed(Header("a.bin", "300"));
  peer_.Script({DataBlocks(content)[0], {kEot}, BatchEnd()});
  ASSERT_TRUE(Receive().status.ok());
  EXPECT_EQ(ReadFile(folder_ / "a.bin"), content);
}

TEST_F(ReceiveIntoFolder, AFileThatCannotBeStoredCancelsAndLeavesNoTrace) {
  std::filesystem::create_directory(folder_ / "taken");  // a folder holds the name
  stream_.Feed(Header("taken", "300"));
  peer_.Script({DataBlocks(Pattern(300))[0], {kEot}});
  const ReceiveOutcome outcome = Receive();
  EXPECT_EQ(outcome.status.kind, ErrorKind::Io);
  EXPECT_EQ(outcome.status.message.rfind("cannot store taken: ", 0), 0u) << outcome.status.message;
  EXPECT_TRUE(outcome.files.empty());
  EXPECT_EQ(peer_.Writes().back(), (Bytes{kCan, kCan}));
  EXPECT_EQ(Entries(folder_), (std::vector<std::string>{"taken"}));
  EXPECT_TRUE(std::filesystem::is_empty(folder_ / "taken"));
}

TEST_F(ReceiveIntoFolder, AMissingFolderIsRefusedBeforeAnythingIsSent) {
  std::filesystem::remove(folder_);
  stream_.Feed(Header("a.bin", "300"));
  const ReceiveOutcome outcome = Receive();
  EXPECT_EQ(outcome.status.kind, ErrorKind::BadArgument);
  EXPECT_EQ(outcome.status.message, folder_.string() + " is not a folder");
  EXPECT_TRUE(peer_.Writes().empty());
}

}  // namespace
}  // namespace ql::records
