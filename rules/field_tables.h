#pragma once
// The numeric fields of the two detector pages: kinds, limits and typing caps, plus the
// captions that name them. One table, read by the pages, by the record conversions and
// by the page-value checks, so the three can never disagree about a limit.

#include <array>
#include <string_view>

#include "rules/field_rules.h"

namespace ql::rules {

// --- Single-gas detector page (columns H2S, CO, O2) ---------------------------------

inline constexpr std::array<std::string_view, 3> kSingleGasNames = {"H2S", "CO", "O2"};

inline constexpr NumericField kSingleGasInterval{NumericKind::W, 0, 365, {}};
// H2S and O2 alarms in tenths, CO alarms in whole ppm.
inline constexpr std::array<NumericField, 3> kSingleGasAlarm = {{
    {NumericKind::T, 0, 1000, {}},
    {NumericKind::W, 0, 300, {}},
    {NumericKind::T, 0, 300, {}},
}};
inline constexpr std::array<NumericField, 3> kSingleGasConcentration = {{
    {NumericKind::C, 0, 1000, {CapReading::Real, 1000, "100.0"}},
    {NumericKind::Z, 0, 500, {CapReading::Whole, 500, "500"}},
    {NumericKind::C, 0, 1000, {CapReading::Real, 1000, "100.0"}},
}};
inline constexpr std::array<std::string_view, 2> kSingleGasDisplayItems = {"Life", "Sensor"};

// Row captions without the check box's leading blank.
inline constexpr std::string_view kCaptionUserId = "User ID";
inline constexpr std::string_view kCaptionCalibrationInterval = "Calibration Interval (Days)";
inline constexpr std::string_view kCaptionBumpInterval = "Bump Interval (Days)";
inline constexpr std::string_view kCaptionSelfTestInterval = "Self-Test Interval (Hours)";
inline constexpr std::string_view kCaptionLowAlarm = "Low Alarm";
inline constexpr std::string_view kCaptionHighAlarm = "High Alarm";
inline constexpr std::string_view kCaptionDisplay = "Display";
inline constexpr std::string_view kCaptionGasConcentration = "Gas Concentration";

// --- Multi-gas detector page (columns H2S, CO, O2, LEL) ------------------------------

inline constexpr std::array<std::string_view, 4> kMultiGasNames = {"H2S", "CO", "O2", "LEL"};

inline constexpr NumericField kMultiGasDays{NumericKind::W, 0, 365, {}};
inline constexpr std::array<NumericField, 4> kMultiGasAlarm = {{
    {NumericKind::T, 0, 1000, {}},
    {NumericKind::T, 0, 3000, {}},
    {NumericKind::T, 0, 300, {}},
    {NumericKind::T, 0, 1000, {}},
}};
// TWA and STEL alarms exist for H2S and CO only.
inline constexpr std::array<NumericField, 2> kMultiGasExposureAlarm = {{
    {NumericKind::T, 0, 1000, {}},
    {NumericKind::T, 0, 3000, {}},
}};
inline constexpr NumericField kTwaInterval{NumericKind::B, 4, 16, {CapReading::Whole, 16, "16"}};
inline constexpr NumericField kStelInterval{NumericKind::B, 5, 15, {CapReading::Whole, 15, "15"}};
// The cap is ten times the maximum; leaving the field brings the text down to 5.0.
inline constexpr NumericField kLelFullScale{
    NumericKind::L, 10, 50, {CapReading::Real, 500, "50.0"}};
inline constexpr std::array<NumericField, 4> kMultiGasConcentration = {{
    {NumericKind::C, 0, 1000, {CapReading::Real, 1000, "100.0"}},
    // Capped as a whole number, so a typed 500.5 stays on the page.
    {NumericKind::C, 0, 5000, {CapReading::Whole, 500, "500"}},
    {NumericKind::C, 0, 1000, {CapReading::Real, 1000, "100.0"}},
    {NumericKind::C, 0, 2000, {CapReading::Real, 2000, "200.0"}},
}};

inline constexpr std::array<std::string_view, 6> kLanguageItems = {
    "English", "German", "French", "Spanish", "Italian", "Portuguese"};
inline constexpr std::array<std::string_view, 2> kTwaMethodItems = {"ACGIH", "OSHA"};

inline constexpr std::string_view kCaptionStelAlarm = "STEL Alarm";
inline constexpr std::string_view kCaptionTwaAlarm = "TWA Alarm";
inline constexpr std::string_view kCaptionUserIdMessage = "User ID / Message";
inline constexpr std::string_view kCaptionLanguage = "Language";
inline constexpr std::string_view kCaptionTwaMethod = "TWA Method";
inline constexpr std::string_view kCaptionTwaInterval = "TWA Intr";
inline constexpr std::string_view kCaptionStelInterval = "STEL Intr";
inline constexpr std::string_view kCaptionLelFullScale = "100% LEL";

// --- Docking station page ------------------------------------------------------------

inline constexpr std::string_view kCaptionSerialNumber = "Serial Number";
inline constexpr std::string_view kCaptionVersion = "Version";
inline constexpr std::string_view kCaptionLocation = "Location";
inline constexpr std::string_view kCaptionAutoPowerOffTime = "Auto Power-Off Time";
inline constexpr std::string_view kCaptionMaximumBumpTime = "Maximum Bump Time";
inline constexpr std::string_view kCaptionGasExpirationDate = "Gas Expiration Date";
inline constexpr std::string_view kCaptionGasBottleLot = "Gas Bottle Lot #";
inline constexpr std::string_view kCaptionBumpResultDecision = "Bump Result Decision";
inline constexpr std::array<std::string_view, 3> kBumpResultDecisionItems = {
    "Beep", "Concentration", "Beep + Concentration"};

// Longest text of the Serial Number, Location, Gas Bottle Lot # and user ID fields.
inline constexpr std::size_t kTextFieldMax = 12;

}  // namespace ql::rules
