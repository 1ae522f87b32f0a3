#include "records/multi_gas.h"

#include <gtest/gtest.h>

#include "tests/records/test_support.h"

namespace ql::records {
namespace {

using test::RawU16;
using test::RawU32;

MultiGasPageValues DefaultPage() {
  MultiGasPageValues page;
  LoadMultiGasDefaults(page);
  return page;
}

MultiGasPageValues EveryRowChecked() {
  MultiGasPageValues page = DefaultPage();
  page.calibrationInterval = {true, {"180", "90", "n/a", "30"}};
  page.bumpInterval = {true, {"1", "2", "3", "4"}};
  page.lowAlarm.checked = true;   // 10.0, 30, 19.0, 10.0
  page.highAlarm.checked = true;  // 30.0, 60, 23.0, 30.0
  page.twaAlarm.checked = true;   // 30.0, 60.0
  page.stelAlarm.checked = true;  // 10.0, 30.0
  page.userId = {true, "CREW-7"};
  page.language = {true, 3};
  page.twaMethod = {true, 0};
  page.twaInterval = {true, "12"};
  page.stelInterval = {true, "10"};
  page.lelFullScale = {true, "4.4"};
  page.safeDisplay = page.maintenanceNotification = page.autoZero = page.offLock = true;
  return page;
}

TEST(MultiGasOptionsFromPage, PutsEveryFieldAtItsOffset) {
  MultiGasOptionRecord record;
  MultiGasOptionsFromPage(EveryRowChecked(), record);
  const std::uint8_t* b = record.bytes.data();
  EXPECT_EQ(RawU32(b, 0), 100u);
  for (std::size_t i = 4; i <= 15; ++i) EXPECT_EQ(b[i], 1) << i;
  const std::uint8_t options[] = {1, 0, 1, 0, 1, 0, 1};
  for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(b[16 + i], options[i]) << 16 + i;
  EXPECT_EQ(b[23], 0);
  const unsigned expected[][4] = {{180, 90, 0, 30},       // 24 days
                                  {1, 2, 3, 4},           // 32 days
                                  {100, 300, 190, 100},   // 40 tenths
                                  {300, 600, 230, 300}};  // 48 tenths
  for (std::size_t row = 0; row < 4; ++row) {
    for (std::size_t gas = 0; gas < 4; ++gas) {
      EXPECT_EQ(RawU16(b, 24 + 8 * row + 2 * gas), expected[row][gas]) << row << "/" << gas;
    }
  }
  EXPECT_EQ(RawU16(b, 56), 300u);  // TWA H2S
  EXPECT_EQ(RawU16(b, 58), 600u);
  EXPECT_EQ(RawU32(b, 60), 0u);
  EXPECT_EQ(RawU16(b, 64), 100u);  // STEL H2S
  EXPECT_EQ(RawU16(b, 66), 300u);
  EXPECT_EQ(RawU32(b, 68), 0u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 72)), "CREW-7");
  for (std::size_t i = 78; i < 84; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[84], 3);
  EXPECT_EQ(b[85], 0);
  EXPECT_EQ(b[86], 12);
  EXPECT_EQ(b[87], 10);
  EXPECT_EQ(RawU16(b, 88), 44u);
  EXPECT_EQ(RawU16(b, 90), 250u);
  EXPECT_EQ(RawU16(b, 92), 1000u);
  EXPECT_EQ(RawU16(b, 94), 170u);
  EXPECT_EQ(RawU16(b, 96), 500u);
  EXPECT_EQ(RawU16(b, 98), 0u);
}

TEST(MultiGasOptionsFromPage, ConcentrationsAreWrittenWithNoRowChecked) {
  MultiGasOptionRecord record;
  MultiGasOptionsFromPage(DefaultPage(), record);
  for (std::size_t i = 4; i < 90; ++i) EXPECT_EQ(record.bytes[i], 0) << i;
  EXPECT_EQ(RawU16(record.bytes.data(), 90), 250u);
  EXPECT_EQ(RawU16(record.bytes.data(), 96), 500u);
}

TEST(MultiGasOptionsFromPage, UncheckedRowGoesOutAsZerosWhateverTheBufferHeld) {
  MultiGasOptionRecord record;
  MultiGasOptionsFromPage(EveryRowChecked(), record);  // an earlier read
  MultiGasPageValues page = EveryRowChecked();
  page.lowAlarm.checked = false;
  page.userId.checked = false;
  MultiGasOptionsFromPage(page, record);
  EXPECT_EQ(record.bytes[6], 0);
  for (std::size_t i = 40; i < 48; ++i) EXPECT_EQ(record.bytes[i], 0) << i;
  EXPECT_EQ(record.bytes[10], 0);
  for (std::size_t i = 72; i < 84; ++i) EXPECT_EQ(record.bytes[i], 0) << i;
  EXPECT_EQ(RawU16(record.bytes.data(), 48), 300u);  // a checked row is still there
}

