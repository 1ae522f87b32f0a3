// The name slot and the two name lists the station answers with: what the station builds
// is what the tool reads back, clamped where the station's bytes and the tables run out.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "protocol/certificate_list.h"
#include "protocol/log_list.h"
#include "protocol/name_slot.h"

namespace ql::protocol {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;

// "N0", "N1", ... (a distinct name per slot).
Names Numbered(std::size_t count, std::size_t from = 0) {
  Names names;
  for (std::size_t i = from; i < from + count; ++i) names.push_back("N" + std::to_string(i));
  return names;
}

Names Join(Names a, const Names& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::uint16_t U16(const Bytes& b, std::size_t offset) {
  return static_cast<std::uint16_t>(b[offset] | (b[offset + 1] << 8));
}

void PutU16(Bytes& b, std::size_t offset, std::uint16_t v) {
  b[offset] = static_cast<std::uint8_t>(v);
  b[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(Bytes& b, std::size_t offset, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

const std::string k19(19, 'a');
const std::string k20 = "ABCDEFGHIJKLMNOPQRST";
const std::string k21 = k20 + "U";

// ---- name slot -----------------------------------------------------------------------

struct SlotCase {
  const char* name;
  std::string text;
  bool travels;
};

void PrintTo(const SlotCase& c, std::ostream* os) {
  *os << c.name;
}

class NameSlotTest : public testing::TestWithParam<SlotCase> {};

TEST_P(NameSlotTest, NameTravelsWholeAndNulPaddedOrNotAtAll) {
  const SlotCase& c = GetParam();
  const std::optional<NameSlot> slot = NameToSlot(c.text);
  ASSERT_EQ(slot.has_value(), c.travels);
  if (!slot) return;
  for (std::size_t i = 0; i < kNameSlotSize; ++i) {
    const std::uint8_t expected = i < c.text.size() ? static_cast<std::uint8_t>(c.text[i]) : 0;
    EXPECT_EQ((*slot)[i], expected) << "byte " << i;
  }
  EXPECT_EQ(SlotToName(*slot), c.text);
}

INSTANTIATE_TEST_SUITE_P(Names, NameSlotTest,
                         testing::Values(SlotCase{"Empty", "", true},
                                         SlotCase{"Short", "EVT.LOG", true},
                                         SlotCase{"Nineteen", k19, true},
                                         SlotCase{"TwentyFillsTheSlot", k20, true},
                                         SlotCase{"TwentyOneDoesNotFit", k21, false},
                                         SlotCase{"HoldsANul", std::string("A\0B.LOG", 7), false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(SlotToName, EndsAtTheFirstNulTheSlotEndOrWhatArrived) {
  Bytes slot(kNameSlotSize + 5, 'x');  // a request longer than a slot
  EXPECT_EQ(SlotToName(slot), std::string(20, 'x'));
  slot[3] = 0;
  EXPECT_EQ(SlotToName(slot), "xxx");
  EXPECT_EQ(SlotToName(Bytes{'E', 'V'}), "EV") << "a request cut short";
  EXPECT_EQ(SlotToName(Bytes{}), "");
}

// ---- both lists: round trips with damage -----------------------------------------------

// Builds a list, damages its bytes the way a station or the line might, parses it back.
struct ListCase {
  const char* name;
  Names names;
  std::function<void(Bytes&)> damage;  // null: as built
  Names expected;
};

void PrintTo(const ListCase& c, std::ostream* os) {
  *os << c.name;
}

std::string RowName(const testing::TestParamInfo<ListCase>& info) {
  return info.param.name;
}

// Log list: header 8 bytes, first table of 32 slots at 8, second of 128 at 648.
class LogListTest : public testing::TestWithParam<ListCase> {};

TEST_P(LogListTest, RoundTrip) {
  const ListCase& c = GetParam();
  Bytes record = BuildLogList(c.names);
  ASSERT_EQ(record.size(), 3208u);
  if (c.damage) c.damage(record);
  EXPECT_EQ(ParseLogList(record), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LogListTest,
    testing::Values(
        ListCase{"Empty", {}, nullptr, {}},
        ListCase{"FirstTableOnly", Numbered(3), nullptr, Numbered(3)},
        ListCase{"BothTables", Numbered(40), nullptr, Numbered(40)},
        ListCase{"Full", Numbered(160), nullptr, Numbered(160)},
        ListCase{"OverFullKeepsTheFirst160", Numbered(175), nullptr, Numbered(160)},
        ListCase{"NamesOf19And20Characters", {k19, k20, "NEXT"}, nullptr, {k19, k20, "NEXT"}},
        ListCase{"NameTooLongIsLeftOut", {"A", k21, "B"}, nullptr, {"A", "B"}},
        ListCase{"PayloadCutInsideTheSecondName", Numbered(3),
                 [](Bytes& b) { b.resize(8 + 20 + 19); }, Numbered(1)},
        ListCase{"PayloadCutInsideTheSecondTable", Numbered(40),
                 [](Bytes& b) { b.resize(648 + 3 * 20); }, Numbered(35)},
        ListCase{"SizeFieldBelowWhatArrived", Numbered(3),
                 [](Bytes& b) { PutU32(b, 0, 8 + 2 * 20); }, Numbered(2)},
        ListCase{"SizeFieldBeyondTheRecord", Numbered(3),
                 [](Bytes& b) {
                   PutU32(b, 0, 0xFFFFFFFF);
                   b.resize(5000, 'z');  // bytes past the record are never names
                   PutU16(b, 6, 500);
                 },
                 Join(Numbered(3), Names(128, ""))},
        ListCase{"CountsBeyondTheTables", Numbered(2),
                 [](Bytes& b) {
                   PutU16(b, 4, 0xFFFF);
                   PutU16(b, 6, 0xFFFF);
                 },
                 Join(Join(Numbered(2), Names(30, "")), Names(128, ""))},
        ListCase{"HeaderCutShort", Numbered(3), [](Bytes& b) { b.resize(7); }, {}}),
    RowName);

TEST(LogList, TablesAtTheirOffsets) {
  // 34 names: 32 in the first table, 2 in the second.
  const Bytes record = BuildLogList(Numbered(34));
  EXPECT_EQ((Bytes{record[0], record[1], record[2], record[3]}), (Bytes{0x88, 0x0C, 0, 0}));
  EXPECT_EQ(U16(record, 4), 32);
  EXPECT_EQ(U16(record, 6), 2);
  EXPECT_EQ((Bytes(record.begin() + 8, record.begin() + 28)),
            (Bytes{'N', '0', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(record[8 + 31 * 20 + 1], '3');  // "N31", last of the first table
  EXPECT_EQ((Bytes(record.begin() + 648, record.begin() + 651)), (Bytes{'N', '3', '2'}));
  EXPECT_EQ((Bytes(record.begin() + 668, record.begin() + 671)), (Bytes{'N', '3', '3'}));
}

TEST(LogList, RowsAreTheFirstTableThenTheSecond) {
  // Laid out by hand: A = 2, B = 1.
  Bytes record(3208, 0);
  PutU32(record, 0, 3208);
  PutU16(record, 4, 2);
  PutU16(record, 6, 1);
  for (auto [offset, text] : {std::pair<std::size_t, std::string>{8, "F0"},
                              {28, "F1"},
                              {48, "NOT USED"},
                              {648, "S0"},
                              {668, "NOT USED"}}) {
    std::copy(text.begin(), text.end(), record.begin() + static_cast<long>(offset));
  }
  EXPECT_EQ(ParseLogList(record), (Names{"F0", "F1", "S0"}));
}

// Certificate list: header 6 bytes, 128 slots at 6.
class CertificateListTest : public testing::TestWithParam<ListCase> {};

TEST_P(CertificateListTest, RoundTrip) {
  const ListCase& c = GetParam();
  Bytes record = BuildCertificateList(c.names);
  ASSERT_EQ(record.size(), 2566u);
  if (c.damage) c.damage(record);
  EXPECT_EQ(ParseCertificateList(record), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CertificateListTest,
    testing::Values(
        ListCase{"Empty", {}, nullptr, {}}, ListCase{"Some", Numbered(3), nullptr, Numbered(3)},
        ListCase{"Full", Numbered(128), nullptr, Numbered(128)},
        ListCase{"OverFullKeepsTheFirst128", Numbered(140), nullptr, Numbered(128)},
        ListCase{"NamesOf19And20Characters", {k19, k20, "NEXT"}, nullptr, {k19, k20, "NEXT"}},
        ListCase{"NameTooLongIsLeftOut", {"A", k21, "B"}, nullptr, {"A", "B"}},
        ListCase{"PayloadCutInsideTheThirdName", Numbered(5),
                 [](Bytes& b) { b.resize(6 + 2 * 20 + 7); }, Numbered(2)},
        ListCase{"SizeFieldBelowWhatArrived", Numbered(5),
                 [](Bytes& b) { PutU32(b, 0, 6 + 4 * 20); }, Numbered(4)},
        ListCase{"SizeFieldBeyondTheRecord", Numbered(2),
                 [](Bytes& b) {
                   PutU32(b, 0, 0xFFFFFFFF);
                   b.resize(4000, 'z');
                   PutU16(b, 4, 300);
                 },
                 Join(Numbered(2), Names(126, ""))},
        ListCase{"CountBeyondTheTable", Numbered(1), [](Bytes& b) { PutU16(b, 4, 0xFFFF); },
                 Join(Numbered(1), Names(127, ""))},
        ListCase{"HeaderCutShort", Numbered(3), [](Bytes& b) { b.resize(5); }, {}}),
    RowName);

TEST(CertificateList, TableAtItsOffset) {
  const Bytes record = BuildCertificateList(Names{"RVX310402.CRT", k20});
  EXPECT_EQ((Bytes{record[0], record[1], record[2], record[3]}), (Bytes{0x06, 0x0A, 0, 0}));
  EXPECT_EQ(U16(record, 4), 2);
  EXPECT_EQ(std::string(record.begin() + 6, record.begin() + 19), "RVX310402.CRT");
  EXPECT_EQ(record[19], 0);
  EXPECT_EQ(std::string(record.begin() + 26, record.begin() + 46), k20);
  EXPECT_EQ(record[46], 0) << "the third slot is empty";
}

}  // namespace
}  // namespace ql::protocol
