#include "records/multi_gas.h"

#include "records/byte_order.h"
#include "records/field_check.h"
#include "rules/field_rules.h"
#include "rules/field_tables.h"
#include "rules/numeric_text.h"

namespace ql::records {
namespace {

constexpr std::size_t kLengthOffset = 0;
constexpr std::size_t kFlagOffset = 4;
constexpr std::size_t kUserIdOffset = 72;
constexpr std::size_t kUserIdWidth = 12;
constexpr std::size_t kLanguageOffset = 84;
constexpr std::size_t kTwaMethodOffset = 85;
constexpr std::size_t kTwaIntervalOffset = 86;
constexpr std::size_t kStelIntervalOffset = 87;
constexpr std::size_t kLelFullScaleOffset = 88;

constexpr std::size_t ArrayOffset(MultiGasArray array) {
  switch (array) {
    case MultiGasArray::CalibrationInterval:
      return 24;
    case MultiGasArray::BumpInterval:
      return 32;
    case MultiGasArray::LowAlarm:
      return 40;
    case MultiGasArray::HighAlarm:
      return 48;
    case MultiGasArray::TwaAlarm:
      return 56;
    case MultiGasArray::StelAlarm:
      return 64;
    case MultiGasArray::Concentration:
      return 90;
  }
  return 90;
}

using Page = MultiGasPageValues;

// A row of per-gas texts: its flag, its record array, its page row and field rules.
template <std::size_t N>
struct GasRowBinding {
  MultiGasFlag flag;
  MultiGasArray array;
  GasTextRow<N> Page::*member;
  std::string_view caption;
};

constexpr std::array<GasRowBinding<kMultiGasCount>, 4> kGasRows = {{
    {MultiGasFlag::CalibrationInterval, MultiGasArray::CalibrationInterval,
     &Page::calibrationInterval, rules::kCaptionCalibrationInterval},
    {MultiGasFlag::BumpInterval, MultiGasArray::BumpInterval, &Page::bumpInterval,
     rules::kCaptionBumpInterval},
    {MultiGasFlag::LowAlarm, MultiGasArray::LowAlarm, &Page::lowAlarm, rules::kCaptionLowAlarm},
    {MultiGasFlag::HighAlarm, MultiGasArray::HighAlarm, &Page::highAlarm, rules::kCaptionHighAlarm},
}};

constexpr std::array<GasRowBinding<kExposureGasCount>, 2> kExposureRows = {{
    {MultiGasFlag::TwaAlarm, MultiGasArray::TwaAlarm, &Page::twaAlarm, rules::kCaptionTwaAlarm},
    {MultiGasFlag::StelAlarm, MultiGasArray::StelAlarm, &Page::stelAlarm, rules::kCaptionStelAlarm},
}};

const rules::NumericField& GasRowField(MultiGasArray array, std::size_t gas) {
  switch (array) {
    case MultiGasArray::CalibrationInterval:
    case MultiGasArray::BumpInterval:
      return rules::kMultiGasDays;
    case MultiGasArray::TwaAlarm:
    case MultiGasArray::StelAlarm:
      return rules::kMultiGasExposureAlarm[gas];
    case MultiGasArray::Concentration:
      return rules::kMultiGasConcentration[gas];
    default:
      return rules::kMultiGasAlarm[gas];
  }
}

struct OptionBinding {
  MultiGasFlag flag;
  bool Page::*member;
};
constexpr std::array<OptionBinding, 7> kOptions = {{
    {MultiGasFlag::SafeDisplay, &Page::safeDisplay},
    {MultiGasFlag::DockLock, &Page::dockLock},
    {MultiGasFlag::MaintenanceNotification, &Page::maintenanceNotification},
    {MultiGasFlag::LatchingAlarms, &Page::latchingAlarms},
    {MultiGasFlag::AutoZero, &Page::autoZero},
    {MultiGasFlag::LelByVolumeCh4, &Page::lelByVolumeCh4},
    {MultiGasFlag::OffLock, &Page::offLock},
}};

// A record value in the form its field shows it, before any change rule.
std::string ValueText(const rules::NumericField& field, std::int64_t v) {
  return rules::IsWholeKind(field.kind) ? rules::FormatWhole(v) : rules::FormatTenths(v);
}

// A field's record value; "n/a" reads as 0 for every kind.
std::int64_t TextValue(const rules::NumericField& field, const std::string& text) {
  return text == rules::kNotUsedText ? 0 : rules::ReadFieldValue(field, text);
}

template <std::size_t N>
void EncodeRow(const Page& page, const GasRowBinding<N>& binding, MultiGasOptionRecord& record) {
  const auto& row = page.*binding.member;
  if (!row.checked) return;
  record.SetFlag(binding.flag, 1);
  for (std::size_t gas = 0; gas < N; ++gas) {
    const auto v = TextValue(GasRowField(binding.array, gas), row.text[gas]);
    record.SetValue(binding.array, gas, static_cast<std::uint16_t>(v));
  }
}

template <std::size_t N>
void DecodeRow(const MultiGasOptionRecord& record, const GasRowBinding<N>& binding, Page& page,
               bool applyRules) {
  auto& row = page.*binding.member;
  row.checked = record.Flag(binding.flag) != 0;
  if (!row.checked) return;
  for (std::size_t gas = 0; gas < N; ++gas) {
    const auto& field = GasRowField(binding.array, gas);
    std::string text = ValueText(field, record.Value(binding.array, gas));
    row.text[gas] = applyRules ? rules::ApplyChangeRule(field, text) : text;
  }
}

void DecodeScalar(bool flagged, const rules::NumericField& field, std::int64_t v,
                  TextOption& option, bool applyRules) {
  option.checked = flagged;
  if (!flagged) return;
  std::string text = ValueText(field, v);
  option.text = applyRules ? rules::ApplyChangeRule(field, text) : text;
}

void DecodeList(bool flagged, std::uint8_t index, std::size_t items, ListOption& option,
                bool applyRules) {
  option.checked = flagged;
  if (flagged && (!applyRules || index < items)) option.index = index;
}

// See MultiGasOptionsToPage; without `applyRules` the stored values are copied as they
// stand, list indexes included, for CheckMultiGasRecord.
void Decode(const MultiGasOptionRecord& record, Page& page, bool applyRules) {
  for (const auto& binding : kGasRows) DecodeRow(record, binding, page, applyRules);
  for (const auto& binding : kExposureRows) DecodeRow(record, binding, page, applyRules);
  for (std::size_t gas = 0; gas < kMultiGasCount; ++gas) {
    const auto& field = rules::kMultiGasConcentration[gas];
    std::string text = ValueText(field, record.Value(MultiGasArray::Concentration, gas));
    page.concentration[gas] = applyRules ? rules::ApplyChangeRule(field, text) : text;
  }
  page.userId.checked = record.Flag(MultiGasFlag::UserId) != 0;
  if (page.userId.checked) page.userId.text = record.UserId();
  DecodeList(record.Flag(MultiGasFlag::Language) != 0, record.Language(),
             rules::kLanguageItems.size(), page.language, applyRules);
  DecodeList(record.Flag(MultiGasFlag::TwaMethod) != 0, record.TwaMethod(),
             rules::kTwaMethodItems.size(), page.twaMethod, applyRules);
  DecodeScalar(record.Flag(MultiGasFlag::TwaInterval) != 0, rules::kTwaInterval,
               record.TwaInterval(), page.twaInterval, applyRules);
  DecodeScalar(record.Flag(MultiGasFlag::StelInterval) != 0, rules::kStelInterval,
               record.StelInterval(), page.stelInterval, applyRules);
  DecodeScalar(record.Flag(MultiGasFlag::LelFullScale) != 0, rules::kLelFullScale,
               record.LelFullScale(), page.lelFullScale, applyRules);
  for (const auto& option : kOptions) page.*option.member = record.Flag(option.flag) != 0;
}

template <std::size_t N>
check::Refusal CheckRow(const Page& page, const GasRowBinding<N>& binding) {
  const auto& row = page.*binding.member;
  if (!row.checked) return std::nullopt;
  for (std::size_t gas = 0; gas < N; ++gas) {
    if (auto r = check::NumericText(check::GasLabel(binding.caption, rules::kMultiGasNames[gas]),
                                    GasRowField(binding.array, gas), row.text[gas])) {
      return r;
    }
  }
  return std::nullopt;
}

constexpr std::array<std::string_view, kMultiGasFlagCount> kFlagCaptions = {
    rules::kCaptionCalibrationInterval,
    rules::kCaptionBumpInterval,
    rules::kCaptionLowAlarm,
    rules::kCaptionHighAlarm,
    rules::kCaptionTwaAlarm,
    rules::kCaptionStelAlarm,
    rules::kCaptionUserIdMessage,
    rules::kCaptionLanguage,
    rules::kCaptionTwaMethod,
    rules::kCaptionTwaInterval,
    rules::kCaptionStelInterval,
    rules::kCaptionLelFullScale,
    "Safe Display",
    "Dock Lock",
    "Maintenance Notification",
    "Latching Alarms",
    "Auto Zero",
    "LEL By Volume CH4",
    "OFF Lock",
};

}  // namespace

std::uint32_t MultiGasOptionRecord::Length() const {
  return le::LoadU32(bytes, kLengthOffset);
}
std::uint8_t MultiGasOptionRecord::Flag(MultiGasFlag flag) const {
  return bytes[kFlagOffset + static_cast<std::size_t>(flag)];
}
std::uint16_t MultiGasOptionRecord::Value(MultiGasArray array, std::size_t gas) const {
  return le::LoadU16(bytes, ArrayOffset(array) + 2 * gas);
}
std::string MultiGasOptionRecord::UserId() const {
  return le::LoadText(bytes, kUserIdOffset, kUserIdWidth);
}
std::uint8_t MultiGasOptionRecord::Language() const {
  return bytes[kLanguageOffset];
}
std::uint8_t MultiGasOptionRecord::TwaMethod() const {
  return bytes[kTwaMethodOffset];
}
std::uint8_t MultiGasOptionRecord::TwaInterval() const {
  return bytes[kTwaIntervalOffset];
}
std::uint8_t MultiGasOptionRecord::StelInterval() const {
  return bytes[kStelIntervalOffset];
}
std::uint16_t MultiGasOptionRecord::LelFullScale() const {
  return le::LoadU16(bytes, kLelFullScaleOffset);
}

void MultiGasOptionRecord::SetLength(std::uint32_t v) {
  le::StoreU32(bytes, kLengthOffset, v);
}
void MultiGasOptionRecord::SetFlag(MultiGasFlag flag, std::uint8_t v) {
  bytes[kFlagOffset + static_cast<std::size_t>(flag)] = v;
}
void MultiGasOptionRecord::SetValue(MultiGasArray array, std::size_t gas, std::uint16_t v) {
  le::StoreU16(bytes, ArrayOffset(array) + 2 * gas, v);
}
void MultiGasOptionRecord::SetUserId(std::string_view text) {
  le::StoreText(bytes, kUserIdOffset, kUserIdWidth, text);
}
void MultiGasOptionRecord::SetLanguage(std::uint8_t v) {
  bytes[kLanguageOffset] = v;
}
void MultiGasOptionRecord::SetTwaMethod(std::uint8_t v) {
  bytes[kTwaMethodOffset] = v;
}
void MultiGasOptionRecord::SetTwaInterval(std::uint8_t hours) {
  bytes[kTwaIntervalOffset] = hours;
}
void MultiGasOptionRecord::SetStelInterval(std::uint8_t minutes) {
  bytes[kStelIntervalOffset] = minutes;
}
void MultiGasOptionRecord::SetLelFullScale(std::uint16_t tenths) {
  le::StoreU16(bytes, kLelFullScaleOffset, tenths);
}

void LoadMultiGasDefaults(MultiGasPageValues& page) {
  for (std::size_t gas = 0; gas < kMultiGasCount; ++gas) {
    page.calibrationInterval.text[gas] = rules::kNotUsedText;
    page.bumpInterval.text[gas] = rules::kNotUsedText;
  }
  page.lowAlarm.text = {"10.0", "30", "19.0", "10.0"};
  page.highAlarm.text = {"30.0", "60", "23.0", "30.0"};
  page.stelAlarm.text = {"10.0", "30.0"};
  page.twaAlarm.text = {"30.0", "60.0"};
  page.twaInterval.text = "8";
  page.stelInterval.text = "15";
  page.lelFullScale.text = "2.5";
  page.concentration = {"25.0", "100.0", "17.0", "50.0"};
  page.language.index = 0;   // "English"
  page.twaMethod.index = 1;  // "OSHA"
}

void MultiGasOptionsFromPage(const MultiGasPageValues& page, MultiGasOptionRecord& record) {
  record = MultiGasOptionRecord{};
  record.SetLength(kMultiGasOptionSize);
  for (std::size_t gas = 0; gas < kMultiGasCount; ++gas) {
    const auto v = TextValue(rules::kMultiGasConcentration[gas], page.concentration[gas]);
    record.SetValue(MultiGasArray::Concentration, gas, static_cast<std::uint16_t>(v));
  }
  for (const auto& binding : kGasRows) EncodeRow(page, binding, record);
  for (const auto& binding : kExposureRows) EncodeRow(page, binding, record);
  if (page.userId.checked) {
    record.SetFlag(MultiGasFlag::UserId, 1);
    record.SetUserId(page.userId.text);
  }
  if (page.language.checked) {
    record.SetFlag(MultiGasFlag::Language, 1);
    record.SetLanguage(static_cast<std::uint8_t>(page.language.index));
  }
  if (page.twaMethod.checked) {
    record.SetFlag(MultiGasFlag::TwaMethod, 1);
    record.SetTwaMethod(static_cast<std::uint8_t>(page.twaMethod.index));
  }
  if (page.twaInterval.checked) {
    record.SetFlag(MultiGasFlag::TwaInterval, 1);
    record.SetTwaInterval(
        static_cast<std::uint8_t>(TextValue(rules::kTwaInterval, page.twaInterval.text)));
  }
  if (page.stelInterval.checked) {
    record.SetFlag(MultiGasFlag::StelInterval, 1);
    record.SetStelInterval(
        static_cast<std::uint8_t>(TextValue(rules::kStelInterval, page.stelInterval.text)));
  }
  if (page.lelFullScale.checked) {
    record.SetFlag(MultiGasFlag::LelFullScale, 1);
    record.SetLelFullScale(
        static_cast<std::uint16_t>(TextValue(rules::kLelFullScale, page.lelFullScale.text)));
  }
  for (const auto& option : kOptions) {
    if (page.*option.member) record.SetFlag(option.flag, 1);
  }
}

void MultiGasOptionsToPage(const MultiGasOptionRecord& record, MultiGasPageValues& page) {
  Decode(record, page, true);
}

std::optional<std::string> CheckMultiGasPage(const MultiGasPageValues& page) {
  using namespace rules;
  for (std::size_t gas = 0; gas < kMultiGasCount; ++gas) {
    if (auto r = check::NumericText(check::GasLabel(kCaptionGasConcentration, kMultiGasNames[gas]),
                                    kMultiGasConcentration[gas], page.concentration[gas])) {
      return r;
    }
  }
  for (const auto& binding : kGasRows) {
    if (auto r = CheckRow(page, binding)) return r;
  }
  for (const auto& binding : kExposureRows) {
    if (auto r = CheckRow(page, binding)) return r;
  }
  if (page.userId.checked) {
    if (auto r = check::Text(kCaptionUserIdMessage, page.userId.text, kTextFieldMax, false)) {
      return r;
    }
  }
  if (page.language.checked) {
    if (auto r = check::ListIndex(kCaptionLanguage, page.language.index, kLanguageItems.size())) {
      return r;
    }
  }
  if (page.twaMethod.checked) {
    if (auto r =
            check::ListIndex(kCaptionTwaMethod, page.twaMethod.index, kTwaMethodItems.size())) {
      return r;
    }
  }
  if (page.twaInterval.checked) {
    if (auto r = check::NumericText(kCaptionTwaInterval, kTwaInterval, page.twaInterval.text)) {
      return r;
    }
  }
  if (page.stelInterval.checked) {
    if (auto r = check::NumericText(kCaptionStelInterval, kStelInterval, page.stelInterval.text)) {
      return r;
    }
  }
  if (page.lelFullScale.checked) {
    if (auto r = check::NumericText(kCaptionLelFullScale, kLelFullScale, page.lelFullScale.text)) {
      return r;
    }
  }
  return std::nullopt;
}

std::optional<std::string> CheckMultiGasRecord(const MultiGasOptionRecord& record) {
  for (std::size_t i = 0; i < kMultiGasFlagCount; ++i) {
    if (auto r = check::Flag(kFlagCaptions[i], record.Flag(static_cast<MultiGasFlag>(i)))) {
      return r;
    }
  }
  MultiGasPageValues raw;
  Decode(record, raw, false);
  return CheckMultiGasPage(raw);
}

}  // namespace ql::records
