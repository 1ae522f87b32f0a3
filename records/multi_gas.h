#pragma once
// The multi-gas detector option record: the options the station sets in its RVX
// detectors and the four calibration gas concentrations, 100 bytes, little-endian, the
// same bytes in frames, in Config/RVX/RVX.cfg and in the main window's buffer.
// Conversions to and from the multi-gas page's values. Pure and single-threaded.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "records/page_values.h"

namespace ql::records {

inline constexpr std::size_t kMultiGasOptionSize = 100;
inline constexpr std::size_t kMultiGasCount = 4;     // H2S, CO, O2, LEL
inline constexpr std::size_t kExposureGasCount = 2;  // TWA and STEL: H2S, CO

// The 19 flag bytes at offsets 4 to 22, in record order: twelve rows, then the seven
// option switches.
enum class MultiGasFlag : std::size_t {
  CalibrationInterval,
  BumpInterval,
  LowAlarm,
  HighAlarm,
  TwaAlarm,
  StelAlarm,
  UserId,
  Language,
  TwaMethod,
  TwaInterval,
  StelInterval,
  LelFullScale,
  SafeDisplay,
  DockLock,
  MaintenanceNotification,
  LatchingAlarms,
  AutoZero,
  LelByVolumeCh4,
  OffLock,
};
inline constexpr std::size_t kMultiGasFlagCount = 19;

// The per-gas 16-bit arrays. Days are whole; alarms and concentrations are in tenths.
// TWA and STEL alarms have two entries (H2S, CO), the others four.
enum class MultiGasArray {
  CalibrationInterval,
  BumpInterval,
  LowAlarm,
  HighAlarm,
  TwaAlarm,
  StelAlarm,
  Concentration,
};

struct MultiGasOptionRecord {
  std::array<std::uint8_t, kMultiGasOptionSize> bytes{};

  std::uint32_t Length() const;
  std::uint8_t Flag(MultiGasFlag flag) const;
  std::uint16_t Value(MultiGasArray array, std::size_t gas) const;
  std::string UserId() const;  // up to the first NUL, at most 12 characters
  std::uint8_t Language() const;
  std::uint8_t TwaMethod() const;
  std::uint8_t TwaInterval() const;    // hours
  std::uint8_t StelInterval() const;   // minutes
  std::uint16_t LelFullScale() const;  // tenths of a percent CH4

  void SetLength(std::uint32_t v);
  void SetFlag(MultiGasFlag flag, std::uint8_t v);
  void SetValue(MultiGasArray array, std::size_t gas, std::uint16_t v);
  void SetUserId(std::string_view text);  // first 12 characters, zero-filled
  void SetLanguage(std::uint8_t v);
  void SetTwaMethod(std::uint8_t v);
  void SetTwaInterval(std::uint8_t hours);
  void SetStelInterval(std::uint8_t minutes);
  void SetLelFullScale(std::uint16_t tenths);
};

// What the multi-gas page shows. Gas columns are indexed kH2S, kCO, kO2, kLEL.
struct MultiGasPageValues {
  std::array<std::string, kMultiGasCount> concentration;  // 1208, 1209, 1210, 1219
  GasTextRow<kMultiGasCount> calibrationInterval;         // 1124, days or "n/a"
  GasTextRow<kMultiGasCount> bumpInterval;                // 1125, days or "n/a"
  GasTextRow<kMultiGasCount> lowAlarm;                    // 1126
  GasTextRow<kMultiGasCount> highAlarm;                   // 1127
  GasTextRow<kExposureGasCount> twaAlarm;                 // 1184
  GasTextRow<kExposureGasCount> stelAlarm;                // 1185
  TextOption userId;                                      // 1162 / 1161
  ListOption language;                   // 1163 / 1164: 0 "English" ... 5 "Portuguese"; never shown
  ListOption twaMethod;                  // 1165 / 1177: 0 "ACGIH", 1 "OSHA"
  TextOption twaInterval;                // 1171 / 1179, hours
  TextOption stelInterval;               // 1166 / 1180, minutes
  TextOption lelFullScale;               // 1172 / 1182, %CH4
  bool safeDisplay = false;              // 1167
  bool dockLock = false;                 // 1174
  bool maintenanceNotification = false;  // 1168
  bool latchingAlarms = false;           // 1175
  bool autoZero = false;                 // 1169
  bool lelByVolumeCh4 = false;           // 1176
  bool offLock = false;                  // 1170
};

// The page's start texts and list selections ("English", "OSHA"); check boxes and the
// User ID text keep their state.
void LoadMultiGasDefaults(MultiGasPageValues& page);

// Fills `record` from the page, starting from all zero bytes, so unchecked rows always
// go out as flag 0 and zero values: length 100, the four concentrations in tenths, and
// for each checked row its flag and values ("n/a" is 0); the seven option flags.
void MultiGasOptionsFromPage(const MultiGasPageValues& page, MultiGasOptionRecord& record);

// Sets the page from the record: the 19 check boxes from the flags (nonzero is checked),
// the concentrations, and the values of every flagged row, each text through its change
// rule (days of 0 show "n/a"; a TWA interval of 40 shows 16). Unflagged rows keep their
// texts; an index outside its list leaves the list as it was. The page enables each row's
// fields after this call.
void MultiGasOptionsToPage(const MultiGasOptionRecord& record, MultiGasPageValues& page);

// Checks page values against the page's limits (days, alarm levels, intervals, 100% LEL,
// concentrations, user ID length, list indexes); only checked rows are looked at.
// Returns the first refused field, or nullopt.
std::optional<std::string> CheckMultiGasPage(const MultiGasPageValues& page);

// Checks a record as it stands: flags other than 0 and 1, then every value of the
// flagged rows and the concentrations, before a change rule could clamp it.
std::optional<std::string> CheckMultiGasRecord(const MultiGasOptionRecord& record);

}  // namespace ql::records
