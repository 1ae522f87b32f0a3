#include "io/md5.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ql::io {
namespace {

struct DigestCase {
  const char* name;
  std::string input;
  const char* hex;
};
void PrintTo(const DigestCase& c, std::ostream* os) {
  *os << c.name;
}

std::span<const std::uint8_t> AsBytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string HexOf(const Md5Digest& d) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string s;
  for (auto b : d) {
    s.push_back(kHex[b >> 4]);
    s.push_back(kHex[b & 15]);
  }
  return s;
}

// RFC 1321 appendix A.5, and runs of "a" around the padding boundaries (digests from
// coreutils md5sum).
const std::vector<DigestCase>& Cases() {
  static const std::vector<DigestCase> cases = {
      {"Empty", "", "d41d8cd98f00b204e9800998ecf8427e"},
      {"A", "a", "0cc175b9c0f1b6a831c399e269772661"},
      {"Abc", "abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"MessageDigest", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"Alphabet", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"AlphaNumeric", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"Digits80",
       "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      {"A55", std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
      {"A56", std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
      {"A63", std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
      {"A64", std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
      {"A65", std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
      {"A1000", std::string(1000, 'a'), "cabe45dcc9ae5b66ba86600cca6b8ba8"},
  };
  return cases;
}

class Md5Digests : public ::testing::TestWithParam<DigestCase> {};

TEST_P(Md5Digests, HexMatchesReference) {
  EXPECT_EQ(Md5Hex(AsBytes(GetParam().input)), GetParam().hex);
}

TEST_P(Md5Digests, EverySplitInTwoGivesTheSameDigest) {
  const std::string& input = GetParam().input;
  for (std::size_t cut = 0; cut <= input.size(); ++cut) {
    SCOPED_TRACE(cut);
    Md5Context ctx;
    Md5Init(ctx);
    Md5Update(ctx, AsBytes(input).subspan(0, cut));
    Md5Update(ctx, AsBytes(input).subspan(cut));
    EXPECT_EQ(HexOf(Md5Final(ctx)), GetParam().hex);
  }
}

TEST_P(Md5Digests, ByteByByteGivesTheSameDigest) {
  const std::string& input = GetParam().input;
  Md5Context ctx;
  Md5Init(ctx);
  for (std::size_t i = 0; i < input.size(); ++i) Md5Update(ctx, AsBytes(input).subspan(i, 1));
  EXPECT_EQ(HexOf(Md5Final(ctx)), GetParam().hex);
}

INSTANTIATE_TEST_SUITE_P(Rfc1321AndBoundaries, Md5Digests, ::testing::ValuesIn(Cases()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(Md5, ContextCanBeReusedAfterInit) {
  Md5Context ctx;
  Md5Init(ctx);
  const std::string first = "message digest";
  Md5Update(ctx, AsBytes(first));
  Md5Final(ctx);
  Md5Init(ctx);
  const std::string second = "abc";
  Md5Update(ctx, AsBytes(second));
  EXPECT_EQ(HexOf(Md5Final(ctx)), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5, TwoHexResultsDoNotOverwriteEachOther) {
  const std::string a = "a";
  const std::string b = "abc";
  const std::string first = Md5Hex(AsBytes(a));
  const std::string second = Md5Hex(AsBytes(b));
  EXPECT_EQ(first, "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(second, "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
}  // namespace ql::io
