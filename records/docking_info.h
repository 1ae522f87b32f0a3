#pragma once
// The docking station information record: the station's own settings, 64 bytes,
// little-endian, the same bytes in frames, in Config/Docking/Docking.cfg and in the
// main window's buffer. Conversions to and from the docking station page's values.
// Pure and single-threaded; callers own every object passed in.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ql::records {

inline constexpr std::size_t kDockingInfoSize = 64;

// A calendar date as a date picker shows it (no time of day).
struct PageDate {
  int year = 0;
  int month = 0;
  int day = 0;
  friend bool operator==(const PageDate&, const PageDate&) = default;
};

// The range a date picker accepts (Gregorian dates only, four-digit years).
inline constexpr PageDate kPickerMinDate{1752, 9, 14};
inline constexpr PageDate kPickerMaxDate{9999, 12, 31};

// True for a real calendar date within the picker's range.
bool IsPickerDate(const PageDate& date);

// The five enable/disable switches, in record order.
enum class DockingSwitch : std::size_t {
  Calibrate,                     // " Calibrate" (1062)
  BumpTests,                     // " Bump Tests" (1030)
  AllowHibernate,                // " Allow Hibernate" (1032)
  UpdateDetectorConfigurations,  // check box 1034
  UpdateDetectorFirmware,        // check box 1036
};
inline constexpr std::size_t kDockingSwitchCount = 5;

struct DockingInfoRecord {
  std::array<std::uint8_t, kDockingInfoSize> bytes{};

  std::uint32_t Length() const;
  std::string SerialNumber() const;  // up to the first NUL, at most 12 characters
  std::uint16_t Version() const;
  std::uint16_t BumpResultDecision() const;
  std::string Location() const;
  std::uint16_t AutoPowerOffTime() const;  // seconds
  std::uint16_t MaximumBumpTime() const;   // seconds
  std::uint16_t GasExpirationYear() const;
  std::uint8_t GasExpirationMonth() const;
  std::uint8_t GasExpirationDay() const;
  std::int32_t GasBottleLot() const;
  std::uint32_t Switch(DockingSwitch which) const;  // 1 checked, 0 not

  void SetLength(std::uint32_t v);
  void SetSerialNumber(std::string_view text);  // first 12 characters, NUL-padded
  void SetVersion(std::uint16_t v);
  void SetBumpResultDecision(std::uint16_t v);
  void SetLocation(std::string_view text);
  void SetAutoPowerOffTime(std::uint16_t seconds);
  void SetMaximumBumpTime(std::uint16_t seconds);
  void SetGasExpirationDate(std::uint16_t year, std::uint8_t month, std::uint8_t day);
  void SetGasBottleLot(std::int32_t v);
  void SetSwitch(DockingSwitch which, std::uint32_t v);
};

// What the docking station page shows: control texts, check states, the list selection
// and the picked date. A default-constructed value is an empty page; LoadDockingDefaults
// gives the start values.
struct DockingPageValues {
  std::string serialNumber;      // 1054, read-only on the page
  std::string version;           // 1056, read-only on the page
  std::string location;          // 1053
  std::string autoPowerOffTime;  // 1019, seconds
  std::string maximumBumpTime;   // 1021, seconds
  PageDate gasExpirationDate;    // 1025
  std::string gasBottleLot;      // 1023
  int bumpResultDecision = 0;    // 1224: 0 "Beep", 1 "Concentration", 2 "Beep + Concentration"
  std::array<bool, kDockingSwitchCount> switches{};  // indexed by DockingSwitch

  bool Switch(DockingSwitch which) const { return switches[static_cast<std::size_t>(which)]; }
  void SetSwitch(DockingSwitch which, bool on) { switches[static_cast<std::size_t>(which)] = on; }
};

// The page's start values: Auto Power-Off Time "300", Maximum Bump Time "30", "Beep",
// Calibrate, Bump Tests and both Update switches checked. Serial Number, Version,
// Location, Gas Bottle Lot # and the date keep what they hold; Allow Hibernate too (the
// page never lets it change).
void LoadDockingDefaults(DockingPageValues& page);

// Fills all 64 bytes from the page: texts read with atoi (low 16 bits for 16-bit
// fields), texts cut to 12 characters, length 64.
void DockingInfoFromPage(const DockingPageValues& page, DockingInfoRecord& record);

// Sets the page from the record. Every text passes through its field's change rule, as
// if typed (a maximum bump time of 500 shows 120; a serial number loses characters other
// than letters and digits). A date the picker does not accept, or a bump result decision
// outside the list, leaves that control as it was. Switches: any nonzero value is checked.
// The Bump Result Decision list is enabled exactly when Bump Tests is checked; the page
// applies that after this call.
void DockingInfoToPage(const DockingInfoRecord& record, DockingPageValues& page);

// Checks page values against what the page accepts and what the record can hold; returns
// the first refused field as "<label>: <value> is outside <lo> to <hi>" (or a similar
// sentence for texts), nullopt when everything may be written.
std::optional<std::string> CheckDockingPage(const DockingPageValues& page);

// Checks a record as it stands, before any change rule could adjust it: switch fields
// other than 0 and 1, and every field CheckDockingPage would refuse. A writer that decodes
// a record with DockingInfoToPage runs this first, so a value the page would silently
// clamp is refused rather than sent changed.
std::optional<std::string> CheckDockingRecord(const DockingInfoRecord& record);

}  // namespace ql::records
