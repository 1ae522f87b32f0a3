#pragma once
// The rules of the bounded entry fields of the record pages, as pure functions: text in,
// text out. A page wires them to its fields' text-changed, focus-lost and arrow signals;
// the record conversions run the same change rules on every text they set, so a decoded
// record shows exactly what the page would show had the technician typed it.
//
// A rule's result is final: where the original field rewrote its text and the rewrite
// triggered the rule again, these functions loop until the text no longer changes and
// return that text. None of them touches the caret; the page puts it at the end.
// Pure and thread-safe.

#include <cstdint>
#include <string>
#include <string_view>

namespace ql::rules {

// The kinds of numeric field. Tenths kinds hold their limits in tenths (300.0 is 3000).
enum class NumericKind {
  W,  // whole number, 0 is "not used" and shown "n/a"
  T,  // one decimal, 0 is "not used" and shown "n/a"
  C,  // one decimal, 0 allowed ("0.0")
  Z,  // whole number, 0 allowed ("0")
  B,  // whole number between a minimum and a maximum
  L,  // one decimal between a minimum and a maximum
};

// How a typing cap reads the text it compares.
enum class CapReading { None, Real, Whole };

// Typing cap of kinds C, Z, B and L: a text whose value is above `limit` becomes `text`.
// `limit` is in tenths for Real caps and in whole units for Whole caps.
struct TypingCap {
  CapReading reading = CapReading::None;
  std::uint32_t limit = 0;
  std::string_view text;
};

// One numeric field: kind, limits (minimum only for B and L) and typing cap.
struct NumericField {
  NumericKind kind = NumericKind::W;
  std::uint16_t minimum = 0;
  std::uint16_t maximum = 0;
  TypingCap cap;
};

enum class Arrow { Up, Down };

// --- Shared numeric rules -----------------------------------------------------------

// Text-changed rule of kinds W and T: "n/a" stays; the empty text, "0" and the remains
// of a partly deleted "n/a" become "n/a"; every character that is not a digit (or a
// point, when `decimalsAllowed`) is removed; a value above `maximum` (tenths when
// `decimalsAllowed`) becomes the maximum ("365", "300.0").
std::string ValidateNumericText(std::string_view text, std::uint16_t maximum, bool decimalsAllowed);

// Text-changed rule of kinds C, Z, B and L: a value above the cap becomes the cap text.
// Whole caps compare unsigned, so a negative text counts as above the cap; real caps treat
// a negative value the same way, so no negative value survives in these fields.
// Removes no characters.
std::string ApplyTypingCap(std::string_view text, const TypingCap& cap);

// The field's own text-changed rule: ValidateNumericText for W and T, the cap otherwise.
std::string ApplyChangeRule(const NumericField& field, std::string_view text);

// Arrow press. `rowChecked` is the state of the row's check box (true for fields without
// one); an unchecked row leaves the text as it is. The value is read as an unsigned
// 16-bit number, stepped by 1 (whole kinds) or 5 tenths, kept within the limits, written
// in the kind's form and passed through the change rule.
std::string StepNumericField(const NumericField& field, std::string_view text, Arrow arrow,
                             bool rowChecked);

// Focus-lost rule of kinds B and L: above the maximum becomes the maximum; at or below
// the minimum becomes the minimum (judged on the text as it was). Other kinds: unchanged.
std::string ClampOnLeave(const NumericField& field, std::string_view text);

// The record value of a field's text: atoi for whole kinds, exact tenths for the others;
// "n/a" reads as 0.
std::int64_t ReadFieldValue(const NumericField& field, std::string_view text);

// True for whole-number kinds (W, Z, B).
bool IsWholeKind(NumericKind kind);

// The text "n/a" that kinds W and T show for 0.
inline constexpr std::string_view kNotUsedText = "n/a";

// --- Docking station page ---------------------------------------------------------

inline constexpr std::uint16_t kAutoPowerOffMin = 60;
inline constexpr std::uint16_t kAutoPowerOffMax = 3600;
inline constexpr std::uint16_t kAutoPowerOffStep = 30;
inline constexpr std::uint16_t kMaxBumpTimeMin = 20;
inline constexpr std::uint16_t kMaxBumpTimeMax = 120;
inline constexpr std::uint16_t kMaxBumpTimeStep = 10;

// Auto Power-Off Time: above 3600 becomes 3600 and exactly 0 becomes 1 while typing (so
// an emptied field shows 1 until it is left); leaving clamps to 60..3600.
std::string AutoPowerOffTimeChanged(std::string_view text);
std::string AutoPowerOffTimeLeft(std::string_view text);
std::string StepAutoPowerOffTime(std::string_view text, Arrow arrow);

// Maximum Bump Time: kept within 20..120 while typing; leaving clamps to 20..120.
std::string MaximumBumpTimeChanged(std::string_view text);
std::string MaximumBumpTimeLeft(std::string_view text);
std::string StepMaximumBumpTime(std::string_view text, Arrow arrow);

// Serial Number and Location keep letters and digits only (8-bit Latin-1 texts).
bool IsLetterOrDigit(unsigned char c);
std::string KeepLettersAndDigits(std::string_view text);

// --- Single-gas page self-test interval ---------------------------------------------

inline constexpr std::uint16_t kSelfTestMin = 8;
inline constexpr std::uint16_t kSelfTestMax = 20;

// "n/a" or 8..20. While typing, "0", "1" and "2" stay (a two-digit value may follow).
std::string SelfTestIntervalChanged(std::string_view text);
std::string SelfTestIntervalLeft(std::string_view text);
// `rowChecked`: state of " Self-Test Interval (Hours)"; unchecked changes nothing.
std::string StepSelfTestInterval(std::string_view text, Arrow arrow, bool rowChecked);

}  // namespace ql::rules
