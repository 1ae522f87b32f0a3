#include "records/record_text.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "rules/field_tables.h"

namespace ql::records {
namespace {

constexpr std::string_view kOn = "on";
constexpr std::string_view kOff = "off";

// Record texts are 8-bit Latin-1; the text form is UTF-8.
std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// nullopt when the text holds a character Latin-1 has no code for, or is no UTF-8.
std::optional<std::string> Utf8ToLatin1(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out.push_back(text[i]);
      continue;
    }
    if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if ((next & 0xC0) == 0x80) {
        out.push_back(static_cast<char>(((c & 0x03) << 6) | (next & 0x3F)));
        ++i;
        continue;
      }
    }
    return std::nullopt;
  }
  return out;
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
  });
}

std::string FormatDate(const PageDate& date) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

// Exactly YYYY-MM-DD, digits only; whether it is a real date is the page check's call.
std::optional<PageDate> ParseDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  auto number = [&](std::size_t from, std::size_t count) -> std::optional<int> {
    int v = 0;
    for (std::size_t i = from; i < from + count; ++i) {
      if (text[i] < '0' || text[i] > '9') return std::nullopt;
      v = v * 10 + (text[i] - '0');
    }
    return v;
  };
  const auto y = number(0, 4);
  const auto m = number(5, 2);
  const auto d = number(8, 2);
  if (!y || !m || !d) return std::nullopt;
  return PageDate{*y, *m, *d};
}

std::string_view SwitchText(bool on) {
  return on ? kOn : kOff;
}

bool ReadSwitch(std::string_view text, bool& on) {
  if (text == kOn) {
    on = true;
    return true;
  }
  if (text == kOff) {
    on = false;
    return true;
  }
  return false;
}

template <class Items>
std::string ItemText(const Items& items, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return std::to_string(index);
  return std::string(items[static_cast<std::size_t>(index)]);
}