TEST(MultiGasOptionsFromPage, TwelveCharacterUserIdHasNoTerminator) {
  MultiGasPageValues page = DefaultPage();
  page.userId = {true, "ABCDEFGHIJKLMNOP"};  // only 12 fit
  MultiGasOptionRecord record;
  MultiGasOptionsFromPage(page, record);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record.bytes[72]), 12), "ABCDEFGHIJKL");
  EXPECT_EQ(record.bytes[84], 0);  // the language byte after it
  MultiGasPageValues decoded = DefaultPage();
  MultiGasOptionsToPage(record, decoded);
  EXPECT_EQ(decoded.userId.text, "ABCDEFGHIJKL");
}

TEST(MultiGasOptionsToPage, ZeroDaysShowNotUsedAndZeroAlarmsShowZero) {
  MultiGasOptionRecord record;
  record.SetFlag(MultiGasFlag::CalibrationInterval, 1);
  record.SetFlag(MultiGasFlag::LowAlarm, 1);
  MultiGasPageValues page = DefaultPage();
  MultiGasOptionsToPage(record, page);
  EXPECT_EQ(page.calibrationInterval.text[kH2S], "n/a");
  EXPECT_EQ(page.lowAlarm.text[kCO], "0.0");
  EXPECT_TRUE(page.lowAlarm.checked);
  EXPECT_FALSE(page.highAlarm.checked);
  EXPECT_EQ(page.highAlarm.text[kCO], "60");  // unflagged: text kept
}

TEST(MultiGasOptionsToPage, TextsPassThroughTheirCaps) {
  MultiGasOptionRecord record;
  record.SetFlag(MultiGasFlag::TwaInterval, 1);
  record.SetTwaInterval(40);
  record.SetFlag(MultiGasFlag::LelFullScale, 1);
  record.SetLelFullScale(700);  // 70.0: above the 50.0 cap
  record.SetFlag(MultiGasFlag::HighAlarm, 1);
  record.SetValue(MultiGasArray::HighAlarm, kO2, 400);  // 40.0 above 30.0
  record.SetValue(MultiGasArray::Concentration, kLEL, 2500);
  MultiGasPageValues page = DefaultPage();
  MultiGasOptionsToPage(record, page);
  EXPECT_EQ(page.twaInterval.text, "16");
  EXPECT_EQ(page.lelFullScale.text, "50.0");
  EXPECT_EQ(page.highAlarm.text[kO2], "30.0");
  EXPECT_EQ(page.concentration[kLEL], "200.0");
}

TEST(MultiGasOptionsToPage, HiddenLanguageSurvivesReadAndWrite) {
  MultiGasOptionRecord read;
  read.SetFlag(MultiGasFlag::Language, 1);
  read.SetLanguage(5);
  MultiGasPageValues page = DefaultPage();
  MultiGasOptionsToPage(read, page);
  MultiGasOptionRecord written;
  MultiGasOptionsFromPage(page, written);
  EXPECT_EQ(written.Flag(MultiGasFlag::Language), 1);
  EXPECT_EQ(written.Language(), 5);
}

TEST(MultiGasOptionsToPage, IndexOutsideTheListKeepsTheSelection) {
  MultiGasOptionRecord record;
  record.SetFlag(MultiGasFlag::TwaMethod, 1);
  record.SetTwaMethod(9);
  MultiGasPageValues page = DefaultPage();  // "OSHA"
  MultiGasOptionsToPage(record, page);
  EXPECT_TRUE(page.twaMethod.checked);
  EXPECT_EQ(page.twaMethod.index, 1);
}

struct RoundTripCase {
  const char* name;
  void (*edit)(MultiGasPageValues&);
};
void PrintTo(const RoundTripCase& c, std::ostream* os) {
  *os << c.name;
}

class MultiGasRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(MultiGasRoundTrip, SameBytes) {
  MultiGasPageValues page = DefaultPage();
  GetParam().edit(page);
  MultiGasOptionRecord first;
  MultiGasOptionsFromPage(page, first);
  MultiGasPageValues decoded = DefaultPage();
  MultiGasOptionsToPage(first, decoded);
  MultiGasOptionRecord second;
  second.bytes.fill(0xEE);  // the encoder starts from zeros itself
  MultiGasOptionsFromPage(decoded, second);
  EXPECT_EQ(first.bytes, second.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Values, MultiGasRoundTrip,
    ::testing::Values(RoundTripCase{"NoRows", [](MultiGasPageValues&) {}},
                      RoundTripCase{"EveryRow",
                                    [](MultiGasPageValues& p) { p = EveryRowChecked(); }},
                      RoundTripCase{"TwelveCharacterUserId",
                                    [](MultiGasPageValues& p) {
                                      p.userId = {true, "ABCDEFGHIJKL"};
                                    }},
                      RoundTripCase{"Limits",
                                    [](MultiGasPageValues& p) {
                                      p.calibrationInterval = {true, {"365", "1", "n/a", "365"}};
                                      p.lowAlarm = {true, {"100.0", "300.0", "30.0", "0.1"}};
                                      p.twaInterval = {true, "4"};
                                      p.stelInterval = {true, "15"};
                                      p.lelFullScale = {true, "1.0"};
                                      p.concentration = {"100.0", "500.0", "0.0", "200.0"};
                                      p.dockLock = p.latchingAlarms = p.lelByVolumeCh4 = true;
                                    }}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace ql::records
