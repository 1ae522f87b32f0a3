// The records as "Label: value" text: shown as the pages show them, set through the
// pages' rules, changing only the bytes of the fields named.

#include "records/record_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tools/station/station_state.h"

namespace ql::records {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Sample(RecordType type) {
  const station::StationState s = station::SampleStationState(1);
  switch (type) {
    case RecordType::Docking:
      return {s.docking.begin(), s.docking.end()};
    case RecordType::SingleGas:
      return {s.singleGas.begin(), s.singleGas.end()};
    case RecordType::MultiGas:
      return {s.multiGas.begin(), s.multiGas.end()};
  }
  return {};
}

std::optional<std::string> Set(RecordType type, Bytes& bytes, std::vector<std::string> lines) {
  std::vector<FieldEdit> edits;
  for (const auto& line : lines) edits.push_back(*ParseAssignment(line));
  return ApplyEdits(type, bytes, edits);
}

// Offsets of the bytes that differ.
std::vector<std::size_t> Changed(const Bytes& a, const Bytes& b) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) at.push_back(i);
  }
  return at;
}

std::string ValueOf(RecordType type, const Bytes& bytes, std::string_view label) {
  for (const auto& f : ShowRecord(type, bytes)) {
    if (f.label == label) return f.value;
  }
  return "<missing>";
}

class RecordTextByType : public testing::TestWithParam<RecordType> {};

INSTANTIATE_TEST_SUITE_P(Types, RecordTextByType,
                         testing::Values(RecordType::Docking, RecordType::SingleGas,
                                         RecordType::MultiGas),
                         [](const auto& row) { return std::string(RecordTypeWord(row.param)); });

TEST_P(RecordTextByType, LabelsAreUniqueAndSizeNamesTheType) {
  const Bytes bytes = Sample(GetParam());
  std::set<std::string> labels;
  for (const auto& f : ShowRecord(GetParam(), bytes)) {
    EXPECT_TRUE(labels.insert(f.label).second) << f.label;
    EXPECT_EQ(f.label.find(':'), std::string::npos) << f.label;
    EXPECT_EQ(f.label.find('='), std::string::npos) << f.label;
  }
  EXPECT_EQ(RecordTypeOfSize(bytes.size()), GetParam());
}

// Feeding a record's own text back changes no byte, also when the record holds bytes no
// page field shows (text after a NUL, values of rows that are off).
TEST_P(RecordTextByType, ShownTextSetBackGivesIdenticalBytes) {
  Bytes sample = Sample(GetParam());
  Bytes hidden = sample;
  switch (GetParam()) {
    case RecordType::Docking:
      hidden[4 + 6] = 0;      // serial number "DS2612", "000042" after its NUL
      hidden[20 + 10] = 'Z';  // after the NUL of "BAY3NORTH"
      break;
    case RecordType::SingleGas:
      hidden[4 + 6] = 0;               // Display row off ...
      hidden[16 + 30] = 7;             // ... with an index no list holds
      hidden[16 + 32 + 8 + 11] = 'X';  // after the NUL of user ID CO
      break;
    case RecordType::MultiGas:
      hidden[4 + 1] = 0;  // Bump Interval off, its days kept
      hidden[98] = 0x55;  // after the last field
      break;
  }
  for (const Bytes& original : {sample, hidden}) {
    const ParsedText parsed = ParseRecordText(RecordText(GetParam(), original));
    ASSERT_EQ(parsed.error, "");
    Bytes bytes = original;
    EXPECT_EQ(ApplyEdits(GetParam(), bytes, parsed.edits), std::nullopt);
    EXPECT_EQ(bytes, original);
  }
}

// One field set: only its bytes change, and diff names exactly it.
struct OneEdit {
  const char* name;
  RecordType type;
  const char* assignment;
  std::vector<std::size_t> bytes;  // the offsets that must change
  const char* shown;               // the new shown value
};

class SetOneField : public testing::TestWithParam<OneEdit> {};