template <class Items>
bool ReadItem(const Items& items, std::string_view text, int& index) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) {
      index = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

template <class Items>
std::vector<std::string_view> ItemList(const Items& items) {
  return {items.begin(), items.end()};
}

// --- Field builders ----------------------------------------------------------------------

// `ref` reaches the field's member in a page, const or not: `[](auto& p) -> auto& {...}`.
template <class Page, class Ref>
PageField<Page> TextField(std::string label, std::vector<ByteRun> bytes, std::string row, Ref ref) {
  PageField<Page> f;
  f.label = std::move(label);
  f.form = FieldForm::Text;
  f.bytes = std::move(bytes);
  f.row = std::move(row);
  f.get = [ref](const Page& p) { return std::string(ref(p)); };
  f.set = [ref](Page& p, std::string_view v) {
    ref(p) = std::string(v);
    return true;
  };
  return f;
}

template <class Page, class Ref>
PageField<Page> NumberField(std::string label, std::vector<ByteRun> bytes, std::string row,
                            Ref ref) {
  PageField<Page> f = TextField<Page>(std::move(label), std::move(bytes), std::move(row), ref);
  f.form = FieldForm::Number;
  return f;
}

template <class Page, class Ref>
PageField<Page> SwitchField(std::string label, std::vector<ByteRun> bytes, Ref ref) {
  PageField<Page> f;
  f.label = std::move(label);
  f.form = FieldForm::Switch;
  f.bytes = std::move(bytes);
  f.get = [ref](const Page& p) { return std::string(SwitchText(ref(p))); };
  f.set = [ref](Page& p, std::string_view v) { return ReadSwitch(v, ref(p)); };
  return f;
}

template <class Page, class Items, class Ref>
PageField<Page> ChoiceField(std::string label, std::vector<ByteRun> bytes, std::string row,
                            const Items& items, Ref ref) {
  PageField<Page> f;
  f.label = std::move(label);
  f.form = FieldForm::Choice;
  f.choices = ItemList(items);
  f.bytes = std::move(bytes);
  f.row = std::move(row);
  f.get = [ref, &items](const Page& p) { return ItemText(items, ref(p)); };
  f.set = [ref, &items](Page& p, std::string_view v) { return ReadItem(items, v, ref(p)); };
  return f;
}

// --- The tables --------------------------------------------------------------------------

// Docking station record offsets.
constexpr std::size_t kDockSwitches = 44;

std::vector<PageField<DockingPageValues>> BuildDockingFields() {
  using P = DockingPageValues;
  using namespace rules;
  std::vector<PageField<P>> f;
  f.push_back(TextField<P>(
      std::string(kCaptionSerialNumber), {{4, 12}}, "",
      [](auto& p) -> auto& { return p.serialNumber; }));
  f.push_back(NumberField<P>(
      std::string(kCaptionVersion), {{16, 2}}, "", [](auto& p) -> auto& { return p.version; }));
  f.push_back(NumberField<P>(
      std::string(kCaptionAutoPowerOffTime), {{32, 2}}, "",
      [](auto& p) -> auto& { return p.autoPowerOffTime; }));
  f.push_back(NumberField<P>(
      std::string(kCaptionMaximumBumpTime), {{34, 2}}, "",
      [](auto& p) -> auto& { return p.maximumBumpTime; }));
  f.push_back(TextField<P>(
      std::string(kCaptionLocation), {{20, 12}}, "", [](auto& p) -> auto& { return p.location; }));
  PageField<P> date;
  date.label = std::string(kCaptionGasExpirationDate);
  date.form = FieldForm::Date;
  date.bytes = {{36, 4}};
  date.get = [](const P& p) { return FormatDate(p.gasExpirationDate); };
  date.set = [](P& p, std::string_view v) {
    const auto parsed = ParseDate(v);
    if (parsed) p.gasExpirationDate = *parsed;
    return parsed.has_value();
  };
  f.push_back(std::move(date));
  f.push_back(TextField<P>(
      std::string(kCaptionGasBottleLot), {{40, 4}}, "",
      [](auto& p) -> auto& { return p.gasBottleLot; }));
  // The Update captions name the detector family on the page; the record does not know
  // it, so the table names the switches for both families.
  constexpr std::array<std::string_view, kDockingSwitchCount> kSwitchLabels = {
      "Calibrate", "Bump Tests", "Allow Hibernate", "Update Detector Configurations",
      "Update Detector Firmware"};
  for (std::size_t i = 0; i < kDockingSwitchCount; ++i) {
    f.push_back(SwitchField<P>(
        std::string(kSwitchLabels[i]),
        {{kDockSwitches + 4 * i, 4}}, [i](auto& p) -> auto& { return p.switches[i]; }));
  }
  // The list is usable only while Bump Tests is checked.
  f.push_back(ChoiceField<P>(
      std::string(kCaptionBumpResultDecision), {{18, 2}}, "Bump Tests", kBumpResultDecisionItems,
      [](auto& p) -> auto& { return p.bumpResultDecision; }));
  return f;
}

std::vector<PageField<SingleGasPageValues>> BuildSingleGasFields() {
  using P = SingleGasPageValues;
  using namespace rules;
  constexpr std::size_t kHead = 4;
  constexpr auto block = [](std::size_t gas) { return 16 + 32 * gas; };
  struct Row {
    std::string_view caption;
    GasTextRow<kSingleGasCount> P::*member;  // null for Display
  };
  const std::array<Row, kSingleGasRowCount> rows = {{
      {kCaptionUserId, &P::userId},
      {kCaptionCalibrationInterval, &P::calibrationInterval},
      {kCaptionBumpInterval, &P::bumpInterval},
      {kCaptionSelfTestInterval, &P::selfTestInterval},
      {kCaptionLowAlarm, &P::lowAlarm},
      {kCaptionHighAlarm, &P::highAlarm},
      {kCaptionDisplay, nullptr},
  }};
  std::vector<PageField<P>> f;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::string caption(rows[r].caption);
    const auto member = rows[r].member;
    if (member != nullptr) {
      f.push_back(SwitchField<P>(
          caption, {{kHead + r, 1}}, [member](auto& p) -> auto& { return (p.*member).checked; }));
    } else {
      f.push_back(SwitchField<P>(
          caption, {{kHead + r, 1}}, [](auto& p) -> auto& { return p.display.checked; }));
    }
    for (std::size_t gas = 0; gas < kSingleGasCount; ++gas) {
      const std::string label = GridLabel(caption, kSingleGasNames[gas]);
      if (r == 0) {
        f.push_back(TextField<P>(
            label, {{block(gas) + 8, 12}},
            caption, [gas](auto& p) -> auto& { return p.userId.text[gas]; }));
      } else if (member != nullptr) {
        f.push_back(NumberField<P>(
            label, {{block(gas) + 20 + 2 * (r - 1), 2}}, caption,
            [ member, gas ](auto& p) -> auto& { return (p.*member).text[gas]; }));
      } else {
        f.push_back(ChoiceField<P>(
            label, {{block(gas) + 20 + 2 * (r - 1), 2}}, caption,
            kSingleGasDisplayItems, [gas](auto& p) -> auto& { return p.display.index[gas]; }));
      }
    }
  }
  for (std::size_t gas = 0; gas < kSingleGasCount; ++gas) {
    f.push_back(NumberField<P>(
        GridLabel(kCaptionGasConcentration, kSingleGasNames[gas]), {{block(gas), 8}},
        "", [gas](auto& p) -> auto& { return p.concentration[gas]; }));
  }
  return f;
}

