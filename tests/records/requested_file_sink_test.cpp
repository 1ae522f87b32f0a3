// The sink that lets through only the requested file, in front of a folder sink.

#include "records/requested_file_sink.h"

#include <gtest/gtest.h>

#include "records/folder_sink.h"
#include "tests/ymodem/support.h"

namespace ql::records {
namespace {

using namespace link::testsupport;
using link::ErrorKind;

class RequestedFileSinkTest : public testing::Test {
 protected:
  // Offers one whole file of `size` bytes named `name`; the status of its begin.
  link::Status Offer(std::string_view name, std::size_t size = 100) {
    const link::Status begun = sink_.BeginFile(name, size);
    if (!begun.ok()) return begun;
    EXPECT_TRUE(sink_.Write(Pattern(size)).ok());
    EXPECT_TRUE(sink_.Commit().ok());
    return begun;
  }

  TempDir folder_;
  FolderSink inner_{folder_.Path()};
  RequestedFileSink sink_{inner_, "EVT1.LOG"};
};

struct OfferCase {
  const char* label;
  const char* requested;
  const char* offered;
  bool stored;
};
void PrintTo(const OfferCase& c, std::ostream* os) {
  *os << c.label;
}

class RequestedFileSinkOffers : public testing::TestWithParam<OfferCase> {};

TEST_P(RequestedFileSinkOffers, OnlyTheRequestedNameIsStored) {
  const OfferCase& c = GetParam();
  TempDir folder;
  FolderSink inner(folder.Path());
  RequestedFileSink sink(inner, c.requested);
  ASSERT_TRUE(sink.Prepare().ok());
  const link::Status begun = sink.BeginFile(c.offered, 10);
  if (!c.stored) {
    EXPECT_EQ(begun.kind, ErrorKind::Protocol);
    EXPECT_NE(begun.message.find(c.offered), std::string::npos) << begun.message;
    EXPECT_TRUE(Entries(folder.Path()).empty()) << "nothing reached the folder";
    return;
  }
  ASSERT_TRUE(begun.ok()) << begun.message;
  ASSERT_TRUE(sink.Write(Pattern(10)).ok());
  ASSERT_TRUE(sink.Commit().ok());
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{c.offered});
}

INSTANTIATE_TEST_SUITE_P(
    Names, RequestedFileSinkOffers,
    testing::Values(OfferCase{"TheRequestedName", "EVT1.LOG", "EVT1.LOG", true},
                    OfferCase{"AnotherName", "EVT1.LOG", ".bashrc", false},
                    OfferCase{"AnotherCase", "EVT1.LOG", "evt1.log", false},
                    OfferCase{"APrefixOfIt", "EVT1.LOG", "EVT1", false},
                    OfferCase{"ADotNameEvenWhenAskedFor", ".profile", ".profile", false}),
    [](const testing::TestParamInfo<OfferCase>& row) { return std::string(row.param.label); });

TEST_F(RequestedFileSinkTest, ASecondFileIsRefusedWhateverItsName) {
  ASSERT_TRUE(sink_.Prepare().ok());
  ASSERT_TRUE(Offer("EVT1.LOG").ok());
  const Bytes first = ReadFile(folder_.Path() / "EVT1.LOG");
  for (const char* name : {"EVT1.LOG", "EVT2.LOG"}) {
    SCOPED_TRACE(name);
    const link::Status again = sink_.BeginFile(name, 5);
    EXPECT_EQ(again.kind, ErrorKind::Protocol);
    EXPECT_NE(again.message.find("second file"), std::string::npos) << again.message;
  }
  EXPECT_EQ(Entries(folder_.Path()), std::vector<std::string>{"EVT1.LOG"});
  EXPECT_EQ(ReadFile(folder_.Path() / "EVT1.LOG"), first) << "the stored file is untouched";
}

TEST_F(RequestedFileSinkTest, TheInnerSinksRefusalComesThrough) {
  std::filesystem::remove_all(folder_.Path());
  EXPECT_EQ(sink_.Prepare().kind, ErrorKind::BadArgument);
  EXPECT_EQ(sink_.BeginFile("EVT1.LOG", 5).kind, ErrorKind::Io);
}

}  // namespace
}  // namespace ql::records
