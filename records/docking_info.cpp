#include "records/docking_info.h"

#include <cstdio>

#include "records/byte_order.h"
#include "records/field_check.h"
#include "rules/calendar.h"
#include "rules/field_rules.h"
#include "rules/field_tables.h"
#include "rules/numeric_text.h"

namespace ql::records {
namespace {

namespace off {
constexpr std::size_t kLength = 0;
constexpr std::size_t kSerialNumber = 4;
constexpr std::size_t kVersion = 16;
constexpr std::size_t kBumpResultDecision = 18;
constexpr std::size_t kLocation = 20;
constexpr std::size_t kAutoPowerOffTime = 32;
constexpr std::size_t kMaximumBumpTime = 34;
constexpr std::size_t kGasYear = 36;
constexpr std::size_t kGasMonth = 38;
constexpr std::size_t kGasDay = 39;
constexpr std::size_t kGasBottleLot = 40;
constexpr std::size_t kSwitches = 44;  // five u32, in DockingSwitch order
}  // namespace off

constexpr std::size_t kTextWidth = 12;

std::size_t SwitchOffset(DockingSwitch which) {
  return off::kSwitches + 4 * static_cast<std::size_t>(which);
}

bool DateBefore(const PageDate& a, const PageDate& b) {
  if (a.year != b.year) return a.year < b.year;
  if (a.month != b.month) return a.month < b.month;
  return a.day < b.day;
}

std::string FormatDate(const PageDate& date) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

constexpr std::array<std::string_view, kDockingSwitchCount> kSwitchLabels = {
    "Calibrate", "Bump Tests", "Allow Hibernate", "Update Detector Configurations",
    "Update Detector Firmware"};

// Sets the page from the record. With `applyRules` the texts pass through the fields'
// change rules and the controls refuse what they cannot show, as on the page; without,
// the record's values are copied as they stand (for CheckDockingRecord).
void Decode(const DockingInfoRecord& record, DockingPageValues& page, bool applyRules) {
  page.serialNumber = record.SerialNumber();
  page.version = rules::FormatWhole(record.Version());
  page.location = record.Location();
  page.autoPowerOffTime = rules::FormatWhole(record.AutoPowerOffTime());
  page.maximumBumpTime = rules::FormatWhole(record.MaximumBumpTime());
  const PageDate date{record.GasExpirationYear(), record.GasExpirationMonth(),
                      record.GasExpirationDay()};
  page.gasBottleLot = rules::FormatWhole(record.GasBottleLot());
  const std::uint16_t decision = record.BumpResultDecision();
  for (std::size_t i = 0; i < kDockingSwitchCount; ++i) {
    page.switches[i] = record.Switch(static_cast<DockingSwitch>(i)) != 0;
  }
  if (!applyRules) {
    page.gasExpirationDate = date;
    page.bumpResultDecision = decision;
    return;
  }
  page.serialNumber = rules::KeepLettersAndDigits(page.serialNumber);
  page.location = rules::KeepLettersAndDigits(page.location);
  page.autoPowerOffTime = rules::AutoPowerOffTimeChanged(page.autoPowerOffTime);
  page.maximumBumpTime = rules::MaximumBumpTimeChanged(page.maximumBumpTime);
  if (IsPickerDate(date)) page.gasExpirationDate = date;
  if (decision < rules::kBumpResultDecisionItems.size()) page.bumpResultDecision = decision;
}

}  // namespace

bool IsPickerDate(const PageDate& date) {
  if (date.month < 1 || date.month > 12 || date.day < 1) return false;
  if (date.year < 1 || date.day > rules::DaysInMonth(date.year, date.month)) return false;
  return !DateBefore(date, kPickerMinDate) && !DateBefore(kPickerMaxDate, date);
}

std::uint32_t DockingInfoRecord::Length() const {
  return le::LoadU32(this->bytes, off::kLength);
}
std::string DockingInfoRecord::SerialNumber() const {
  return le::LoadText(this->bytes, off::kSerialNumber, kTextWidth);
}
std::uint16_t DockingInfoRecord::Version() const {
  return le::LoadU16(this->bytes, off::kVersion);
}
std::uint16_t DockingInfoRecord::BumpResultDecision() const {
  return le::LoadU16(this->bytes, off::kBumpResultDecision);
}
std::string DockingInfoRecord::Location() const {
  return le::LoadText(this->bytes, off::kLocation, kTextWidth);
}
std::uint16_t DockingInfoRecord::AutoPowerOffTime() const {
  return le::LoadU16(this->bytes, off::kAutoPowerOffTime);
}
std::uint16_t DockingInfoRecord::MaximumBumpTime() const {
  return le::LoadU16(this->bytes, off::kMaximumBumpTime);
}
std::uint16_t DockingInfoRecord::GasExpirationYear() const {
  return le::LoadU16(this->bytes, off::kGasYear);
}
std::uint8_t DockingInfoRecord::GasExpirationMonth() const {
  return this->bytes[off::kGasMonth];
}
std::uint8_t DockingInfoRecord::GasExpirationDay() const {
  return this->bytes[off::kGasDay];
}
std::int32_t DockingInfoRecord::GasBottleLot() const {
  return static_cast<std::int32_t>(le::LoadU32(this->bytes, off::kGasBottleLot));
}
std::uint32_t DockingInfoRecord::Switch(DockingSwitch which) const {
  return le::LoadU32(this->bytes, SwitchOffset(which));
}

void DockingInfoRecord::SetLength(std::uint32_t v) {
  le::StoreU32(this->bytes, off::kLength, v);
}
void DockingInfoRecord::SetSerialNumber(std::string_view text) {
  le::StoreText(this->bytes, off::kSerialNumber, kTextWidth, text);
}
void DockingInfoRecord::SetVersion(std::uint16_t v) {
  le::StoreU16(this->bytes, off::kVersion, v);
}
void DockingInfoRecord::SetBumpResultDecision(std::uint16_t v) {
  le::StoreU16(this->bytes, off::kBumpResultDecision, v);
}
void DockingInfoRecord::SetLocation(std::string_view text) {
  le::StoreText(this->bytes, off::kLocation, kTextWidth, text);
}
void DockingInfoRecord::SetAutoPowerOffTime(std::uint16_t seconds) {
  le::StoreU16(this->bytes, off::kAutoPowerOffTime, seconds);
}
void DockingInfoRecord::SetMaximumBumpTime(std::uint16_t seconds) {
  le::StoreU16(this->bytes, off::kMaximumBumpTime, seconds);
}
void DockingInfoRecord::SetGasExpirationDate(std::uint16_t year, std::uint8_t month,
                                             std::uint8_t day) {
  le::StoreU16(this->bytes, off::kGasYear, year);
  this->bytes[off::kGasMonth] = month;
  this->bytes[off::kGasDay] = day;
}
void DockingInfoRecord::SetGasBottleLot(std::int32_t v) {
  le::StoreU32(this->bytes, off::kGasBottleLot, static_cast<std::uint32_t>(v));
}
void DockingInfoRecord::SetSwitch(DockingSwitch which, std::uint32_t v) {
  le::StoreU32(this->bytes, SwitchOffset(which), v);
}

void LoadDockingDefaults(DockingPageValues& page) {
  page.autoPowerOffTime = "300";
  page.maximumBumpTime = "30";
  page.bumpResultDecision = 0;
  page.SetSwitch(DockingSwitch::Calibrate, true);
  page.SetSwitch(DockingSwitch::BumpTests, true);
  page.SetSwitch(DockingSwitch::UpdateDetectorConfigurations, true);
  page.SetSwitch(DockingSwitch::UpdateDetectorFirmware, true);
}

void DockingInfoFromPage(const DockingPageValues& page, DockingInfoRecord& record) {
  record.SetLength(kDockingInfoSize);
  record.SetSerialNumber(page.serialNumber);
  record.SetVersion(static_cast<std::uint16_t>(rules::Atoi(page.version)));
  record.SetBumpResultDecision(static_cast<std::uint16_t>(page.bumpResultDecision));
  record.SetLocation(page.location);
  record.SetAutoPowerOffTime(static_cast<std::uint16_t>(rules::Atoi(page.autoPowerOffTime)));
  record.SetMaximumBumpTime(static_cast<std::uint16_t>(rules::Atoi(page.maximumBumpTime)));
  record.SetGasExpirationDate(static_cast<std::uint16_t>(page.gasExpirationDate.year),
                              static_cast<std::uint8_t>(page.gasExpirationDate.month),
                              static_cast<std::uint8_t>(page.gasExpirationDate.day));
  record.SetGasBottleLot(rules::Atoi(page.gasBottleLot));
  for (std::size_t i = 0; i < kDockingSwitchCount; ++i) {
    record.SetSwitch(static_cast<DockingSwitch>(i), page.switches[i] ? 1u : 0u);
  }
}

void DockingInfoToPage(const DockingInfoRecord& record, DockingPageValues& page) {
  Decode(record, page, true);
}

std::optional<std::string> CheckDockingPage(const DockingPageValues& page) {
  using namespace rules;
  if (auto r = check::Text(kCaptionSerialNumber, page.serialNumber, kTextFieldMax, true)) return r;
  if (auto r = check::WholeRange(kCaptionVersion, page.version, 0, 65535, true)) return r;
  if (auto r = check::Text(kCaptionLocation, page.location, kTextFieldMax, true)) return r;
  if (auto r = check::WholeRange(kCaptionAutoPowerOffTime, page.autoPowerOffTime, kAutoPowerOffMin,
                                 kAutoPowerOffMax)) {
    return r;
  }
  if (auto r = check::WholeRange(kCaptionMaximumBumpTime, page.maximumBumpTime, kMaxBumpTimeMin,
                                 kMaxBumpTimeMax)) {
    return r;
  }
  if (!IsPickerDate(page.gasExpirationDate)) {
    return check::Outside(kCaptionGasExpirationDate, FormatDate(page.gasExpirationDate),
                          FormatDate(kPickerMinDate), FormatDate(kPickerMaxDate));
  }
  if (auto r = check::Text(kCaptionGasBottleLot, page.gasBottleLot, kTextFieldMax, false)) return r;
  if (auto r =
          check::WholeRange(kCaptionGasBottleLot, page.gasBottleLot, INT32_MIN, INT32_MAX, true)) {
    return r;
  }
  return check::ListIndex(kCaptionBumpResultDecision, page.bumpResultDecision,
                          kBumpResultDecisionItems.size());
}

std::optional<std::string> CheckDockingRecord(const DockingInfoRecord& record) {
  for (std::size_t i = 0; i < kDockingSwitchCount; ++i) {
    if (auto r = check::Flag(kSwitchLabels[i], record.Switch(static_cast<DockingSwitch>(i)))) {
      return r;
    }
  }
  DockingPageValues raw;
  Decode(record, raw, false);
  return CheckDockingPage(raw);
}

}  // namespace ql::records