std::vector<PageField<MultiGasPageValues>> BuildMultiGasFields() {
  using P = MultiGasPageValues;
  using namespace rules;
  constexpr auto flag = [](MultiGasFlag which) {
    return ByteRun{4 + static_cast<std::size_t>(which), 1};
  };
  struct Row {
    std::string_view caption;
    MultiGasFlag flag;
    std::size_t offset;
    std::size_t gases;
  };
  constexpr std::array<Row, 6> rows = {{
      {kCaptionCalibrationInterval, MultiGasFlag::CalibrationInterval, 24, kMultiGasCount},
      {kCaptionBumpInterval, MultiGasFlag::BumpInterval, 32, kMultiGasCount},
      {kCaptionLowAlarm, MultiGasFlag::LowAlarm, 40, kMultiGasCount},
      {kCaptionHighAlarm, MultiGasFlag::HighAlarm, 48, kMultiGasCount},
      {kCaptionTwaAlarm, MultiGasFlag::TwaAlarm, 56, kExposureGasCount},
      {kCaptionStelAlarm, MultiGasFlag::StelAlarm, 64, kExposureGasCount},
  }};
  const std::array<GasTextRow<kMultiGasCount> P::*, 4> wide = {
      &P::calibrationInterval, &P::bumpInterval, &P::lowAlarm, &P::highAlarm};
  const std::array<GasTextRow<kExposureGasCount> P::*, 2> narrow = {&P::twaAlarm, &P::stelAlarm};

  std::vector<PageField<P>> f;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::string caption(rows[r].caption);
    if (r < wide.size()) {
      const auto member = wide[r];
      f.push_back(SwitchField<P>(
          caption,
          {flag(rows[r].flag)}, [member](auto& p) -> auto& { return (p.*member).checked; }));
    } else {
      const auto member = narrow[r - wide.size()];
      f.push_back(SwitchField<P>(
          caption,
          {flag(rows[r].flag)}, [member](auto& p) -> auto& { return (p.*member).checked; }));
    }
    for (std::size_t gas = 0; gas < rows[r].gases; ++gas) {
      const std::vector<ByteRun> bytes = {{rows[r].offset + 2 * gas, 2}};
      const std::string label = GridLabel(caption, kMultiGasNames[gas]);
      if (r < wide.size()) {
        const auto member = wide[r];
        f.push_back(NumberField<P>(
            label, bytes, caption,
            [ member, gas ](auto& p) -> auto& { return (p.*member).text[gas]; }));
      } else {
        const auto member = narrow[r - wide.size()];
        f.push_back(NumberField<P>(
            label, bytes, caption,
            [ member, gas ](auto& p) -> auto& { return (p.*member).text[gas]; }));
      }
    }
  }

  const auto option = [&](std::string_view caption, MultiGasFlag which, auto box) {
    f.push_back(SwitchField<P>(std::string(caption), {flag(which)}, box));
  };
  option(
      kCaptionUserIdMessage, MultiGasFlag::UserId,
      [](auto& p) -> auto& { return p.userId.checked; });
  f.push_back(TextField<P>(
      ValueLabel(kCaptionUserIdMessage), {{72, 12}}, std::string(kCaptionUserIdMessage),
      [](auto& p) -> auto& { return p.userId.text; }));
  option(
      kCaptionLanguage, MultiGasFlag::Language,
      [](auto& p) -> auto& { return p.language.checked; });
  f.push_back(ChoiceField<P>(
      ValueLabel(kCaptionLanguage), {{84, 1}}, std::string(kCaptionLanguage), kLanguageItems,
      [](auto& p) -> auto& { return p.language.index; }));
  option(
      kCaptionTwaMethod, MultiGasFlag::TwaMethod,
      [](auto& p) -> auto& { return p.twaMethod.checked; });
  f.push_back(ChoiceField<P>(
      ValueLabel(kCaptionTwaMethod), {{85, 1}}, std::string(kCaptionTwaMethod), kTwaMethodItems,
      [](auto& p) -> auto& { return p.twaMethod.index; }));
  const auto scalar = [&](std::string_view caption, MultiGasFlag which, ByteRun run,
                          TextOption P::*member) {
    f.push_back(SwitchField<P>(
        std::string(caption),
        {flag(which)}, [member](auto& p) -> auto& { return (p.*member).checked; }));
    f.push_back(NumberField<P>(
        ValueLabel(caption), {run},
        std::string(caption), [member](auto& p) -> auto& { return (p.*member).text; }));
  };
  scalar(kCaptionTwaInterval, MultiGasFlag::TwaInterval, {86, 1}, &P::twaInterval);
  scalar(kCaptionStelInterval, MultiGasFlag::StelInterval, {87, 1}, &P::stelInterval);
  scalar(kCaptionLelFullScale, MultiGasFlag::LelFullScale, {88, 2}, &P::lelFullScale);

  struct Option {
    std::string_view label;
    MultiGasFlag flag;
    bool P::*member;
  };
  const std::array<Option, 7> options = {{
      {"Safe Display", MultiGasFlag::SafeDisplay, &P::safeDisplay},
      {"Dock Lock", MultiGasFlag::DockLock, &P::dockLock},
      {"Maintenance Notification", MultiGasFlag::MaintenanceNotification,
       &P::maintenanceNotification},
      {"Latching Alarms", MultiGasFlag::LatchingAlarms, &P::latchingAlarms},
      {"Auto Zero", MultiGasFlag::AutoZero, &P::autoZero},
      {"LEL By Volume CH4", MultiGasFlag::LelByVolumeCh4, &P::lelByVolumeCh4},
      {"OFF Lock", MultiGasFlag::OffLock, &P::offLock},
  }};
  for (const auto& o : options) {
    const auto member = o.member;
    option(
        o.label, o.flag, [member](auto& p) -> auto& { return p.*member; });
  }
  for (std::size_t gas = 0; gas < kMultiGasCount; ++gas) {
    f.push_back(NumberField<P>(
        GridLabel(kCaptionGasConcentration, kMultiGasNames[gas]), {{90 + 2 * gas, 2}},
        "", [gas](auto& p) -> auto& { return p.concentration[gas]; }));
  }
  return f;
}

