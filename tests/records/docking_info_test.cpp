#include "records/docking_info.h"

#include <gtest/gtest.h>

#include "tests/records/test_support.h"

namespace ql::records {
namespace {

using test::RawU16;
using test::RawU32;

DockingPageValues FullPage() {
  DockingPageValues page;
  page.serialNumber = "DS00012345";
  page.version = "0412";
  page.location = "Bay7";
  page.autoPowerOffTime = "900";
  page.maximumBumpTime = "60";
  page.gasExpirationDate = {2027, 3, 31};
  page.gasBottleLot = "20240117";
  page.bumpResultDecision = 2;
  page.switches = {true, false, false, true, false};
  return page;
}

TEST(DockingInfoFromPage, PutsEveryFieldAtItsOffset) {
  DockingInfoRecord record;
  record.bytes.fill(0xCC);  // every byte is written
  DockingInfoFromPage(FullPage(), record);
  const std::uint8_t* b = record.bytes.data();
  EXPECT_EQ(RawU32(b, 0), 64u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 4), 10), "DS00012345");
  EXPECT_EQ(b[14], 0);
  EXPECT_EQ(b[15], 0);
  EXPECT_EQ(RawU16(b, 16), 412u);
  EXPECT_EQ(RawU16(b, 18), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 20), 4), "Bay7");
  for (std::size_t i = 24; i < 32; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(RawU16(b, 32), 900u);
  EXPECT_EQ(RawU16(b, 34), 60u);
  EXPECT_EQ(RawU16(b, 36), 2027u);
  EXPECT_EQ(b[38], 3);
  EXPECT_EQ(b[39], 31);
  EXPECT_EQ(RawU32(b, 40), 20240117u);
  EXPECT_EQ(RawU32(b, 44), 1u);
  EXPECT_EQ(RawU32(b, 48), 0u);
  EXPECT_EQ(RawU32(b, 52), 0u);
  EXPECT_EQ(RawU32(b, 56), 1u);
  EXPECT_EQ(RawU32(b, 60), 0u);
}

TEST(DockingInfoFromPage, SerialNumberPaddingAndTwelveCharacters) {
  DockingPageValues page = FullPage();
  DockingInfoRecord record;
  page.serialNumber = "AB12";
  DockingInfoFromPage(page, record);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record.bytes[4]), 4), "AB12");
  for (std::size_t i = 8; i < 16; ++i) EXPECT_EQ(record.bytes[i], 0) << i;

  page.serialNumber = "ABCDEFGHIJKL";
  DockingInfoFromPage(page, record);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record.bytes[4]), 12), "ABCDEFGHIJKL");
  EXPECT_EQ(RawU16(record.bytes.data(), 16), 412u);  // no NUL spilled into the version
}

TEST(DockingInfoFromPage, EmptyPageStillWritesLength64AndVersionZero) {
  DockingInfoRecord record;
  DockingInfoFromPage(DockingPageValues{}, record);
  EXPECT_EQ(RawU32(record.bytes.data(), 0), 64u);
  EXPECT_EQ(RawU16(record.bytes.data(), 16), 0u);
}

TEST(DockingInfoFromPage, AtoiSemanticsAndSixteenBitCut) {
  DockingPageValues page = FullPage();
  page.version = "70000";       // low 16 bits
  page.gasBottleLot = "12abc";  // leading digits
  DockingInfoRecord record;
  DockingInfoFromPage(page, record);
  EXPECT_EQ(RawU16(record.bytes.data(), 16), 70000u % 65536u);
  EXPECT_EQ(RawU32(record.bytes.data(), 40), 12u);
}

TEST(DockingInfoToPage, ShowsUnsignedVersionAndSignedLot) {
  DockingInfoRecord record;
  record.bytes[16] = 0xFF;
  record.bytes[17] = 0xFF;
  for (std::size_t i = 40; i < 44; ++i) record.bytes[i] = 0xFF;
  DockingPageValues page;
  DockingInfoToPage(record, page);
  EXPECT_EQ(page.version, "65535");
  EXPECT_EQ(page.gasBottleLot, "-1");
}

TEST(DockingInfoToPage, TwelveNonNulCharactersDecodeWhole) {
  DockingInfoRecord record;
  const std::string twelve = "XY0123456789";
  std::copy(twelve.begin(), twelve.end(), record.bytes.begin() + 4);
  record.bytes[16] = 7;  // the version right after must not leak into the text
  DockingPageValues page;
  DockingInfoToPage(record, page);
  EXPECT_EQ(page.serialNumber, twelve);
}

