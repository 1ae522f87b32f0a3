#include "rules/numeric_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace ql::rules {
namespace {

// In-range texts: the C library (in the "C" locale of a test process) is the reference.
TEST(Atoi, AgreesWithTheCLibrary) {
  for (const char* text : {"", "0", "42", "  42x", "\t-17", "+5", "n/a", "12a3", "abc", "-", "007",
                           "2147483647", "-2147483648", " + 3", "1 2"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Atoi(text), std::atoi(text));
  }
}

TEST(Atoi, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(Atoi("2147483648"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(Atoi("99999999999999999999999"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(Atoi("-99999999999"), std::numeric_limits<std::int32_t>::min());
}

TEST(Atof, AgreesWithTheCLibraryOnDecimalTexts) {
  for (const char* text : {"",
                           "0",
                           "25.0",
                           "2.35",
                           "  -1.5e2x",
                           ".5",
                           "5.",
                           "1.2.3",
                           "n/a",
                           "+3.25",
                           "0.1",
                           "1e-3",
                           "1e",
                           "1e+",
                           "12abc",
                           "-",
                           ".",
                           "100.05",
                           "123456789012345678901234567890",
                           "1.7976931348623157e308"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Atof(text), std::strtod(text, nullptr));
  }
}

TEST(Atof, OutOfRangeAndNonDecimalForms) {
  EXPECT_EQ(Atof("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(Atof("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(Atof("1e-400"), 0.0);
  // The fields never hold these; they read as no number at all.
  EXPECT_EQ(Atof("inf"), 0.0);
  EXPECT_EQ(Atof("nan"), 0.0);
  EXPECT_EQ(Atof("0x10"), 0.0);
}

TEST(AtofTenths, TruncatesTowardZeroOnTheDecimalDigits) {
  struct Case {
    const char* text;
    std::int64_t tenths;
  };
  for (const Case& c : {Case{"2.35", 23}, Case{"2.3", 23}, Case{"0.3", 3}, Case{"-2.35", -23},
                        Case{"1e1", 100}, Case{"2.5e-1", 2}, Case{"n/a", 0}, Case{".5", 5},
                        Case{"1.2.3", 12}, Case{"", 0}, Case{"300", 3000}, Case{"0.09", 0},
                        Case{"99999999999999999999", std::numeric_limits<std::int64_t>::max()},
                        Case{"-99999999999999999999", std::numeric_limits<std::int64_t>::min()}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(AtofTenths(c.text), c.tenths);
  }
}

TEST(AtofTenths, ReadsBackEveryOneDecimalText) {
  for (std::int64_t v = 0; v <= 65535; ++v) {
    ASSERT_EQ(AtofTenths(FormatTenths(v)), v) << v;
  }
}

TEST(FormatTenths, MatchesPrintfOneDecimal) {
  char expected[64];
  for (std::int64_t v = -70000; v <= 70000; ++v) {
    std::snprintf(expected, sizeof expected, "%.1f", static_cast<double>(v) / 10.0);
    ASSERT_EQ(FormatTenths(v), expected) << v;
  }
}

TEST(FormatOneDecimal, MatchesPrintfOneDecimal) {
  char expected[512];
  for (double v : {0.0, -0.0, 25.0, 2.25, 2.35, 0.05, 99.95, 1e20, -3.14159, 1e300, 6553.5}) {
    std::snprintf(expected, sizeof expected, "%.1f", v);
    EXPECT_EQ(FormatOneDecimal(v), expected) << v;
  }
}

TEST(FormatWhole, IsPrintfD) {
  EXPECT_EQ(FormatWhole(0), "0");
  EXPECT_EQ(FormatWhole(65535), "65535");
  EXPECT_EQ(FormatWhole(-1), "-1");
}

}  // namespace
}  // namespace ql::rules