// --- Per-record operations ---------------------------------------------------------------

template <class Page>
struct Ops;

template <>
struct Ops<DockingPageValues> {
  using Record = DockingInfoRecord;
  static const auto& Fields() { return DockingFields(); }
  static void Defaults(DockingPageValues& p) { LoadDockingDefaults(p); }
  static void ToPage(const Record& r, DockingPageValues& p) { DockingInfoToPage(r, p); }
  static void FromPage(const DockingPageValues& p, Record& r) { DockingInfoFromPage(p, r); }
  static auto CheckPage(const DockingPageValues& p) { return CheckDockingPage(p); }
  static auto CheckRecord(const Record& r) { return CheckDockingRecord(r); }
  // Fields the page shows but never lets the technician change.
  static bool ReadOnly(std::string_view label) {
    return label == rules::kCaptionSerialNumber || label == rules::kCaptionVersion ||
           label == "Allow Hibernate";
  }
  // Page values every check accepts, to judge one field's value alone.
  static DockingPageValues Valid() {
    DockingPageValues p;
    LoadDockingDefaults(p);
    p.gasExpirationDate = {2030, 1, 1};
    return p;
  }
};

template <>
struct Ops<SingleGasPageValues> {
  using Record = SingleGasOptionRecord;
  static const auto& Fields() { return SingleGasFields(); }
  static void Defaults(SingleGasPageValues& p) { LoadSingleGasDefaults(p); }
  static void ToPage(const Record& r, SingleGasPageValues& p) { SingleGasOptionsToPage(r, p); }
  // From zero bytes, as the page's write paths encode: a row turned off must give its
  // flag 0 (only the named fields' bytes are taken from the result).
  static void FromPage(const SingleGasPageValues& p, Record& r) {
    r = Record{};
    SingleGasOptionsFromPage(p, r);
  }
  static auto CheckPage(const SingleGasPageValues& p) { return CheckSingleGasPage(p); }
  static auto CheckRecord(const Record& r) { return CheckSingleGasRecord(r); }
  static bool ReadOnly(std::string_view) { return false; }
  static SingleGasPageValues Valid() {
    SingleGasPageValues p;
    LoadSingleGasDefaults(p);
    for (auto* row : {&p.userId, &p.calibrationInterval, &p.bumpInterval, &p.selfTestInterval,
                      &p.lowAlarm, &p.highAlarm}) {
      row->checked = true;
    }
    p.display.checked = true;
    return p;
  }
};

