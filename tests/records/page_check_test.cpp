// The checks of page values that a command-line writer runs before it sends anything.

#include <gtest/gtest.h>

#include "records/docking_info.h"
#include "records/multi_gas.h"
#include "records/single_gas.h"

namespace ql::records {
namespace {

DockingPageValues GoodDockingPage() {
  DockingPageValues page;
  LoadDockingDefaults(page);
  page.serialNumber = "SN1";
  page.gasExpirationDate = {2027, 1, 31};
  return page;
}

SingleGasPageValues GoodSingleGasPage() {
  SingleGasPageValues page;
  LoadSingleGasDefaults(page);
  page.userId.checked = page.calibrationInterval.checked = page.bumpInterval.checked =
      page.selfTestInterval.checked = page.lowAlarm.checked = page.highAlarm.checked =
          page.display.checked = true;
  return page;
}

MultiGasPageValues GoodMultiGasPage() {
  MultiGasPageValues page;
  LoadMultiGasDefaults(page);
  page.calibrationInterval.checked = page.bumpInterval.checked = page.lowAlarm.checked =
      page.highAlarm.checked = page.twaAlarm.checked = page.stelAlarm.checked = true;
  page.userId.checked = page.language.checked = page.twaMethod.checked = true;
  page.twaInterval.checked = page.stelInterval.checked = page.lelFullScale.checked = true;
  return page;
}

TEST(PageChecks, StartValuesPass) {
  EXPECT_EQ(CheckDockingPage(GoodDockingPage()), std::nullopt);
  EXPECT_EQ(CheckSingleGasPage(GoodSingleGasPage()), std::nullopt);
  EXPECT_EQ(CheckMultiGasPage(GoodMultiGasPage()), std::nullopt);
}

struct DockingCase {
  const char* name;
  void (*edit)(DockingPageValues&);
  const char* refusal;
};
void PrintTo(const DockingCase& c, std::ostream* os) {
  *os << c.name;
}

class DockingChecks : public ::testing::TestWithParam<DockingCase> {};
TEST_P(DockingChecks, FirstRefusedField) {
  DockingPageValues page = GoodDockingPage();
  GetParam().edit(page);
  EXPECT_EQ(CheckDockingPage(page), std::optional<std::string>(GetParam().refusal));
}
INSTANTIATE_TEST_SUITE_P(
    Fields, DockingChecks,
    ::testing::Values(
        DockingCase{"BumpTimeAbove", [](DockingPageValues& p) { p.maximumBumpTime = "500"; },
                    "Maximum Bump Time: 500 is outside 20 to 120"},
        DockingCase{"BumpTimeBelow", [](DockingPageValues& p) { p.maximumBumpTime = "5"; },
                    "Maximum Bump Time: 5 is outside 20 to 120"},
        DockingCase{"PowerOffNotYetLeft", [](DockingPageValues& p) { p.autoPowerOffTime = "1"; },
                    "Auto Power-Off Time: 1 is outside 60 to 3600"},
        DockingCase{"PowerOffNotANumber", [](DockingPageValues& p) { p.autoPowerOffTime = "5min"; },
                    "Auto Power-Off Time: 5min is not a number"},
        DockingCase{"LocationPunctuation", [](DockingPageValues& p) { p.location = "A-B"; },
                    "Location: A-B may hold letters and digits only"},
        DockingCase{"SerialTooLong", [](DockingPageValues& p) { p.serialNumber = "ABCDEFGHIJKLM"; },
                    "Serial Number: ABCDEFGHIJKLM is longer than 12 characters"},
        DockingCase{"VersionTooLarge", [](DockingPageValues& p) { p.version = "70000"; },
                    "Version: 70000 is outside 0 to 65535"},
        DockingCase{"LotTooLarge", [](DockingPageValues& p) { p.gasBottleLot = "99999999999"; },
                    "Gas Bottle Lot #: 99999999999 is outside -2147483648 to 2147483647"},
        DockingCase{"NoDate", [](DockingPageValues& p) { p.gasExpirationDate = {}; },
                    "Gas Expiration Date: 0000-00-00 is outside 1752-09-14 to 9999-12-31"},
        DockingCase{"NotADay",
                    [](DockingPageValues& p) {
                      p.gasExpirationDate = {2027, 2, 29};
                    },
                    "Gas Expiration Date: 2027-02-29 is outside 1752-09-14 to 9999-12-31"},
        DockingCase{"DecisionOutsideList", [](DockingPageValues& p) { p.bumpResultDecision = 3; },
                    "Bump Result Decision: 3 is outside 0 to 2"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DockingChecks, EmptyVersionAndLotOfAFreshPagePass) {
  DockingPageValues page = GoodDockingPage();
  page.version.clear();
  page.gasBottleLot.clear();
  EXPECT_EQ(CheckDockingPage(page), std::nullopt);
  page.gasBottleLot = "-1";  // as a station may report it
  EXPECT_EQ(CheckDockingPage(page), std::nullopt);
}

TEST(DockingChecks, RecordCheckSeesWhatDecodingWouldClamp) {
  DockingInfoRecord record;
  DockingInfoFromPage(GoodDockingPage(), record);
  EXPECT_EQ(CheckDockingRecord(record), std::nullopt);

  record.SetMaximumBumpTime(500);
  DockingPageValues shown = GoodDockingPage();
  DockingInfoToPage(record, shown);
  EXPECT_EQ(shown.maximumBumpTime, "120");  // the page would show and send 120
  EXPECT_EQ(CheckDockingPage(shown), std::nullopt);
  EXPECT_EQ(CheckDockingRecord(record), "Maximum Bump Time: 500 is outside 20 to 120");

  record.SetMaximumBumpTime(30);
  record.SetSwitch(DockingSwitch::AllowHibernate, 2);
  EXPECT_EQ(CheckDockingRecord(record), "Allow Hibernate: 2 is outside 0 to 1");

  DockingInfoRecord zeros;  // a station that was never set up
  EXPECT_EQ(CheckDockingRecord(zeros), "Auto Power-Off Time: 0 is outside 60 to 3600");
}

struct SingleGasCase {
  const char* name;
  void (*edit)(SingleGasPageValues&);
  const char* refusal;
};
void PrintTo(const SingleGasCase& c, std::ostream* os) {
  *os << c.name;
}

class SingleGasChecks : public ::testing::TestWithParam<SingleGasCase> {};
TEST_P(SingleGasChecks, FirstRefusedField) {
  SingleGasPageValues page = GoodSingleGasPage();
  GetParam().edit(page);
  EXPECT_EQ(CheckSingleGasPage(page), std::optional<std::string>(GetParam().refusal));
}
INSTANTIATE_TEST_SUITE_P(
    Fields, SingleGasChecks,
    ::testing::Values(
        SingleGasCase{"SelfTestStillBeingTyped",
                      [](SingleGasPageValues& p) { p.selfTestInterval.text[kCO] = "1"; },
                      "Self-Test Interval (Hours) CO: 1 is outside 8 to 20"},
        SingleGasCase{"CalibrationAboveAYear",
                      [](SingleGasPageValues& p) { p.calibrationInterval.text[kO2] = "366"; },
                      "Calibration Interval (Days) O2: 366 is outside 1 to 365"},
        SingleGasCase{"H2sLowAlarmAbove",
                      [](SingleGasPageValues& p) { p.lowAlarm.text[kH2S] = "100.1"; },
                      "Low Alarm H2S: 100.1 is outside 0.1 to 100.0"},
        SingleGasCase{"CoHighAlarmAbove",
                      [](SingleGasPageValues& p) { p.highAlarm.text[kCO] = "301"; },
                      "High Alarm CO: 301 is outside 1 to 300"},
        SingleGasCase{"CoAlarmWithDecimals",
                      [](SingleGasPageValues& p) { p.highAlarm.text[kCO] = "30.5"; },
                      "High Alarm CO: 30.5 is not a number"},
        SingleGasCase{"O2AlarmAbove",
                      [](SingleGasPageValues& p) { p.highAlarm.text[kO2] = "35.0"; },
                      "High Alarm O2: 35.0 is outside 0.1 to 30.0"},
        SingleGasCase{"ConcentrationNotUsedIsNotANumber",
                      [](SingleGasPageValues& p) { p.concentration[kH2S] = "n/a"; },
                      "Gas Concentration H2S: n/a is not a number"},
        SingleGasCase{"CoConcentrationAbove",
                      [](SingleGasPageValues& p) { p.concentration[kCO] = "501"; },
                      "Gas Concentration CO: 501 is outside 0 to 500"},
        SingleGasCase{"UserIdTooLong",
                      [](SingleGasPageValues& p) { p.userId.text[kCO] = "0123456789ABC"; },
                      "User ID CO: 0123456789ABC is longer than 12 characters"},
        SingleGasCase{"DisplayOutsideList",
                      [](SingleGasPageValues& p) { p.display.index[kH2S] = -1; },
                      "Display H2S: -1 is outside 0 to 1"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SingleGasChecks, UncheckedRowsAreNotWrittenSoNotChecked) {
  SingleGasPageValues page = GoodSingleGasPage();
  page.lowAlarm.checked = false;
  page.lowAlarm.text[kH2S] = "999";
  EXPECT_EQ(CheckSingleGasPage(page), std::nullopt);
}

TEST(SingleGasChecks, NotUsedAndZeroPass) {
  SingleGasPageValues page = GoodSingleGasPage();
  page.lowAlarm.text = {"n/a", "n/a", "0.0"};
  page.selfTestInterval.text = {"0", "n/a", "20"};
  EXPECT_EQ(CheckSingleGasPage(page), std::nullopt);
}

TEST(SingleGasChecks, RecordCheckRefusesWhatThePageWouldClamp) {
  SingleGasOptionRecord record;
  SingleGasOptionsFromPage(GoodSingleGasPage(), record);
  EXPECT_EQ(CheckSingleGasRecord(record), std::nullopt);
  record.SetSetting(kH2S, SingleGasRow::LowAlarm, 2000);
  EXPECT_EQ(CheckSingleGasRecord(record), "Low Alarm H2S: 200.0 is outside 0.1 to 100.0");
  record.SetSetting(kH2S, SingleGasRow::LowAlarm, 100);
  record.SetConcentration(kO2, std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(CheckSingleGasRecord(record), "Gas Concentration O2: nan is not a number");
  record.SetConcentration(kO2, 180.0);
  record.SetRowFlag(SingleGasRow::HighAlarm, 3);
  EXPECT_EQ(CheckSingleGasRecord(record), "High Alarm: 3 is outside 0 to 1");
}

struct MultiGasCase {
  const char* name;
  void (*edit)(MultiGasPageValues&);
  const char* refusal;
};
void PrintTo(const MultiGasCase& c, std::ostream* os) {
  *os << c.name;
}

class MultiGasChecks : public ::testing::TestWithParam<MultiGasCase> {};
TEST_P(MultiGasChecks, FirstRefusedField) {
  MultiGasPageValues page = GoodMultiGasPage();
  GetParam().edit(page);
  EXPECT_EQ(CheckMultiGasPage(page), std::optional<std::string>(GetParam().refusal));
}
INSTANTIATE_TEST_SUITE_P(
    Fields, MultiGasChecks,
    ::testing::Values(MultiGasCase{"LelFullScaleNotYetLeft",
                                   [](MultiGasPageValues& p) { p.lelFullScale.text = "7.0"; },
                                   "100% LEL: 7.0 is outside 1.0 to 5.0"},
                      MultiGasCase{"TwaIntervalNotYetLeft",
                                   [](MultiGasPageValues& p) { p.twaInterval.text = "2"; },
                                   "TWA Intr: 2 is outside 4 to 16"},
                      MultiGasCase{"StelIntervalAbove",
                                   [](MultiGasPageValues& p) { p.stelInterval.text = "16"; },
                                   "STEL Intr: 16 is outside 5 to 15"},
                      MultiGasCase{"CoConcentrationTypedPastTheWholeCap",
                                   [](MultiGasPageValues& p) { p.concentration[kCO] = "500.5"; },
                                   "Gas Concentration CO: 500.5 is outside 0.0 to 500.0"},
                      MultiGasCase{"CoLowAlarmAbove",
                                   [](MultiGasPageValues& p) { p.lowAlarm.text[kCO] = "300.5"; },
                                   "Low Alarm CO: 300.5 is outside 0.1 to 300.0"},
                      MultiGasCase{"StelAlarmAbove",
                                   [](MultiGasPageValues& p) { p.stelAlarm.text[kH2S] = "100.5"; },
                                   "STEL Alarm H2S: 100.5 is outside 0.1 to 100.0"},
                      MultiGasCase{"LanguageOutsideList",
                                   [](MultiGasPageValues& p) { p.language.index = 6; },
                                   "Language: 6 is outside 0 to 5"},
                      MultiGasCase{"DaysNotANumber",
                                   [](MultiGasPageValues& p) { p.bumpInterval.text[kLEL] = "1.5"; },
                                   "Bump Interval (Days) LEL: 1.5 is not a number"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(MultiGasChecks, RecordCheckRefusesWhatThePageWouldClamp) {
  MultiGasOptionRecord record;
  MultiGasOptionsFromPage(GoodMultiGasPage(), record);
  EXPECT_EQ(CheckMultiGasRecord(record), std::nullopt);
  record.SetTwaInterval(40);
  EXPECT_EQ(CheckMultiGasRecord(record), "TWA Intr: 40 is outside 4 to 16");
  record.SetTwaInterval(8);
  record.SetFlag(MultiGasFlag::OffLock, 255);
  EXPECT_EQ(CheckMultiGasRecord(record), "OFF Lock: 255 is outside 0 to 1");
}

// Whatever passes the check is encoded faithfully: decoding the bytes shows the same
// values again.
TEST(PageChecks, CheckedValuesSurviveEncodeAndDecode) {
  const MultiGasPageValues page = GoodMultiGasPage();
  MultiGasOptionRecord record;
  MultiGasOptionsFromPage(page, record);
  EXPECT_EQ(CheckMultiGasRecord(record), std::nullopt);
  MultiGasPageValues decoded;
  MultiGasOptionsToPage(record, decoded);
  EXPECT_EQ(decoded.lowAlarm.text, (std::array<std::string, 4>{"10.0", "30.0", "19.0", "10.0"}));
  EXPECT_EQ(decoded.lelFullScale.text, "2.5");
  EXPECT_EQ(decoded.twaMethod.index, 1);
}

}  // namespace
}  // namespace ql::records
