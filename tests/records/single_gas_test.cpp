#include "records/single_gas.h"

#include <gtest/gtest.h>

#include "tests/records/test_support.h"

namespace ql::records {
namespace {

using test::RawF64;
using test::RawU16;
using test::RawU32;

SingleGasPageValues DefaultPage() {
  SingleGasPageValues page;
  LoadSingleGasDefaults(page);
  return page;
}

TEST(SingleGasOptionsFromPage, ConcentrationsAloneIntoAZeroBuffer) {
  SingleGasPageValues page = DefaultPage();  // 25.0, 100, 18.0, no row checked
  SingleGasOptionRecord record;
  SingleGasOptionsFromPage(page, record);
  const std::uint8_t* b = record.bytes.data();
  EXPECT_EQ(RawU32(b, 0), 112u);
  EXPECT_EQ(RawF64(b, 16), 250.0);
  EXPECT_EQ(RawF64(b, 48), 100.0);
  EXPECT_EQ(RawF64(b, 80), 180.0);
  for (std::size_t i = 4; i < 112; ++i) {
    if ((i >= 16 && i < 24) || (i >= 48 && i < 56) || (i >= 80 && i < 88)) continue;
    EXPECT_EQ(b[i], 0) << i;
  }
}

TEST(SingleGasOptionsFromPage, OnlyLowAlarmChecked) {
  SingleGasPageValues page = DefaultPage();
  page.lowAlarm.checked = true;  // texts 10.0, 30, 19.0
  SingleGasOptionRecord record;
  SingleGasOptionsFromPage(page, record);
  const std::uint8_t* b = record.bytes.data();
  EXPECT_EQ(b[8], 1);
  for (int i : {4, 5, 6, 7, 9, 10}) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(RawU16(b, 42), 100u);
  EXPECT_EQ(RawU16(b, 74), 30u);
  EXPECT_EQ(RawU16(b, 106), 190u);
  EXPECT_EQ(RawU16(b, 44), 0u);  // high alarm untouched
}

TEST(SingleGasOptionsFromPage, EveryRowAtItsOffsets) {
  SingleGasPageValues page = DefaultPage();
  page.userId = {true, {"ALPHA", "BRAVO", "CHARLIE"}};
  page.calibrationInterval = {true, {"30", "n/a", "365"}};
  page.bumpInterval = {true, {"1", "2", "3"}};
  page.selfTestInterval = {true, {"8", "n/a", "20"}};
  page.lowAlarm = {true, {"n/a", "35", "19.5"}};
  page.highAlarm = {true, {"2.35", "300", "30.0"}};
  page.display = {true, {0, 1, 0}};
  SingleGasOptionRecord record;
  SingleGasOptionsFromPage(page, record);
  const std::uint8_t* b = record.bytes.data();
  for (std::size_t i = 4; i <= 10; ++i) EXPECT_EQ(b[i], 1) << i;
  for (std::size_t i = 11; i < 16; ++i) EXPECT_EQ(b[i], 0) << i;
  struct Expected {
    std::size_t block;
    const char* userId;
    unsigned cal, bump, self, low, high, display;
  };
  for (const Expected& e :
       {Expected{16, "ALPHA", 30, 1, 8, 0, 23, 0}, Expected{48, "BRAVO", 0, 2, 0, 35, 300, 1},
        Expected{80, "CHARLIE", 365, 3, 20, 195, 300, 0}}) {
    SCOPED_TRACE(e.block);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + e.block + 8)), e.userId);
    EXPECT_EQ(RawU16(b, e.block + 20), e.cal);
    EXPECT_EQ(RawU16(b, e.block + 22), e.bump);
    EXPECT_EQ(RawU16(b, e.block + 24), e.self);
    EXPECT_EQ(RawU16(b, e.block + 26), e.low);
    EXPECT_EQ(RawU16(b, e.block + 28), e.high);
    EXPECT_EQ(RawU16(b, e.block + 30), e.display);
  }
}

TEST(SingleGasOptionsFromPage, UncheckedRowsKeepWhatTheBufferHeld) {
  SingleGasOptionRecord record;
  record.SetRowFlag(SingleGasRow::BumpInterval, 1);
  record.SetSetting(kCO, SingleGasRow::BumpInterval, 77);
  record.SetUserId(kO2, "OLD");
  SingleGasPageValues page = DefaultPage();
  page.userId.checked = false;
  page.bumpInterval.checked = false;
  SingleGasOptionsFromPage(page, record);
  EXPECT_EQ(record.RowFlag(SingleGasRow::BumpInterval), 1);
  EXPECT_EQ(record.Setting(kCO, SingleGasRow::BumpInterval), 77);
  EXPECT_EQ(record.UserId(kO2), "OLD");
}