template <>
struct Ops<MultiGasPageValues> {
  using Record = MultiGasOptionRecord;
  static const auto& Fields() { return MultiGasFields(); }
  static void Defaults(MultiGasPageValues& p) { LoadMultiGasDefaults(p); }
  static void ToPage(const Record& r, MultiGasPageValues& p) { MultiGasOptionsToPage(r, p); }
  static void FromPage(const MultiGasPageValues& p, Record& r) { MultiGasOptionsFromPage(p, r); }
  static auto CheckPage(const MultiGasPageValues& p) { return CheckMultiGasPage(p); }
  static auto CheckRecord(const Record& r) { return CheckMultiGasRecord(r); }
  // The page keeps the language but never shows it.
  static bool ReadOnly(std::string_view label) {
    return label == rules::kCaptionLanguage || label == ValueLabel(rules::kCaptionLanguage);
  }
  static MultiGasPageValues Valid() {
    MultiGasPageValues p;
    LoadMultiGasDefaults(p);
    for (auto* row : {&p.calibrationInterval, &p.bumpInterval, &p.lowAlarm, &p.highAlarm}) {
      row->checked = true;
    }
    p.twaAlarm.checked = p.stelAlarm.checked = true;
    p.userId.checked = p.language.checked = p.twaMethod.checked = true;
    p.twaInterval.checked = p.stelInterval.checked = p.lelFullScale.checked = true;
    return p;
  }
};

// True for the check box of a detector row: a one-byte flag that other fields follow.
template <class Page>
bool IsRowFlag(const PageField<Page>& field) {
  if (field.form != FieldForm::Switch || field.bytes.size() != 1 || field.bytes[0].size != 1) {
    return false;
  }
  const auto& fields = Ops<Page>::Fields();
  return std::any_of(fields.begin(), fields.end(),
                     [&](const auto& other) { return other.row == field.label; });
}

