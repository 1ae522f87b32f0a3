#include "records/single_gas.h"

#include <cmath>
#include <limits>

#include "records/byte_order.h"
#include "records/field_check.h"
#include "rules/field_rules.h"
#include "rules/field_tables.h"
#include "rules/numeric_text.h"

namespace ql::records {
namespace {

constexpr std::size_t kLengthOffset = 0;
constexpr std::size_t kHeadOffset = 4;
constexpr std::size_t kBlockOffset = 16;
constexpr std::size_t kBlockSize = 32;
constexpr std::size_t kConcentrationInBlock = 0;
constexpr std::size_t kUserIdInBlock = 8;
constexpr std::size_t kSettingsInBlock = 20;
constexpr std::size_t kTextWidth = 12;

constexpr std::size_t Block(std::size_t gas) {
  return kBlockOffset + kBlockSize * gas;
}
constexpr std::size_t Row(SingleGasRow row) {
  return static_cast<std::size_t>(row);
}

// CO is stored in whole ppm; H2S and O2 in tenths.
constexpr bool InTenths(std::size_t gas) {
  return gas != kCO;
}

// The CO concentration as a whole number. A value that no int can hold (or NaN) gives
// the most negative int, as the conversion did on the original platform; the CO field's
// cap then shows it as its maximum and the record check refuses it.
std::int32_t TruncateToInt32(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(std::trunc(v));
}

std::uint16_t AlarmFromText(std::size_t gas, const std::string& text) {
  if (text == rules::kNotUsedText) return 0;
  return InTenths(gas) ? static_cast<std::uint16_t>(rules::AtofTenths(text))
                       : static_cast<std::uint16_t>(rules::Atoi(text));
}

std::uint16_t WholeFromText(const std::string& text) {
  if (text == rules::kNotUsedText) return 0;
  return static_cast<std::uint16_t>(rules::Atoi(text));
}

struct TextRowBinding {
  SingleGasRow row;
  GasTextRow<kSingleGasCount> SingleGasPageValues::*member;
};
// The rows of 16-bit numeric settings, each a GasTextRow on the page.
constexpr std::array<TextRowBinding, 5> kSettingRows = {{
    {SingleGasRow::CalibrationInterval, &SingleGasPageValues::calibrationInterval},
    {SingleGasRow::BumpInterval, &SingleGasPageValues::bumpInterval},
    {SingleGasRow::SelfTestInterval, &SingleGasPageValues::selfTestInterval},
    {SingleGasRow::LowAlarm, &SingleGasPageValues::lowAlarm},
    {SingleGasRow::HighAlarm, &SingleGasPageValues::highAlarm},
}};

bool RowChecked(const SingleGasPageValues& page, SingleGasRow row) {
  switch (row) {
    case SingleGasRow::UserId:
      return page.userId.checked;
    case SingleGasRow::Display:
      return page.display.checked;
    default:
      break;
  }
  for (const auto& binding : kSettingRows) {
    if (binding.row == row) return (page.*binding.member).checked;
  }
  return false;
}

void SetRowChecked(SingleGasPageValues& page, SingleGasRow row, bool checked) {
  switch (row) {
    case SingleGasRow::UserId:
      page.userId.checked = checked;
      return;
    case SingleGasRow::Display:
      page.display.checked = checked;
      return;
    default:
      break;
  }
  for (const auto& binding : kSettingRows) {
    if (binding.row == row) (page.*binding.member).checked = checked;
  }
}

// The text a stored setting shows, before any change rule.
std::string SettingText(std::size_t gas, SingleGasRow row, std::uint16_t v) {
  const bool alarm = row == SingleGasRow::LowAlarm || row == SingleGasRow::HighAlarm;
  return alarm && InTenths(gas) ? rules::FormatTenths(v) : rules::FormatWhole(v);
}

// The change rule of a setting's field.
std::string SettingChangeRule(std::size_t gas, SingleGasRow row, const std::string& text) {
  switch (row) {
    case SingleGasRow::SelfTestInterval:
      return rules::SelfTestIntervalChanged(text);
    case SingleGasRow::LowAlarm:
    case SingleGasRow::HighAlarm:
      return rules::ApplyChangeRule(rules::kSingleGasAlarm[gas], text);
    default:
      return rules::ApplyChangeRule(rules::kSingleGasInterval, text);
  }
}

std::string ConcentrationText(const SingleGasOptionRecord& record, std::size_t gas) {
  const double stored = record.Concentration(gas);
  return InTenths(gas) ? rules::FormatOneDecimal(stored / 10.0)
                       : rules::FormatWhole(TruncateToInt32(stored));
}

// See SingleGasOptionsToPage; without `applyRules` the stored values are copied as they
// stand, list indexes included, for CheckSingleGasRecord.
void Decode(const SingleGasOptionRecord& record, SingleGasPageValues& page, bool applyRules) {
  for (std::size_t r = 0; r < kSingleGasRowCount; ++r) {
    const auto row = static_cast<SingleGasRow>(r);
    SetRowChecked(page, row, record.RowFlag(row) != 0);
  }
  for (std::size_t gas = 0; gas < kSingleGasCount; ++gas) {
    std::string text = ConcentrationText(record, gas);
    page.concentration[gas] =
        applyRules ? rules::ApplyChangeRule(rules::kSingleGasConcentration[gas], text) : text;
  }
  for (std::size_t gas = 0; gas < kSingleGasCount; ++gas) {
    if (record.RowFlag(SingleGasRow::UserId) != 0) page.userId.text[gas] = record.UserId(gas);
    for (const auto& binding : kSettingRows) {
      if (record.RowFlag(binding.row) == 0) continue;
      std::string text = SettingText(gas, binding.row, record.Setting(gas, binding.row));
      (page.*binding.member).text[gas] =
          applyRules ? SettingChangeRule(gas, binding.row, text) : text;
    }
    if (record.RowFlag(SingleGasRow::Display) != 0) {
      const std::uint16_t index = record.Setting(gas, SingleGasRow::Display);
      if (!applyRules || index < rules::kSingleGasDisplayItems.size()) {
        page.display.index[gas] = index;
      }
    }
  }
}

}  // namespace

std::uint32_t SingleGasOptionRecord::Length() const {
  return le::LoadU32(bytes, kLengthOffset);
}
std::uint8_t SingleGasOptionRecord::RowFlag(SingleGasRow row) const {
  return bytes[kHeadOffset + Row(row)];
}
double SingleGasOptionRecord::Concentration(std::size_t gas) const {
  return le::LoadF64(bytes, Block(gas) + kConcentrationInBlock);
}
std::string SingleGasOptionRecord::UserId(std::size_t gas) const {
  return le::LoadText(bytes, Block(gas) + kUserIdInBlock, kTextWidth);
}
std::uint16_t SingleGasOptionRecord::Setting(std::size_t gas, SingleGasRow row) const {
  return le::LoadU16(bytes, Block(gas) + kSettingsInBlock + 2 * (Row(row) - 1));
}

void SingleGasOptionRecord::SetLength(std::uint32_t v) {
  le::StoreU32(bytes, kLengthOffset, v);
}
void SingleGasOptionRecord::SetRowFlag(SingleGasRow row, std::uint8_t v) {
  bytes[kHeadOffset + Row(row)] = v;
}
void SingleGasOptionRecord::SetConcentration(std::size_t gas, double v) {
  le::StoreF64(bytes, Block(gas) + kConcentrationInBlock, v);
}
void SingleGasOptionRecord::SetUserId(std::size_t gas, std::string_view text) {
  le::StoreText(bytes, Block(gas) + kUserIdInBlock, kTextWidth, text);
}
void SingleGasOptionRecord::SetSetting(std::size_t gas, SingleGasRow row, std::uint16_t v) {
  le::StoreU16(bytes, Block(gas) + kSettingsInBlock + 2 * (Row(row) - 1), v);
}

void LoadSingleGasDefaults(SingleGasPageValues& page) {
  for (std::size_t gas = 0; gas < kSingleGasCount; ++gas) {
    page.calibrationInterval.text[gas] = rules::kNotUsedText;
    page.bumpInterval.text[gas] = rules::kNotUsedText;
    page.selfTestInterval.text[gas] = rules::kNotUsedText;
    page.display.index[gas] = 1;  // "Sensor"
  }
  page.lowAlarm.text = {"10.0", "30", "19.0"};
  page.highAlarm.text = {"15.0", "60", "23.0"};
  page.concentration = {"25.0", "100", "18.0"};
}

void SingleGasOptionsFromPage(const SingleGasPageValues& page, SingleGasOptionRecord& record) {
  record.SetLength(kSingleGasOptionSize);
  record.SetConcentration(kH2S, rules::Atof(page.concentration[kH2S]) * 10.0);
  record.SetConcentration(kCO, static_cast<double>(rules::Atoi(page.concentration[kCO])));
  record.SetConcentration(kO2, rules::Atof(page.concentration[kO2]) * 10.0);

  for (std::size_t r = 0; r < kSingleGasRowCount; ++r) {
    const auto row = static_cast<SingleGasRow>(r);
    if (RowChecked(page, row)) record.SetRowFlag(row, 1);
  }
  for (std::size_t gas = 0; gas < kSingleGasCount; ++gas) {
    if (page.userId.checked) record.SetUserId(gas, page.userId.text[gas]);
    for (const auto& binding : kSettingRows) {
      const auto& row = page.*binding.member;
      if (!row.checked) continue;
      const bool alarm =
          binding.row == SingleGasRow::LowAlarm || binding.row == SingleGasRow::HighAlarm;
      record.SetSetting(gas, binding.row,
                        alarm ? AlarmFromText(gas, row.text[gas]) : WholeFromText(row.text[gas]));
    }
    if (page.display.checked) {
      record.SetSetting(gas, SingleGasRow::Display,
                        static_cast<std::uint16_t>(page.display.index[gas]));
    }
  }
}

void SingleGasOptionsToPage(const SingleGasOptionRecord& record, SingleGasPageValues& page) {
  Decode(record, page, true);
}

std::optional<std::string> CheckSingleGasPage(const SingleGasPageValues& page) {
  using namespace rules;
  for (std::size_t gas = 0; gas < kSingleGasCount; ++gas) {
    if (auto r = check::NumericText(check::GasLabel(kCaptionGasConcentration, kSingleGasNames[gas]),
                                    kSingleGasConcentration[gas], page.concentration[gas])) {
      return r;
    }
  }
  for (std::size_t gas = 0; gas < kSingleGasCount && page.userId.checked; ++gas) {
    if (auto r = check::Text(check::GasLabel(kCaptionUserId, kSingleGasNames[gas]),
                             page.userId.text[gas], kTextFieldMax, false)) {
      return r;
    }
  }
  struct RowCheck {
    const GasTextRow<kSingleGasCount>& row;
    std::string_view caption;
  };
  const std::array<RowCheck, 5> rows = {{
      {page.calibrationInterval, kCaptionCalibrationInterval},
      {page.bumpInterval, kCaptionBumpInterval},
      {page.selfTestInterval, kCaptionSelfTestInterval},
      {page.lowAlarm, kCaptionLowAlarm},
      {page.highAlarm, kCaptionHighAlarm},
  }};
  for (const auto& [row, caption] : rows) {
    if (!row.checked) continue;
    for (std::size_t gas = 0; gas < kSingleGasCount; ++gas) {
      const std::string label = check::GasLabel(caption, kSingleGasNames[gas]);
      check::Refusal r;
      if (caption == kCaptionSelfTestInterval) {
        r = check::SelfTestText(label, row.text[gas]);
      } else if (caption == kCaptionLowAlarm || caption == kCaptionHighAlarm) {
        r = check::NumericText(label, kSingleGasAlarm[gas], row.text[gas]);
      } else {
        r = check::NumericText(label, kSingleGasInterval, row.text[gas]);
      }
      if (r) return r;
    }
  }
  for (std::size_t gas = 0; gas < kSingleGasCount && page.display.checked; ++gas) {
    if (auto r = check::ListIndex(check::GasLabel(kCaptionDisplay, kSingleGasNames[gas]),
                                  page.display.index[gas], kSingleGasDisplayItems.size())) {
      return r;
    }
  }
  return std::nullopt;
}

std::optional<std::string> CheckSingleGasRecord(const SingleGasOptionRecord& record) {
  constexpr std::array<std::string_view, kSingleGasRowCount> kRowCaptions = {
      rules::kCaptionUserId,       rules::kCaptionCalibrationInterval,
      rules::kCaptionBumpInterval, rules::kCaptionSelfTestInterval,
      rules::kCaptionLowAlarm,     rules::kCaptionHighAlarm,
      rules::kCaptionDisplay};
  for (std::size_t r = 0; r < kSingleGasRowCount; ++r) {
    if (auto refusal = check::Flag(kRowCaptions[r], record.RowFlag(static_cast<SingleGasRow>(r)))) {
      return refusal;
    }
  }
  SingleGasPageValues raw;
  Decode(record, raw, false);
  return CheckSingleGasPage(raw);
}

}  // namespace ql::records
