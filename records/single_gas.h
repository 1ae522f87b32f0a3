#pragma once
// The single-gas detector option record: the option set the station pushes into its TKL
// detectors (H2S, CO and O2 versions at once), 112 bytes, little-endian, the same bytes in
// frames, in Config/TKL/TKL.cfg and in the main window's buffer. Conversions to and from
// the single-gas page's values. Pure and single-threaded.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "records/page_values.h"

namespace ql::records {

inline constexpr std::size_t kSingleGasOptionSize = 112;
inline constexpr std::size_t kSingleGasCount = 3;  // H2S, CO, O2

// The option rows, in the order of their head bytes (offsets 4 to 10).
enum class SingleGasRow : std::size_t {
  UserId,
  CalibrationInterval,
  BumpInterval,
  SelfTestInterval,
  LowAlarm,
  HighAlarm,
  Display,
};
inline constexpr std::size_t kSingleGasRowCount = 7;

struct SingleGasOptionRecord {
  std::array<std::uint8_t, kSingleGasOptionSize> bytes{};

  std::uint32_t Length() const;
  // Head byte of a row: 1 the row applies, 0 it does not.
  std::uint8_t RowFlag(SingleGasRow row) const;
  // Gas concentration as stored: H2S and O2 in tenths (250.0 is 25.0), CO in whole ppm.
  double Concentration(std::size_t gas) const;
  std::string UserId(std::size_t gas) const;  // up to the first NUL, at most 12 characters
  // The 16-bit settings of rows CalibrationInterval to Display: days, hours, alarm levels
  // (tenths for H2S and O2, whole units for CO; 0 is not set), display list index.
  std::uint16_t Setting(std::size_t gas, SingleGasRow row) const;

  void SetLength(std::uint32_t v);
  void SetRowFlag(SingleGasRow row, std::uint8_t v);
  void SetConcentration(std::size_t gas, double v);
  void SetUserId(std::size_t gas, std::string_view text);
  void SetSetting(std::size_t gas, SingleGasRow row, std::uint16_t v);
};

// What the single-gas page shows. Gas columns are indexed kH2S, kCO, kO2.
struct SingleGasPageValues {
  std::array<std::string, kSingleGasCount> concentration;  // 1199, 1200, 1203
  GasTextRow<kSingleGasCount> userId;                      // 1027: 1006, 1007, 1008
  GasTextRow<kSingleGasCount> calibrationInterval;         // 1028, days or "n/a"
  GasTextRow<kSingleGasCount> bumpInterval;                // 1031, days or "n/a"
  GasTextRow<kSingleGasCount> selfTestInterval;            // 1033, hours or "n/a"
  GasTextRow<kSingleGasCount> lowAlarm;                    // 1035
  GasTextRow<kSingleGasCount> highAlarm;                   // 1037
  GasListRow<kSingleGasCount> display;                     // 1038: 0 "Life", 1 "Sensor"
};

// The page's start values: intervals "n/a"; low alarms "10.0", "30", "19.0"; high alarms
// "15.0", "60", "23.0"; displays "Sensor"; concentrations "25.0", "100", "18.0". User IDs
// and the row check boxes keep their state.
void LoadSingleGasDefaults(SingleGasPageValues& page);

// Writes the page into `record` without clearing it first: length 112 and the three
// concentrations always (H2S and O2 as atof x 10, CO as atoi); each checked row gets head
// byte 1 and its three values ("n/a" is 0, alarms in tenths truncated toward zero for H2S
// and O2). Unchecked rows keep what the buffer held; the write paths zero it first.
void SingleGasOptionsFromPage(const SingleGasPageValues& page, SingleGasOptionRecord& record);

// Sets the page from the record: row check boxes from the head bytes (nonzero is
// checked), the concentrations, and the three fields of every flagged row. Texts pass
// through their change rules (an interval or CO alarm of 0 shows "n/a"); rows whose head
// byte is 0 keep their texts; a display index outside the list leaves the list as it was.
// Rows are enabled exactly when checked; the page applies that after this call.
void SingleGasOptionsToPage(const SingleGasOptionRecord& record, SingleGasPageValues& page);

// Checks page values against the page's limits ("n/a" or 1 to 365 days, 8 to 20 hours,
// alarm levels, concentrations, user IDs of at most 12 characters, list indexes).
// Only checked rows are looked at, as only they are written. Returns the first refused
// field as "<label>: <value> is outside <lo> to <hi>" or similar; nullopt when all pass.
std::optional<std::string> CheckSingleGasPage(const SingleGasPageValues& page);

// Checks a record as it stands (head bytes other than 0 and 1, then every value of the
// flagged rows and the concentrations), before a change rule could clamp it.
std::optional<std::string> CheckSingleGasRecord(const SingleGasOptionRecord& record);

}  // namespace ql::records