// The page values of a record. A row that is off shows what its bytes hold (read as if it
// were on), not the page's start texts: the bytes are kept, and a diff or a row turned on
// must see them.
template <class Page>
Page Shown(const typename Ops<Page>::Record& record) {
  auto allRows = record;
  for (const auto& field : Ops<Page>::Fields()) {
    if (IsRowFlag(field)) allRows.bytes[field.bytes[0].offset] = 1;
  }
  Page page;
  Ops<Page>::Defaults(page);
  Ops<Page>::ToPage(allRows, page);
  for (const auto& field : Ops<Page>::Fields()) {
    if (IsRowFlag(field)) field.set(page, record.bytes[field.bytes[0].offset] != 0 ? kOn : kOff);
  }
  return page;
}

template <class Record>
Record Load(std::span<const std::uint8_t> bytes) {
  Record record;
  std::copy_n(bytes.begin(), std::min(bytes.size(), record.bytes.size()), record.bytes.begin());
  return record;
}

template <class Page>
std::vector<ShownField> ShowAs(std::span<const std::uint8_t> bytes) {
  const Page page = Shown<Page>(Load<typename Ops<Page>::Record>(bytes));
  std::vector<ShownField> shown;
  for (const auto& field : Ops<Page>::Fields()) {
    shown.push_back({field.label, Latin1ToUtf8(field.get(page))});
  }
  return shown;
}

template <class Page>
const PageField<Page>* Find(std::string_view label) {
  for (const auto& field : Ops<Page>::Fields()) {
    if (field.label == label) return &field;
  }
  return nullptr;
}

// The text held in a run, up to its first NUL.
std::string_view RunText(std::span<const std::uint8_t> bytes, const ByteRun& run) {
  const auto* start = reinterpret_cast<const char*>(bytes.data() + run.offset);
  std::string_view text(start, run.size);
  return text.substr(0, text.find('\0'));
}

// True when the record's bytes of `field` differ from what the page writes for the value
// it shows (a value the page changed on reading, or a flag byte other than 0 and 1).
template <class Page>
bool BytesDisagree(const PageField<Page>& field, std::span<const std::uint8_t> held,
                   std::span<const std::uint8_t> written) {
  for (const auto& run : field.bytes) {
    if (field.form == FieldForm::Text) {
      if (RunText(held, run) != RunText(written, run)) return true;
    } else if (!std::equal(held.begin() + static_cast<std::ptrdiff_t>(run.offset),
                           held.begin() + static_cast<std::ptrdiff_t>(run.offset + run.size),
                           written.begin() + static_cast<std::ptrdiff_t>(run.offset))) {
      return true;
    }
  }
  return false;
}

// A record check names a one-field row's value by the row's caption, which this table
// gives to the row's check box; such a sentence is put in the value field's name. (A
// flag byte other than 0 and 1, "is outside 0 to 1", stays with the box.)
template <class Page>
std::string InTableTerms(const std::string& refusal) {
  const auto colon = refusal.find(": ");
  if (colon != std::string::npos && refusal.find(" is outside 0 to 1") == std::string::npos) {
    const std::string caption = refusal.substr(0, colon);
    const auto* field = Find<Page>(ValueLabel(caption));
    if (field != nullptr && field->row == caption) {
      return Latin1ToUtf8(field->label + refusal.substr(colon));
    }
  }
  return Latin1ToUtf8(refusal);
}

