#include "records/certificate_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ql::records {
namespace {

// Gas order of the arrays: LEL, O2, CO, H2S.
CertificateRecord FourGas() {
  CertificateRecord r;
  r.year = 2016;
  r.month = 3;
  r.day = 5;
  r.productCode = "RVX";
  r.serialNumber = "RVX310402";
  r.gasLot = 1234;
  r.calibration = {500, 209, 1005, 250};
  r.reading = {498, 181, 1003, 249};
  r.lowAlarm = {100, 195, 350, 100};
  r.highAlarm = {200, 235, 2000, 155};
  r.stel = {77, 77, 1000, 50};
  r.twa = {66, 66, 250, 10};
  r.gasFlags = {1, 1, 1, 1};
  r.gasType = kCertificateFourGas;
  r.result = kCertificatePass;
  return r;
}

CertificateRecord SingleGas(std::uint8_t gasType) {
  CertificateRecord r = FourGas();
  r.productCode = "TKL";
  r.gasType = gasType;
  r.gasFlags = {0, 0, 0, 0};  // not consulted for a single gas
  r.calibration = {11, 209, 100, 250};
  r.reading = {12, 208, 99, 251};
  r.lowAlarm = {13, 195, 35, 100};
  r.highAlarm = {14, 235, 200, 155};
  return r;
}

using Table = std::vector<std::vector<std::string>>;

// --- Values, names, result and date -----------------------------------------------

struct ValueCase {
  const char* name;
  CertificateGas gas;
  std::uint16_t value;
  bool fourGas;
  const char* shown;
};
void PrintTo(const ValueCase& c, std::ostream* os) {
  *os << c.name;
}
class CertificateValueFormat : public testing::TestWithParam<ValueCase> {};

TEST_P(CertificateValueFormat, ShowsTheValueInItsGasFormat) {
  const ValueCase& c = GetParam();
  EXPECT_EQ(FormatCertificateValue(c.gas, c.value, c.fourGas), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CertificateValueFormat,
    testing::Values(ValueCase{"O2TenthsFourGas", CertificateGas::O2, 209, true, "20.9"},
                    ValueCase{"O2TenthsSingleGas", CertificateGas::O2, 209, false, "20.9"},
                    ValueCase{"CoFourGasTruncated", CertificateGas::Co, 1005, true, "100"},
                    ValueCase{"CoFourGasBelowOneUnit", CertificateGas::Co, 9, true, "0"},
                    ValueCase{"CoSingleGasAsItIs", CertificateGas::Co, 100, false, "100"},
                    ValueCase{"H2sTenths", CertificateGas::H2s, 5, true, "0.5"},
                    ValueCase{"H2sLargest", CertificateGas::H2s, 65535, false, "6553.5"},
                    ValueCase{"LelTruncated", CertificateGas::Lel, 509, true, "50"},
                    ValueCase{"CoSingleGasLargest", CertificateGas::Co, 65535, false, "65535"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CertificateNames, ProductNameOnlyForTheExactCodes) {
  EXPECT_EQ(ShownProductName("RVX"), "Merovane RVX");
  EXPECT_EQ(ShownProductName("TKL"), "Merovane TKL");
  EXPECT_EQ(ShownProductName("TKL+"), "Merovane TKL+");
  EXPECT_EQ(ShownProductName("tkl"), "tkl");
  EXPECT_EQ(ShownProductName("RVX "), "RVX ");
  EXPECT_EQ(ShownProductName(""), "");
  EXPECT_EQ(ShownProductName("ABCDEFGHIJKL"), "ABCDEFGHIJKL");
}

TEST(CertificateNames, ResultTexts) {
  EXPECT_EQ(ResultText(1), "Pass");
  EXPECT_EQ(ResultText(2), "Fail");
  EXPECT_EQ(ResultText(3), "None");
  EXPECT_EQ(ResultText(0), "None");
  EXPECT_EQ(ResultText(255), "None");
}

TEST(CertificateNames, DateIsDayMonthYearPadded) {
  CertificateRecord r = FourGas();
  EXPECT_EQ(CalibrationDateText(r), "05-03-2016");
  r.day = 31;
  r.month = 12;
  r.year = 999;
  EXPECT_EQ(CalibrationDateText(r), "31-12-0999");
  r.day = INT32_MIN;
  r.month = INT32_MAX;
  r.year = INT32_MIN;
  EXPECT_EQ(CalibrationDateText(r), "-2147483648-2147483647--2147483648");
}

TEST(CertificateNames, FullWidthTextsAndShortPayloadsFromTheBytes) {
  std::vector<std::uint8_t> bytes(kCertificateRecordSize, 0);
  for (std::size_t i = 24; i < 48; ++i) bytes[i] = static_cast<std::uint8_t>('A' + (i - 24) % 26);
  const CertificateRecord full = CertificateRecord::FromBytes(bytes);
  EXPECT_EQ(ShownProductName(full.productCode), "ABCDEFGHIJKL");
  EXPECT_EQ(full.serialNumber, "MNOPQRSTUVWX");

  // Cut just before the gas type: the rest reads as zero, so nothing is loaded.
  CertificateRecord four = FourGas();
  const auto whole = four.Bytes();
  const CertificateRecord cut =
      CertificateRecord::FromBytes(std::span<const std::uint8_t>(whole.data(), 104));
  EXPECT_EQ(cut.gasType, kCertificateNoData);
  EXPECT_EQ(ResultText(cut.result), "None");
  EXPECT_EQ(cut.calibration, four.calibration);
}

// --- Tables ---------------------------------------------------------------------

struct TableCase {
  const char* name;
  CertificateRecord record;
  bool printed;
  std::vector<std::string> titles;
  std::vector<int> widths;
  Table rows;
};
void PrintTo(const TableCase& c, std::ostream* os) {
  *os << c.name;
}
class CertificateTables : public testing::TestWithParam<TableCase> {};

TEST_P(CertificateTables, BuildsTheRowsAndColumns) {
  const TableCase& c = GetParam();
  const CertificateTable t =
      c.printed ? PrintedCertificateTable(c.record) : OnScreenCertificateTable(c.record);
  std::vector<std::string> titles;
  std::vector<int> widths;
  for (const auto& col : t.columns) {
    titles.push_back(col.title);
    widths.push_back(col.width);
  }
  EXPECT_EQ(titles, c.titles);
  EXPECT_EQ(widths, c.widths);
  EXPECT_EQ(t.rows, c.rows);
  if (!c.printed) {
    EXPECT_FALSE(t.columns[0].centred);
    for (std::size_t i = 1; i < t.columns.size(); ++i) EXPECT_TRUE(t.columns[i].centred);
  }
}

CertificateRecord WithFlags(CertificateRecord r, std::array<std::uint8_t, 4> flags) {
  r.gasFlags = flags;
  return r;
}

const std::vector<std::string> kFourTitles = {" ", "O2(%)", "CO(ppm)", "H2S(ppm)", "LEL(%)"};
const std::vector<std::string> kPrintedFourTitles = {"", "O2(%)", "CO(ppm)", "H2S(ppm)", "LEL(%)"};
const std::vector<int> kFourWidths = {134, 59, 59, 59, 59};
const std::vector<int> kPrintedFourWidths = {750, 750, 750, 750, 750};

INSTANTIATE_TEST_SUITE_P(
    Tables, CertificateTables,
    testing::Values(
        TableCase{"FourGasAllFlags",
                  FourGas(),
                  false,
                  kFourTitles,
                  kFourWidths,
                  {{"Calibration Concentration", "20.9", "100", "25.0", "50"},
                   {"Reading", "18.1", "100", "24.9", "49"},
                   {"Low Alarm", "19.5", "35", "10.0", "10"},
                   {"High Alarm", "23.5", "200", "15.5", "20"},
                   {"STEL Alarm", " ", "100", "5.0", " "},
                   {"TWA Alarm", " ", "25", "1.0", " "}}},
        // LEL flag 0: "-" in rows 1-4 of its column, its STEL and TWA cells stay " ".
        TableCase{"FourGasLelWithoutValues",
                  WithFlags(FourGas(), {0, 1, 1, 1}),
                  false,
                  kFourTitles,
                  kFourWidths,
                  {{"Calibration Concentration", "20.9", "100", "25.0", "-"},
                   {"Reading", "18.1", "100", "24.9", "-"},
                   {"Low Alarm", "19.5", "35", "10.0", "-"},
                   {"High Alarm", "23.5", "200", "15.5", "-"},
                   {"STEL Alarm", " ", "100", "5.0", " "},
                   {"TWA Alarm", " ", "25", "1.0", " "}}},
        // Only the flag value 1 counts; CO and H2S lose all six rows.
        TableCase{"FourGasFlagsOtherThanOne",
                  WithFlags(FourGas(), {1, 2, 0xFF, 0}),
                  false,
                  kFourTitles,
                  kFourWidths,
                  {{"Calibration Concentration", "-", "-", "-", "50"},
                   {"Reading", "-", "-", "-", "49"},
                   {"Low Alarm", "-", "-", "-", "10"},
                   {"High Alarm", "-", "-", "-", "20"},
                   {"STEL Alarm", " ", "-", "-", " "},
                   {"TWA Alarm", " ", "-", "-", " "}}},
        TableCase{"PrintedFourGasO2WithoutValues",
                  WithFlags(FourGas(), {1, 0, 1, 1}),
                  true,
                  kPrintedFourTitles,
                  kPrintedFourWidths,
                  {{"Cal Conc", "-", "100", "25.0", "50"},
                   {"Reading", "-", "100", "24.9", "49"},
                   {"Low Alarm", "-", "35", "10.0", "10"},
                   {"High Alarm", "-", "200", "15.5", "20"},
                   {"STEL Alarm", "", "100", "5.0", ""},
                   {"TWA Alarm", "", "25", "1.0", ""}}},
        TableCase{"SingleGasCoValueItself",
                  SingleGas(kCertificateCo),
                  false,
                  {" ", "CO(ppm)"},
                  {134, 236},
                  {{"Calibration Concentration", "100"},
                   {"Reading", "99"},
                   {"Low Alarm", "35"},
                   {"High Alarm", "200"}}},
        TableCase{"SingleGasO2",
                  SingleGas(kCertificateO2),
                  false,
                  {" ", "O2(%)"},
                  {134, 236},
                  {{"Calibration Concentration", "20.9"},
                   {"Reading", "20.8"},
                   {"Low Alarm", "19.5"},
                   {"High Alarm", "23.5"}}},
        TableCase{"PrintedSingleGasH2s",
                  SingleGas(kCertificateH2s),
                  true,
                  {"", "H2S(ppm)"},
                  {750, 750},
                  {{"Cal Conc", "25.0"},
                   {"Reading", "25.1"},
                   {"Low Alarm", "10.0"},
                   {"High Alarm", "15.5"}}},
        TableCase{"UnknownGasTypeBlankColumn",
                  SingleGas(7),
                  false,
                  {" ", " "},
                  {134, 236},
                  {{"Calibration Concentration", " "},
                   {"Reading", " "},
                   {"Low Alarm", " "},
                   {"High Alarm", " "}}},
        TableCase{"PrintedUnknownGasTypeLabelsOnly",
                  SingleGas(7),
                  true,
                  {"", ""},
                  {750, 750},
                  {{"Cal Conc", ""}, {"Reading", ""}, {"Low Alarm", ""}, {"High Alarm", ""}}}),
    [](const auto& row) { return std::string(row.param.name); });

// --- Signature names --------------------------------------------------------------

TEST(CertificateSignatureName, KeepsLettersDigitsAndSpacesUpToTwenty) {
  EXPECT_EQ(CleanSignatureName("A.B-C 1"), "ABC 1");
  EXPECT_EQ(CleanSignatureName(""), "");
  EXPECT_EQ(CleanSignatureName("../../etc/passwd"), "etcpasswd");
  EXPECT_EQ(CleanSignatureName("\xC9lise M\xFCller"), "\xC9lise M\xFCller");  // Latin-1 letters
  EXPECT_EQ(CleanSignatureName("a\tb\nc\x7F\xD7"), "abc");
  // Cut after filtering: dropped characters do not take room.
  EXPECT_EQ(CleanSignatureName("1.2.3.4.5.6.7.8.9.0.1.2.3.4.5.6.7.8.9.0.1.2"),
            "12345678901234567890");
  EXPECT_EQ(CleanSignatureName(std::string(30, 'x')), std::string(20, 'x'));
}

}  // namespace
}  // namespace ql::records