TEST(DockingInfoToPage, TextsPassThroughTheirChangeRules) {
  DockingInfoRecord record;
  DockingInfoFromPage(FullPage(), record);
  record.SetSerialNumber("SN-01 A");
  record.SetLocation("Dock #3");
  record.SetMaximumBumpTime(500);
  record.SetAutoPowerOffTime(0);
  DockingPageValues page;
  DockingInfoToPage(record, page);
  EXPECT_EQ(page.serialNumber, "SN01A");
  EXPECT_EQ(page.location, "Dock3");
  EXPECT_EQ(page.maximumBumpTime, "120");
  EXPECT_EQ(page.autoPowerOffTime, "1");

  // A later write sends the filtered serial number.
  DockingInfoRecord again;
  DockingInfoFromPage(page, again);
  EXPECT_EQ(again.SerialNumber(), "SN01A");
}

TEST(DockingInfoToPage, ControlsKeepWhatTheyCannotShow) {
  DockingInfoRecord record;  // all-zero date
  record.SetBumpResultDecision(7);
  record.SetSwitch(DockingSwitch::BumpTests, 2);
  DockingPageValues page;
  page.gasExpirationDate = {2026, 12, 10};
  page.bumpResultDecision = 1;
  DockingInfoToPage(record, page);
  EXPECT_EQ(page.gasExpirationDate, (PageDate{2026, 12, 10}));
  EXPECT_EQ(page.bumpResultDecision, 1);
  EXPECT_TRUE(page.Switch(DockingSwitch::BumpTests));  // nonzero is checked

  record.SetGasExpirationDate(2025, 2, 29);  // not a date
  DockingInfoToPage(record, page);
  EXPECT_EQ(page.gasExpirationDate, (PageDate{2026, 12, 10}));
  record.SetGasExpirationDate(2028, 2, 29);
  DockingInfoToPage(record, page);
  EXPECT_EQ(page.gasExpirationDate, (PageDate{2028, 2, 29}));
}

TEST(LoadDockingDefaults, StartValuesAndKeptFields) {
  DockingPageValues page = FullPage();
  LoadDockingDefaults(page);
  EXPECT_EQ(page.autoPowerOffTime, "300");
  EXPECT_EQ(page.maximumBumpTime, "30");
  EXPECT_EQ(page.bumpResultDecision, 0);
  EXPECT_TRUE(page.Switch(DockingSwitch::Calibrate));
  EXPECT_TRUE(page.Switch(DockingSwitch::BumpTests));
  EXPECT_FALSE(page.Switch(DockingSwitch::AllowHibernate));
  EXPECT_TRUE(page.Switch(DockingSwitch::UpdateDetectorConfigurations));
  EXPECT_TRUE(page.Switch(DockingSwitch::UpdateDetectorFirmware));
  EXPECT_EQ(page.serialNumber, "DS00012345");
  EXPECT_EQ(page.gasBottleLot, "20240117");
}

// encode -> bytes -> decode -> encode gives the same bytes.
struct RoundTripCase {
  const char* name;
  void (*edit)(DockingPageValues&);
};
void PrintTo(const RoundTripCase& c, std::ostream* os) {
  *os << c.name;
}

class DockingRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(DockingRoundTrip, SameBytes) {
  DockingPageValues page = FullPage();
  GetParam().edit(page);
  DockingInfoRecord first;
  DockingInfoFromPage(page, first);
  DockingPageValues decoded;
  DockingInfoToPage(first, decoded);
  DockingInfoRecord second;
  second.bytes.fill(0xAB);
  DockingInfoFromPage(decoded, second);
  EXPECT_EQ(first.bytes, second.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DockingRoundTrip,
    ::testing::Values(RoundTripCase{"Typical", [](DockingPageValues&) {}},
                      RoundTripCase{"TwelveCharacterTexts",
                                    [](DockingPageValues& p) {
                                      p.serialNumber = "ABCDEFGHIJKL";
                                      p.location = "MNOPQRSTUVWX";
                                    }},
                      RoundTripCase{"VersionAndLotExtremes",
                                    [](DockingPageValues& p) {
                                      p.version = "65535";
                                      p.gasBottleLot = "-1";
                                    }},
                      RoundTripCase{"LotLimits",
                                    [](DockingPageValues& p) { p.gasBottleLot = "2147483647"; }},
                      RoundTripCase{"EmptyTextsAndAllSwitches",
                                    [](DockingPageValues& p) {
                                      p.serialNumber.clear();
                                      p.location.clear();
                                      p.version.clear();
                                      p.switches = {true, true, true, true, true};
                                    }},
                      RoundTripCase{"TimeLimits",
                                    [](DockingPageValues& p) {
                                      p.autoPowerOffTime = "3600";
                                      p.maximumBumpTime = "20";
                                      p.gasExpirationDate = {9999, 12, 31};
                                    }}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace ql::records