template <class Page>
std::optional<std::string> ApplyAs(std::span<std::uint8_t> bytes,
                                   std::span<const FieldEdit> edits) {
  using O = Ops<Page>;
  using Record = typename O::Record;
  const Record original = Load<Record>(bytes);
  const Page shown = Shown<Page>(original);
  Page edited = shown;

  std::vector<const PageField<Page>*> named;
  for (const FieldEdit& edit : edits) {
    const PageField<Page>* field = Find<Page>(edit.label);
    if (field == nullptr) return edit.label + ": no such field";
    if (std::find(named.begin(), named.end(), field) != named.end()) {
      return edit.label + ": named more than once";
    }
    const auto value = Utf8ToLatin1(edit.value);
    if (!value) return edit.label + ": " + edit.value + " holds a character the record cannot hold";
    if (HasControlCharacter(*value)) return edit.label + ": the value holds a control character";
    if (O::ReadOnly(field->label) && *value != field->get(shown)) {
      return edit.label + ": the page does not let this field change";
    }
    // A value restated as shown is no change (a row that is off may show a value out of
    // range); any other value alone, against the page's own limits.
    if (*value == field->get(shown)) {
      named.push_back(field);
      continue;
    }
    Page probe = O::Valid();
    if (!field->set(probe, *value)) {
      std::string message = edit.label + ": " + edit.value + " is not ";
      switch (field->form) {
        case FieldForm::Switch:
          message += "one of on, off";
          break;
        case FieldForm::Date:
          message += "a date (YYYY-MM-DD)";
          break;
        default: {
          message += "one of ";
          for (std::size_t i = 0; i < field->choices.size(); ++i) {
            if (i != 0) message += ", ";
            message += field->choices[i];
          }
          break;
        }
      }
      return message;
    }
    if (auto refusal = O::CheckPage(probe)) {
      // The probe holds no other refusable value, so the sentence is about this field;
      // it is named by this table's label (the check names a row's value by its caption).
      const auto colon = refusal->find(": ");
      return edit.label + Latin1ToUtf8(refusal->substr(colon == std::string::npos ? 0 : colon));
    }
    field->set(edited, *value);
    named.push_back(field);
  }

  // A field whose row is off cannot be typed into on the page; restating its shown value
  // is still fine (a record's text fed back unchanged).
  for (const auto* field : named) {
    if (field->row.empty() || field->get(edited) == field->get(shown)) continue;
    if (Find<Page>(field->row)->get(edited) != kOn) {
      return field->label + ": " + field->row + " is off, so the field cannot change";
    }
  }

  Record baseline = original;
  O::FromPage(shown, baseline);
  Record encoded = original;
  O::FromPage(edited, encoded);

  Record result = original;
  const auto take = [&](const PageField<Page>& field) {
    for (const auto& run : field.bytes) {
      std::copy_n(encoded.bytes.begin() + static_cast<std::ptrdiff_t>(run.offset), run.size,
                  result.bytes.begin() + static_cast<std::ptrdiff_t>(run.offset));
    }
  };
  for (const auto* field : named) {
    const bool changed = field->get(edited) != field->get(shown);
    const bool rowOn = field->row.empty() || Find<Page>(field->row)->get(edited) == kOn;
    if (changed || (rowOn && BytesDisagree(*field, original.bytes, baseline.bytes))) take(*field);
    // Checking a row writes the values its fields show, as the page's Write does.
    if (field->form == FieldForm::Switch && changed && field->get(edited) == kOn) {
      for (const auto& member : O::Fields()) {
        if (member.row == field->label) take(member);
      }
    }
  }

  // What the record now shows must be exactly what was asked for and nothing else.
  const Page check = Shown<Page>(result);
  for (const auto& field : O::Fields()) {
    if (field.get(check) != field.get(edited)) {
      return field.label + ": the record would show " + Latin1ToUtf8(field.get(check)) +
             " instead of " + Latin1ToUtf8(field.get(edited)) + "; nothing was changed";
    }
  }
  // A set never turns a record the page accepts into one it refuses (a row turned on
  // whose kept value is out of range, say).
  if (!O::CheckRecord(original)) {
    if (auto refusal = O::CheckRecord(result)) return InTableTerms<Page>(*refusal);
  }
  std::copy(result.bytes.begin(), result.bytes.end(), bytes.begin());
  return std::nullopt;
}

template <class Page>
std::optional<std::string> WarningAs(std::span<const std::uint8_t> bytes) {
  auto refusal = Ops<Page>::CheckRecord(Load<typename Ops<Page>::Record>(bytes));
  if (refusal) return InTableTerms<Page>(*refusal);
  return std::nullopt;
}

}  // namespace

const std::vector<PageField<DockingPageValues>>& DockingFields() {
  static const auto fields = BuildDockingFields();
  return fields;
}
const std::vector<PageField<SingleGasPageValues>>& SingleGasFields() {
  static const auto fields = BuildSingleGasFields();
  return fields;
}
const std::vector<PageField<MultiGasPageValues>>& MultiGasFields() {
  static const auto fields = BuildMultiGasFields();
  return fields;
}