TEST_P(SetOneField, ChangesOnlyItsBytes) {
  const OneEdit& e = GetParam();
  const Bytes before = Sample(e.type);
  Bytes after = before;
  ASSERT_EQ(Set(e.type, after, {e.assignment}), std::nullopt);
  EXPECT_EQ(Changed(before, after), e.bytes);
  const auto edit = *ParseAssignment(e.assignment);
  const auto diff = DiffRecords(e.type, before, after);
  ASSERT_EQ(diff.size(), 1u);
  EXPECT_EQ(diff[0].label, edit.label);
  EXPECT_EQ(diff[0].before, ValueOf(e.type, before, edit.label));
  EXPECT_EQ(diff[0].after, e.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SetOneField,
    testing::Values(
        OneEdit{"MaxBump", RecordType::Docking, "Maximum Bump Time=120", {34}, "120"},
        OneEdit{"Location", RecordType::Docking, "Location=BAY7", {23, 24, 25, 26, 27, 28}, "BAY7"},
        OneEdit{"Date",
                RecordType::Docking,
                "Gas Expiration Date=2028-02-29",
                {36, 38, 39},
                "2028-02-29"},
        OneEdit{"Switch", RecordType::Docking, "Calibrate=off", {44}, "off"},
        OneEdit{"Decision", RecordType::Docking, "Bump Result Decision=Beep", {18}, "Beep"},
        OneEdit{"LowAlarmH2S", RecordType::SingleGas, "Low Alarm H2S=12.5", {16 + 26}, "12.5"},
        OneEdit{"LowAlarmCO", RecordType::SingleGas, "Low Alarm CO=n/a", {48 + 26}, "n/a"},
        OneEdit{"DisplayO2", RecordType::SingleGas, "Display O2=Life", {80 + 30}, "Life"},
        OneEdit{"RowOff", RecordType::SingleGas, "High Alarm=off", {9}, "off"},
        OneEdit{"StelCO", RecordType::MultiGas, "STEL Alarm CO=150.0", {66, 67}, "150.0"},
        OneEdit{"TwaMethod", RecordType::MultiGas, "TWA Method Value=ACGIH", {85}, "ACGIH"},
        OneEdit{"Option", RecordType::MultiGas, "Dock Lock=on", {4 + 13}, "on"},
        OneEdit{
            "Concentration", RecordType::MultiGas, "Gas Concentration LEL=60.0", {96, 97}, "60.0"}),
    [](const auto& row) { return std::string(row.param.name); });

// A row that is off shows the values its bytes keep; turning it on sends those values,
// and refuses when one of them is outside the page's limits.
TEST(RecordText, RowTurnedOnSendsItsKeptValues) {
  const Bytes sample = Sample(RecordType::SingleGas);
  Bytes tkl = sample;
  tkl[4 + 4] = 0;  // Low Alarm off; its bytes still hold the sample's levels
  EXPECT_EQ(ValueOf(RecordType::SingleGas, tkl, "Low Alarm"), "off");
  EXPECT_EQ(ValueOf(RecordType::SingleGas, tkl, "Low Alarm CO"), "35");
  ASSERT_EQ(Set(RecordType::SingleGas, tkl, {"Low Alarm=on"}), std::nullopt);
  EXPECT_EQ(tkl, sample);

  Bytes rvx = Sample(RecordType::MultiGas);
  const Bytes before = rvx;
  ASSERT_EQ(ValueOf(RecordType::MultiGas, rvx, "100% LEL"), "off");
  EXPECT_EQ(Set(RecordType::MultiGas, rvx, {"100% LEL=on"}),
            "100% LEL Value: 0.0 is outside 1.0 to 5.0");
  EXPECT_EQ(rvx, before);
  ASSERT_EQ(Set(RecordType::MultiGas, rvx, {"100% LEL=on", "100% LEL Value=3.5"}), std::nullopt);
  EXPECT_EQ(Changed(before, rvx), (std::vector<std::size_t>{4 + 11, 88}));
  EXPECT_EQ(rvx[88], 35);
}

// A stored value the page changes on reading is shown changed and named by the warning;
// setting the shown value stores it instead of leaving the old bytes.
TEST(RecordText, ValueThePageChangedIsWarnedAndCanBeStored) {
  Bytes bytes = Sample(RecordType::Docking);
  bytes[34] = 0xF4;  // Maximum Bump Time 500
  bytes[35] = 0x01;
  EXPECT_EQ(ValueOf(RecordType::Docking, bytes, "Maximum Bump Time"), "120");
  EXPECT_EQ(RecordWarning(RecordType::Docking, bytes),
            "Maximum Bump Time: 500 is outside 20 to 120");
  ASSERT_EQ(Set(RecordType::Docking, bytes, {"Maximum Bump Time=120"}), std::nullopt);
  EXPECT_EQ(bytes[34], 120);
  EXPECT_EQ(bytes[35], 0);
  EXPECT_EQ(RecordWarning(RecordType::Docking, bytes), std::nullopt);
}

struct Refused {
  const char* name;
  RecordType type;
  std::vector<std::string> assignments;
  const char* message;
};

class RefusedEdit : public testing::TestWithParam<Refused> {};

TEST_P(RefusedEdit, LeavesTheRecordAndSaysWhy) {
  const Refused& r = GetParam();
  const Bytes before = Sample(r.type);
  Bytes bytes = before;
  EXPECT_EQ(Set(r.type, bytes, r.assignments), r.message);
  EXPECT_EQ(bytes, before);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, RefusedEdit,
    testing::Values(
        Refused{"AboveMaximum",
                RecordType::Docking,
                {"Maximum Bump Time=121"},
                "Maximum Bump Time: 121 is outside 20 to 120"},
        Refused{"BelowMinimum",
                RecordType::Docking,
                {"Auto Power-Off Time=59"},
                "Auto Power-Off Time: 59 is outside 60 to 3600"},
        Refused{"AlarmTenths",
                RecordType::SingleGas,
                {"High Alarm H2S=100.1"},
                "High Alarm H2S: 100.1 is outside 0.1 to 100.0"},
        Refused{"MultiAlarm",
                RecordType::MultiGas,
                {"Low Alarm O2=30.5"},
                "Low Alarm O2: 30.5 is outside 0.1 to 30.0"},
        Refused{"Interval",
                RecordType::MultiGas,
                {"TWA Intr Value=17"},
                "TWA Intr Value: 17 is outside 4 to 16"},
        Refused{"NotANumber",
                RecordType::SingleGas,
                {"Calibration Interval (Days) CO=12d"},
                "Calibration Interval (Days) CO: 12d is not a number"},
        Refused{"NotInList",
                RecordType::Docking,
                {"Bump Result Decision=Loud"},
                "Bump Result Decision: Loud is not one of Beep, Concentration, Beep + "
                "Concentration"},
        Refused{"NotASwitch",
                RecordType::MultiGas,
                {"Dock Lock=yes"},
                "Dock Lock: yes is not one of on, off"},
        Refused{"NotADate",
                RecordType::Docking,
                {"Gas Expiration Date=2027-02-30"},
                "Gas Expiration Date: 2027-02-30 is outside 1752-09-14 to 9999-12-31"},
        Refused{"DateForm",
                RecordType::Docking,
                {"Gas Expiration Date=30.06.2027"},
                "Gas Expiration Date: 30.06.2027 is not a date (YYYY-MM-DD)"},
        Refused{"FilteredText",
                RecordType::Docking,
                {"Location=BAY 3"},
                "Location: BAY 3 may hold letters and digits only"},
        Refused{"TooLong",
                RecordType::SingleGas,
                {"User ID O2=ABCDEFGHIJKLM"},
                "User ID O2: ABCDEFGHIJKLM is longer than 12 characters"},
        Refused{"NotLatin1",
                RecordType::MultiGas,
                {"User ID / Message Value=T\u20AC"},
                "User ID / Message Value: T\u20AC holds a character the record cannot hold"},
        Refused{
            "Unknown", RecordType::Docking, {"Low Alarm H2S=10.0"}, "Low Alarm H2S: no such field"},
        Refused{"Twice",
                RecordType::Docking,
                {"Location=A", "Location=B"},
                "Location: named more than once"},
        Refused{"ReadOnly",
                RecordType::Docking,
                {"Serial Number=DS1"},
                "Serial Number: the page does not let this field change"},
        Refused{"RowOff",
                RecordType::MultiGas,
                {"100% LEL Value=3.0"},
                "100% LEL Value: 100% LEL is off, so the field cannot change"},
        Refused{"LaterEditRefused",
                RecordType::Docking,
                {"Location=BAY9", "Calibrate=1"},
                "Calibrate: 1 is not one of on, off"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(RecordText, ParsesLinesAndNamesABadOne) {
  const ParsedText ok = ParseRecordText("Location: BAY1\r\n\nUser ID / Message Value:  A B\n");
  ASSERT_EQ(ok.error, "");
  ASSERT_EQ(ok.edits.size(), 2u);
  EXPECT_EQ(ok.edits[0].label, "Location");
  EXPECT_EQ(ok.edits[0].value, "BAY1");
  EXPECT_EQ(ok.edits[1].value, " A B");  // a leading blank of the value is kept

  const ParsedText bad = ParseRecordText("Location: BAY1\nLocation=BAY2\n");
  EXPECT_EQ(bad.error, "line 2: not \"Label: value\"");
  EXPECT_TRUE(bad.edits.empty());
}

TEST(RecordText, ShowsPageFormsAndLatin1AsUtf8) {
  Bytes bytes = Sample(RecordType::MultiGas);
  bytes[72] = 0xC9;  // 'É' in Latin-1
  bytes[73] = 0;
  const std::string text = RecordText(RecordType::MultiGas, bytes);
  EXPECT_NE(text.find("User ID / Message Value: \xC3\x89\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Low Alarm CO: 35.0\n"), std::string::npos);
  EXPECT_NE(text.find("TWA Method Value: OSHA\n"), std::string::npos);
  EXPECT_NE(text.find("Safe Display: on\nDock Lock: off\n"), std::string::npos);
  ASSERT_EQ(Set(RecordType::MultiGas, bytes, {"User ID / Message Value=\xC3\xA9t\xC3\xA9"}),
            std::nullopt);
  EXPECT_EQ(bytes[72], 0xE9);
  EXPECT_EQ(bytes[74], 0xE9);
}

}  // namespace
}  // namespace ql::records