TEST(SingleGasOptionsToPage, ZeroValuesShowAsTheirFieldsWould) {
  SingleGasOptionRecord record;
  record.SetRowFlag(SingleGasRow::CalibrationInterval, 1);  // H2S interval 0
  record.SetRowFlag(SingleGasRow::LowAlarm, 1);             // all alarms 0
  SingleGasPageValues page = DefaultPage();
  SingleGasOptionsToPage(record, page);
  EXPECT_TRUE(page.calibrationInterval.checked);
  EXPECT_EQ(page.calibrationInterval.text[kH2S], "n/a");
  EXPECT_EQ(page.lowAlarm.text[kH2S], "0.0");
  EXPECT_EQ(page.lowAlarm.text[kCO], "n/a");
  EXPECT_EQ(page.lowAlarm.text[kO2], "0.0");
  EXPECT_EQ(page.concentration[kH2S], "0.0");
  EXPECT_EQ(page.concentration[kCO], "0");
}

TEST(SingleGasOptionsToPage, UnflaggedRowsKeepTheirTexts) {
  SingleGasPageValues page = DefaultPage();
  page.highAlarm.checked = true;
  page.highAlarm.text = {"12.5", "55", "22.0"};
  page.userId.text = {"KEEP", "ME", "PLEASE"};
  SingleGasOptionRecord record;
  record.SetSetting(kH2S, SingleGasRow::HighAlarm, 999);
  SingleGasOptionsToPage(record, page);
  EXPECT_FALSE(page.highAlarm.checked);
  EXPECT_EQ(page.highAlarm.text[kH2S], "12.5");
  EXPECT_EQ(page.userId.text[kO2], "PLEASE");
}

TEST(SingleGasOptionsToPage, OutOfRangeValuesAreShownClampedAndListsKeepTheirSelection) {
  SingleGasOptionRecord record;
  record.SetConcentration(kH2S, 1500.0);  // 150.0
  record.SetConcentration(kCO, 900.0);
  record.SetRowFlag(SingleGasRow::SelfTestInterval, 1);
  record.SetSetting(kH2S, SingleGasRow::SelfTestInterval, 5);
  record.SetSetting(kCO, SingleGasRow::SelfTestInterval, 0);
  record.SetRowFlag(SingleGasRow::Display, 1);
  record.SetSetting(kO2, SingleGasRow::Display, 4);
  SingleGasPageValues page = DefaultPage();  // displays "Sensor"
  SingleGasOptionsToPage(record, page);
  EXPECT_EQ(page.concentration[kH2S], "100.0");
  EXPECT_EQ(page.concentration[kCO], "500");
  EXPECT_EQ(page.selfTestInterval.text[kH2S], "8");
  EXPECT_EQ(page.selfTestInterval.text[kCO], "0");  // typing-in-progress text stays
  EXPECT_EQ(page.display.index[kO2], 1);
}

TEST(SingleGasOptionsToPage, NonFiniteCoConcentrationDoesNotReachAnIntConversion) {
  SingleGasOptionRecord record;
  record.SetConcentration(kCO, std::numeric_limits<double>::quiet_NaN());
  record.SetConcentration(kO2, -std::numeric_limits<double>::infinity());
  SingleGasPageValues page = DefaultPage();
  SingleGasOptionsToPage(record, page);
  EXPECT_EQ(page.concentration[kCO], "500");
  EXPECT_EQ(page.concentration[kO2], "-inf");  // shown as it is; the record check refuses it
}

struct RoundTripCase {
  const char* name;
  void (*edit)(SingleGasPageValues&);
};
void PrintTo(const RoundTripCase& c, std::ostream* os) {
  *os << c.name;
}

class SingleGasRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(SingleGasRoundTrip, SameBytes) {
  SingleGasPageValues page = DefaultPage();
  GetParam().edit(page);
  SingleGasOptionRecord first;
  SingleGasOptionsFromPage(page, first);
  SingleGasPageValues decoded = DefaultPage();
  SingleGasOptionsToPage(first, decoded);
  SingleGasOptionRecord second;  // the write paths zero the buffer
  SingleGasOptionsFromPage(decoded, second);
  EXPECT_EQ(first.bytes, second.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SingleGasRoundTrip,
    ::testing::Values(RoundTripCase{"NoRows", [](SingleGasPageValues&) {}},
                      RoundTripCase{"AllRowsDefaults",
                                    [](SingleGasPageValues& p) {
                                      p.userId.checked = p.calibrationInterval.checked =
                                          p.bumpInterval.checked = p.selfTestInterval.checked =
                                              p.lowAlarm.checked = p.highAlarm.checked =
                                                  p.display.checked = true;
                                    }},
                      RoundTripCase{
                          "TwelveCharacterUserIds",
                          [](SingleGasPageValues& p) {
                            p.userId = {true, {"ABCDEFGHIJKL", "MNOPQRSTUVWX", "0123456789AB"}};
                          }},
                      RoundTripCase{"LimitsAndNotUsed",
                                    [](SingleGasPageValues& p) {
                                      p.calibrationInterval = {true, {"365", "n/a", "1"}};
                                      p.selfTestInterval = {true, {"20", "8", "n/a"}};
                                      p.lowAlarm = {true, {"100.0", "300", "0.1"}};
                                      p.highAlarm = {true, {"n/a", "1", "30.0"}};
                                      p.concentration = {"100.0", "500", "0.0"};
                                    }},
                      RoundTripCase{"ConcentrationFractions",
                                    [](SingleGasPageValues& p) {
                                      p.concentration = {"0.1", "0", "20.9"};
                                    }}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace ql::records