std::string ValueLabel(std::string_view caption) {
  return std::string(caption) + " Value";
}

std::string GridLabel(std::string_view caption, std::string_view gas) {
  std::string label(caption);
  label += ' ';
  label += gas;
  return label;
}

std::size_t RecordSize(RecordType type) {
  switch (type) {
    case RecordType::Docking:
      return kDockingInfoSize;
    case RecordType::SingleGas:
      return kSingleGasOptionSize;
    case RecordType::MultiGas:
      return kMultiGasOptionSize;
  }
  return 0;
}

std::optional<RecordType> RecordTypeOfSize(std::size_t size) {
  for (RecordType type : {RecordType::Docking, RecordType::SingleGas, RecordType::MultiGas}) {
    if (RecordSize(type) == size) return type;
  }
  return std::nullopt;
}

std::string_view RecordTypeWord(RecordType type) {
  switch (type) {
    case RecordType::Docking:
      return "docking";
    case RecordType::SingleGas:
      return "tkl";
    case RecordType::MultiGas:
      return "rvx";
  }
  return "";
}

std::vector<ShownField> ShowRecord(RecordType type, std::span<const std::uint8_t> bytes) {
  switch (type) {
    case RecordType::Docking:
      return ShowAs<DockingPageValues>(bytes);
    case RecordType::SingleGas:
      return ShowAs<SingleGasPageValues>(bytes);
    case RecordType::MultiGas:
      return ShowAs<MultiGasPageValues>(bytes);
  }
  return {};
}

std::string RecordText(RecordType type, std::span<const std::uint8_t> bytes) {
  std::string text;
  for (const auto& field : ShowRecord(type, bytes)) {
    text += field.label;
    text += ": ";
    text += field.value;
    text += '\n';
  }
  return text;
}

std::optional<std::string> RecordWarning(RecordType type, std::span<const std::uint8_t> bytes) {
  switch (type) {
    case RecordType::Docking:
      return WarningAs<DockingPageValues>(bytes);
    case RecordType::SingleGas:
      return WarningAs<SingleGasPageValues>(bytes);
    case RecordType::MultiGas:
      return WarningAs<MultiGasPageValues>(bytes);
  }
  return std::nullopt;
}

std::optional<FieldEdit> ParseAssignment(std::string_view text) {
  const auto eq = text.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return FieldEdit{std::string(text.substr(0, eq)), std::string(text.substr(eq + 1))};
}

ParsedText ParseRecordText(std::string_view text) {
  ParsedText parsed;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const auto colon = line.find(": ");
    if (colon == std::string_view::npos) {
      parsed.edits.clear();
      parsed.error = "line " + std::to_string(lineNumber) + ": not \"Label: value\"";
      return parsed;
    }
    parsed.edits.push_back(
        {std::string(line.substr(0, colon)), std::string(line.substr(colon + 2))});
  }
  return parsed;
}

std::optional<std::string> ApplyEdits(RecordType type, std::span<std::uint8_t> bytes,
                                      std::span<const FieldEdit> edits) {
  if (bytes.size() != RecordSize(type)) return std::string("the record has the wrong length");
  switch (type) {
    case RecordType::Docking:
      return ApplyAs<DockingPageValues>(bytes, edits);
    case RecordType::SingleGas:
      return ApplyAs<SingleGasPageValues>(bytes, edits);
    case RecordType::MultiGas:
      return ApplyAs<MultiGasPageValues>(bytes, edits);
  }
  return std::string("unknown record type");
}

std::vector<FieldDifference> DiffRecords(RecordType type, std::span<const std::uint8_t> a,
                                         std::span<const std::uint8_t> b) {
  const auto before = ShowRecord(type, a);
  const auto after = ShowRecord(type, b);
  std::vector<FieldDifference> differences;
  for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
    if (before[i].value != after[i].value) {
      differences.push_back({before[i].label, before[i].value, after[i].value});
    }
  }
  return differences;
}

}  // namespace ql::records
