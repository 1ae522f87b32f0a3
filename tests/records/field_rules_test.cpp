#include "rules/field_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "rules/field_tables.h"

namespace ql::rules {
namespace {

struct TextCase {
  const char* name;
  const char* before;
  const char* after;
};
void PrintTo(const TextCase& c, std::ostream* os) {
  *os << c.name;
}

std::string CaseName(const ::testing::TestParamInfo<TextCase>& info) {
  return info.param.name;
}

// --- ValidateNumericText, kinds W and T ---------------------------------------------

class WholeFieldTyping : public ::testing::TestWithParam<TextCase> {};
TEST_P(WholeFieldTyping, Max365) {
  EXPECT_EQ(ValidateNumericText(GetParam().before, 365, false), GetParam().after);
}
INSTANTIATE_TEST_SUITE_P(ValidateNumericText, WholeFieldTyping,
                         ::testing::Values(TextCase{"AboveMaximumBecomesMaximum", "400", "365"},
                                           TextCase{"LettersInsideAreRemoved", "12a3", "123"},
                                           TextCase{"PointInWholeFieldIsRemoved", "1.5", "15"},
                                           TextCase{"ZeroBecomesNotUsed", "0", "n/a"},
                                           TextCase{"EmptyBecomesNotUsed", "", "n/a"},
                                           TextCase{"SlashDeletedFromNotUsed", "na", "n/a"},
                                           TextCase{"TailDeletedFromNotUsed", "n/", "n/a"},
                                           TextCase{"HeadDeletedFromNotUsed", "/a", "n/a"},
                                           TextCase{"LettersOnlyEndAsNotUsed", "abc", "n/a"},
                                           TextCase{"NotUsedStays", "n/a", "n/a"},
                                           TextCase{"DigitTypedAfterNotUsed", "n/a5", "5"},
                                           TextCase{"MaximumStays", "365", "365"},
                                           TextCase{"HugeNumberIsCapped", "99999999999", "365"}),
                         CaseName);

class DecimalFieldTyping : public ::testing::TestWithParam<TextCase> {};
TEST_P(DecimalFieldTyping, Max1000Tenths) {
  EXPECT_EQ(ValidateNumericText(GetParam().before, 1000, true), GetParam().after);
}
INSTANTIATE_TEST_SUITE_P(ValidateNumericText, DecimalFieldTyping,
                         ::testing::Values(TextCase{"SeveralPointsStay", "1.2.3", "1.2.3"},
                                           TextCase{"ZeroBecomesNotUsed", "0", "n/a"},
                                           TextCase{"ZeroPointZeroStays", "0.0", "0.0"},
                                           TextCase{"AboveMaximumBecomesMaximum", "150.5", "100.0"},
                                           TextCase{"JustAboveMaximum", "100.01", "100.0"},
                                           TextCase{"MaximumStays", "100.0", "100.0"},
                                           TextCase{"SignIsRemoved", "-5.5", "5.5"}),
                         CaseName);

// --- Typing caps of kinds C, Z, B and L --------------------------------------------

struct CapCase {
  const char* name;
  NumericField field;
  const char* before;
  const char* after;
};
void PrintTo(const CapCase& c, std::ostream* os) {
  *os << c.name;
}

class TypingCapTest : public ::testing::TestWithParam<CapCase> {};
TEST_P(TypingCapTest, CapsTheText) {
  EXPECT_EQ(ApplyChangeRule(GetParam().field, GetParam().before), GetParam().after);
}
INSTANTIATE_TEST_SUITE_P(
    Caps, TypingCapTest,
    ::testing::Values(
        CapCase{"CoConcentrationTyped650", kSingleGasConcentration[1], "650", "500"},
        CapCase{"CoConcentrationNegativeCountsAsAbove", kSingleGasConcentration[1], "-1", "500"},
        CapCase{"H2sConcentrationAbove100", kSingleGasConcentration[0], "100.5", "100.0"},
        CapCase{"ConcentrationTypedZeroStays", kSingleGasConcentration[0], "0", "0"},
        CapCase{"ConcentrationNegativeRealCountsAsAbove", kMultiGasConcentration[3], "-2", "200.0"},
        CapCase{"MultiGasCoWholeCapLets500Point5Stay", kMultiGasConcentration[1], "500.5", "500.5"},
        CapCase{"TwaIntervalTyped20", kTwaInterval, "20", "16"},
        CapCase{"TwaIntervalBelowMinimumStaysWhileTyping", kTwaInterval, "2", "2"},
        CapCase{"LelFullScaleCapIsTenTimesMaximum", kLelFullScale, "60", "50.0"},
        CapCase{"LelFullScaleBelowCapStays", kLelFullScale, "7.5", "7.5"},
        CapCase{"CapRemovesNoCharacters", kTwaInterval, "1x", "1x"}),
    [](const auto& row) { return std::string(row.param.name); });

// --- StepNumericField ----------------------------------------------------------------

struct StepCase {
  const char* name;
  NumericField field;
  const char* before;
  Arrow arrow;
  const char* after;
};
void PrintTo(const StepCase& c, std::ostream* os) {
  *os << c.name;
}

class StepTest : public ::testing::TestWithParam<StepCase> {};
TEST_P(StepTest, StepsWithinTheLimits) {
  EXPECT_EQ(StepNumericField(GetParam().field, GetParam().before, GetParam().arrow, true),
            GetParam().after);
}

constexpr NumericField kW365{NumericKind::W, 0, 365, {}};
constexpr NumericField kT1000{NumericKind::T, 0, 1000, {}};
constexpr NumericField kT3000{NumericKind::T, 0, 3000, {}};
constexpr NumericField kC1000{NumericKind::C, 0, 1000, {CapReading::Real, 1000, "100.0"}};
constexpr NumericField kB4to16 = kTwaInterval;
constexpr NumericField kL10to50 = kLelFullScale;

INSTANTIATE_TEST_SUITE_P(
    Spin, StepTest,
    ::testing::Values(
        StepCase{"WUpFromNotUsed", kW365, "n/a", Arrow::Up, "1"},
        StepCase{"WDownFromNotUsedStays", kW365, "n/a", Arrow::Down, "n/a"},
        StepCase{"WDownFromOne", kW365, "1", Arrow::Down, "n/a"},
        StepCase{"WUpAtMaximumStays", kW365, "365", Arrow::Up, "365"},
        StepCase{"TUpFromNotUsed", kT1000, "n/a", Arrow::Up, "0.5"},
        StepCase{"TUpNearMaximumGivesMaximum", kT1000, "99.7", Arrow::Up, "100.0"},
        StepCase{"TDownBelowHalfGivesNotUsed", kT1000, "0.3", Arrow::Down, "n/a"},
        StepCase{"TUpFromTypedTwoDecimals", kT1000, "2.35", Arrow::Up, "2.8"},
        StepCase{"TUpAtMaximumRewritesInForm", kT3000, "300", Arrow::Up, "300.0"},
        StepCase{"H2sLowAlarmUpTo100", kSingleGasAlarm[0], "99.5", Arrow::Up, "100.0"},
        StepCase{"H2sLowAlarmDownToNotUsed", kSingleGasAlarm[0], "0.4", Arrow::Down, "n/a"},
        StepCase{"O2HighAlarmUpTo30", kSingleGasAlarm[2], "29.5", Arrow::Up, "30.0"},
        StepCase{"O2HighAlarmAt30Stays", kSingleGasAlarm[2], "30.0", Arrow::Up, "30.0"},
        StepCase{"CDownAtZeroStays", kC1000, "0.0", Arrow::Down, "0.0"},
        StepCase{"ZCoConcentrationDownAtZero", kSingleGasConcentration[1], "0", Arrow::Down, "0"},
        StepCase{"ZCoConcentrationUpAt500", kSingleGasConcentration[1], "500", Arrow::Up, "500"},
        StepCase{"BDownAtMinimumStays", kB4to16, "4", Arrow::Down, "4"},
        StepCase{"BDownBelowMinimumIsNotRewritten", kB4to16, "2", Arrow::Down, "2"},
        StepCase{"BUp", kB4to16, "8", Arrow::Up, "9"},
        StepCase{"LUpToMaximum", kL10to50, "4.7", Arrow::Up, "5.0"},
        StepCase{"LDownToMinimum", kL10to50, "1.2", Arrow::Down, "1.0"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(StepNumericField, UncheckedRowChangesNothing) {
  EXPECT_EQ(StepNumericField(kW365, "n/a", Arrow::Up, false), "n/a");
  EXPECT_EQ(StepNumericField(kT1000, "10.0", Arrow::Down, false), "10.0");
}

// --- ClampOnLeave ------------------------------------------------------------------

struct LeaveCase {
  const char* name;
  NumericField field;
  const char* before;
  const char* after;
};
void PrintTo(const LeaveCase& c, std::ostream* os) {
  *os << c.name;
}
class LeaveTest : public ::testing::TestWithParam<LeaveCase> {};
TEST_P(LeaveTest, Clamps) {
  EXPECT_EQ(ClampOnLeave(GetParam().field, GetParam().before), GetParam().after);
}
INSTANTIATE_TEST_SUITE_P(
    Leave, LeaveTest,
    ::testing::Values(LeaveCase{"BTypedBelowMinimum", kB4to16, "2", "4"},
                      LeaveCase{"BEmptyBecomesMinimum", kB4to16, "", "4"},
                      LeaveCase{"BNegativeBecomesMaximum", kB4to16, "-3", "16"},
                      LeaveCase{"BMinimumRewrittenUnchanged", kB4to16, "4", "4"},
                      LeaveCase{"BInsideStays", kB4to16, "9", "9"},
                      LeaveCase{"LCapTextBroughtToMaximum", kL10to50, "50.0", "5.0"},
                      LeaveCase{"LBelowMinimum", kL10to50, "0.5", "1.0"},
                      LeaveCase{"LInsideStays", kL10to50, "2.5", "2.5"},
                      LeaveCase{"OtherKindsUntouched", kW365, "12", "12"}),
    [](const auto& row) { return std::string(row.param.name); });

// --- Docking station page -----------------------------------------------------------

TEST(MaximumBumpTime, TypingOverASelectedText) {
  EXPECT_EQ(MaximumBumpTimeChanged("5"), "20");
  EXPECT_EQ(MaximumBumpTimeChanged("205"), "120");  // 20 then a further 5
  EXPECT_EQ(MaximumBumpTimeChanged(""), "20");
  EXPECT_EQ(MaximumBumpTimeChanged("-1"), "120");  // compared unsigned
  EXPECT_EQ(MaximumBumpTimeLeft("20"), "20");
  EXPECT_EQ(MaximumBumpTimeLeft("500"), "120");
}

TEST(MaximumBumpTime, Arrows) {
  EXPECT_EQ(StepMaximumBumpTime("115", Arrow::Up), "120");
  EXPECT_EQ(StepMaximumBumpTime("120", Arrow::Up), "120");
  EXPECT_EQ(StepMaximumBumpTime("20", Arrow::Down), "20");
  EXPECT_EQ(StepMaximumBumpTime("25", Arrow::Down), "20");
  EXPECT_EQ(StepMaximumBumpTime("30", Arrow::Up), "40");
}

TEST(AutoPowerOffTime, DeletedTextShowsOneUntilLeft) {
  EXPECT_EQ(AutoPowerOffTimeChanged(""), "1");
  EXPECT_EQ(AutoPowerOffTimeLeft("1"), "60");
  EXPECT_EQ(AutoPowerOffTimeChanged("4000"), "3600");
  EXPECT_EQ(AutoPowerOffTimeChanged("30"), "30");  // only leaving raises it
  EXPECT_EQ(AutoPowerOffTimeLeft("30"), "60");
  EXPECT_EQ(AutoPowerOffTimeLeft("300"), "300");
}

TEST(AutoPowerOffTime, Arrows) {
  EXPECT_EQ(StepAutoPowerOffTime("59", Arrow::Up), "60");
  EXPECT_EQ(StepAutoPowerOffTime("60", Arrow::Down), "60");
  EXPECT_EQ(StepAutoPowerOffTime("90", Arrow::Down), "60");
  EXPECT_EQ(StepAutoPowerOffTime("3590", Arrow::Up), "3600");  // 3620, then the change rule
  EXPECT_EQ(StepAutoPowerOffTime("300", Arrow::Up), "330");
  EXPECT_EQ(StepAutoPowerOffTime("3600", Arrow::Up), "3600");
}

TEST(LettersAndDigits, RemovesEverythingElse) {
  EXPECT_EQ(KeepLettersAndDigits("A-B C"), "ABC");
  EXPECT_EQ(KeepLettersAndDigits("SN_0042/x"), "SN0042x");
  EXPECT_EQ(KeepLettersAndDigits("Z\xFC"
                                 "rich\xD7"),
            "Z\xFC"
            "rich");  // Latin-1 u-umlaut is a letter, the multiplication sign is not
}

// --- Self-test interval -------------------------------------------------------------

TEST(SelfTestInterval, Typing) {
  EXPECT_EQ(SelfTestIntervalChanged("1"), "1");
  EXPECT_EQ(SelfTestIntervalChanged("15"), "15");
  EXPECT_EQ(SelfTestIntervalChanged("5"), "8");
  EXPECT_EQ(SelfTestIntervalChanged("25"), "20");
  EXPECT_EQ(SelfTestIntervalChanged(""), "n/a");
  EXPECT_EQ(SelfTestIntervalChanged("n/"), "n/a");
  EXPECT_EQ(SelfTestIntervalChanged("0"), "0");
}

TEST(SelfTestInterval, Leaving) {
  EXPECT_EQ(SelfTestIntervalLeft("1"), "8");
  EXPECT_EQ(SelfTestIntervalLeft("0"), "n/a");
  EXPECT_EQ(SelfTestIntervalLeft("n/a"), "n/a");
  EXPECT_EQ(SelfTestIntervalLeft("12"), "12");
}

TEST(SelfTestInterval, Arrows) {
  EXPECT_EQ(StepSelfTestInterval("n/a", Arrow::Up, true), "8");
  EXPECT_EQ(StepSelfTestInterval("8", Arrow::Down, true), "n/a");
  EXPECT_EQ(StepSelfTestInterval("20", Arrow::Up, true), "20");
  EXPECT_EQ(StepSelfTestInterval("12", Arrow::Down, true), "11");
  EXPECT_EQ(StepSelfTestInterval("n/a", Arrow::Up, false), "n/a");
}

}  // namespace
}  // namespace ql::rules
