#include "rules/field_rules.h"

#include <algorithm>
#include <array>

#include "rules/numeric_text.h"

namespace ql::rules {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// What is left of "n/a" when part of it is deleted.
bool IsNotUsedFragment(std::string_view text) {
  constexpr std::array<std::string_view, 6> kFragments = {"", "0", "n", "n/", "/", "/a"};
  return std::find(kFragments.begin(), kFragments.end(), text) != kFragments.end();
}

// One pass of ValidateNumericText; the caller repeats it until the text is stable, as
// the field's own rewrite re-ran the rule.
std::string ValidatePass(std::string_view text, std::uint16_t maximum, bool decimalsAllowed) {
  if (text == kNotUsedText) return std::string(text);
  if (IsNotUsedFragment(text)) return std::string(kNotUsedText);
  std::string kept;
  for (char c : text) {
    if (IsDigit(c) || (decimalsAllowed && c == '.')) kept.push_back(c);
  }
  if (kept.size() != text.size()) return kept;
  if (decimalsAllowed) {
    if (Atof(kept) > maximum / 10.0) return FormatTenths(maximum);
  } else if (Atoi(kept) > maximum) {
    return FormatWhole(maximum);
  }
  return kept;
}

template <typename Rule>
std::string RunUntilStable(std::string_view text, Rule rule) {
  std::string current(text);
  for (;;) {
    std::string next = rule(current);
    if (next == current) return next;
    current = std::move(next);
  }
}

std::uint32_t AtoiUnsigned(std::string_view text) {
  return static_cast<std::uint32_t>(Atoi(text));
}

std::uint16_t SpinValue(const NumericField& field, std::string_view text) {
  // The spin works on 16 bits; wider values wrap as they did in the original control.
  return IsWholeKind(field.kind) ? static_cast<std::uint16_t>(Atoi(text))
                                 : static_cast<std::uint16_t>(AtofTenths(text));
}

std::string FormatStepped(NumericKind kind, std::uint16_t v) {
  switch (kind) {
    case NumericKind::W:
      return v == 0 ? std::string(kNotUsedText) : FormatWhole(v);
    case NumericKind::T:
      return v == 0 ? std::string(kNotUsedText) : FormatTenths(v);
    case NumericKind::Z:
    case NumericKind::B:
      return FormatWhole(v);
    case NumericKind::C:
    case NumericKind::L:
      return FormatTenths(v);
  }
  return FormatWhole(v);
}

}  // namespace

bool IsWholeKind(NumericKind kind) {
  return kind == NumericKind::W || kind == NumericKind::Z || kind == NumericKind::B;
}

std::string ValidateNumericText(std::string_view text, std::uint16_t maximum,
                                bool decimalsAllowed) {
  return RunUntilStable(
      text, [&](const std::string& t) { return ValidatePass(t, maximum, decimalsAllowed); });
}

std::string ApplyTypingCap(std::string_view text, const TypingCap& cap) {
  switch (cap.reading) {
    case CapReading::None:
      break;
    case CapReading::Whole:
      if (AtoiUnsigned(text) > cap.limit) return std::string(cap.text);
      break;
    case CapReading::Real: {
      const double value = Atof(text);
      if (value > cap.limit / 10.0 || value < 0.0) return std::string(cap.text);
      break;
    }
  }
  return std::string(text);
}

std::string ApplyChangeRule(const NumericField& field, std::string_view text) {
  switch (field.kind) {
    case NumericKind::W:
      return ValidateNumericText(text, field.maximum, false);
    case NumericKind::T:
      return ValidateNumericText(text, field.maximum, true);
    case NumericKind::C:
    case NumericKind::Z:
    case NumericKind::B:
    case NumericKind::L:
      return ApplyTypingCap(text, field.cap);
  }
  return std::string(text);
}

std::string StepNumericField(const NumericField& field, std::string_view text, Arrow arrow,
                             bool rowChecked) {
  if (!rowChecked) return std::string(text);
  const std::uint16_t m = field.minimum;
  const std::uint16_t M = field.maximum;
  std::uint16_t v = SpinValue(field, text);
  const bool up = arrow == Arrow::Up;
  switch (field.kind) {
    case NumericKind::W:
    case NumericKind::Z:
      if (up) {
        if (v < M) ++v;
      } else {
        if (v == 0) return std::string(text);
        --v;
      }
      break;
    case NumericKind::T:
    case NumericKind::C:
      if (up) {
        if (v >= M) {
          // stays, but is rewritten in the kind's form
        } else if (v > M - 5) {
          v = M;
        } else {
          v = static_cast<std::uint16_t>(v + 5);
        }
      } else {
        v = v < 5 ? 0 : static_cast<std::uint16_t>(v - 5);
      }
      break;
    case NumericKind::B:
      if (up) {
        if (v < M) ++v;
      } else {
        if (v <= m) return std::string(text);
        --v;
      }
      break;
    case NumericKind::L:
      if (up) {
        if (v < M) v = static_cast<std::uint16_t>(std::min<int>(v + 5, M));
      } else {
        v = static_cast<std::uint16_t>(std::max<int>(v - 5, m));
      }
      break;
  }
  return ApplyChangeRule(field, FormatStepped(field.kind, v));
}

std::string ClampOnLeave(const NumericField& field, std::string_view text) {
  std::string result(text);
  if (field.kind == NumericKind::B) {
    const std::uint32_t x = AtoiUnsigned(text);
    if (x > field.maximum) result = FormatWhole(field.maximum);
    if (x <= field.minimum) result = FormatWhole(field.minimum);
  } else if (field.kind == NumericKind::L) {
    const double x = Atof(text);
    if (x > field.maximum / 10.0) result = FormatTenths(field.maximum);
    if (x <= field.minimum / 10.0) result = FormatTenths(field.minimum);
  } else {
    return result;
  }
  return ApplyChangeRule(field, result);
}

std::int64_t ReadFieldValue(const NumericField& field, std::string_view text) {
  return IsWholeKind(field.kind) ? Atoi(text) : AtofTenths(text);
}

// --- Docking station page -----------------------------------------------------------

std::string AutoPowerOffTimeChanged(std::string_view text) {
  return RunUntilStable(text, [](const std::string& t) -> std::string {
    const std::uint32_t v = AtoiUnsigned(t);
    if (v > kAutoPowerOffMax) return FormatWhole(kAutoPowerOffMax);
    if (v == 0) return "1";
    return t;
  });
}

std::string AutoPowerOffTimeLeft(std::string_view text) {
  const std::uint32_t v = AtoiUnsigned(text);
  std::string result(text);
  if (v > kAutoPowerOffMax) result = FormatWhole(kAutoPowerOffMax);
  if (v <= kAutoPowerOffMin) result = FormatWhole(kAutoPowerOffMin);
  return AutoPowerOffTimeChanged(result);
}

namespace {

// Shared arrow rule of the two docking up-downs.
std::string StepDockingField(std::string_view text, Arrow arrow, std::uint16_t min,
                             std::uint16_t max, std::uint16_t step) {
  const auto v = static_cast<std::uint16_t>(Atoi(text));
  int next = v;
  if (arrow == Arrow::Up) {
    if (v < min) {
      next = min;
    } else if (v < max) {
      next = v + step;
    } else {
      return std::string(text);
    }
  } else {
    if (v <= min) return std::string(text);
    next = std::max<int>(v - step, min);
  }
  return FormatWhole(next);
}

}  // namespace

std::string StepAutoPowerOffTime(std::string_view text, Arrow arrow) {
  return AutoPowerOffTimeChanged(
      StepDockingField(text, arrow, kAutoPowerOffMin, kAutoPowerOffMax, kAutoPowerOffStep));
}

std::string MaximumBumpTimeChanged(std::string_view text) {
  return RunUntilStable(text, [](const std::string& t) -> std::string {
    const std::uint32_t v = AtoiUnsigned(t);
    if (v > kMaxBumpTimeMax) return FormatWhole(kMaxBumpTimeMax);
    if (v < kMaxBumpTimeMin) return FormatWhole(kMaxBumpTimeMin);
    return t;
  });
}

std::string MaximumBumpTimeLeft(std::string_view text) {
  const std::uint32_t v = AtoiUnsigned(text);
  std::string result(text);
  if (v > kMaxBumpTimeMax) result = FormatWhole(kMaxBumpTimeMax);
  if (v <= kMaxBumpTimeMin) result = FormatWhole(kMaxBumpTimeMin);
  return MaximumBumpTimeChanged(result);
}

std::string StepMaximumBumpTime(std::string_view text, Arrow arrow) {
  return MaximumBumpTimeChanged(
      StepDockingField(text, arrow, kMaxBumpTimeMin, kMaxBumpTimeMax, kMaxBumpTimeStep));
}

bool IsLetterOrDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return true;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  // Latin-1 letters: ordinal indicators, micro sign, and the accented letters except
  // the multiplication and division signs.
  if (c == 0xAA || c == 0xB5 || c == 0xBA) return true;
  return c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

std::string KeepLettersAndDigits(std::string_view text) {
  std::string kept;
  for (char c : text) {
    if (IsLetterOrDigit(static_cast<unsigned char>(c))) kept.push_back(c);
  }
  return kept;
}

// --- Single-gas page self-test interval -----------------------------------------------

std::string SelfTestIntervalChanged(std::string_view text) {
  return RunUntilStable(text, [](const std::string& t) -> std::string {
    if (t == kNotUsedText) return t;
    if (t.empty() || t == "n" || t == "n/" || t == "/" || t == "/a") {
      return std::string(kNotUsedText);
    }
    if (t == "0" || t == "1" || t == "2") return t;  // the first digit of 10 to 20
    const std::int32_t v = Atoi(t);
    if (v > kSelfTestMax) return FormatWhole(kSelfTestMax);
    if (v < kSelfTestMin) return FormatWhole(kSelfTestMin);
    return t;
  });
}

std::string SelfTestIntervalLeft(std::string_view text) {
  if (text == kNotUsedText) return std::string(text);
  const std::int32_t v = Atoi(text);
  std::string result(text);
  if (v == 0) {
    result = kNotUsedText;
  } else if (v > kSelfTestMax) {
    result = FormatWhole(kSelfTestMax);
  } else if (v < kSelfTestMin) {
    result = FormatWhole(kSelfTestMin);
  }
  return SelfTestIntervalChanged(result);
}

std::string StepSelfTestInterval(std::string_view text, Arrow arrow, bool rowChecked) {
  if (!rowChecked) return std::string(text);
  const auto v = static_cast<std::uint16_t>(Atoi(text));
  std::string result;
  if (arrow == Arrow::Up) {
    if (v >= kSelfTestMax) {
      result = FormatWhole(kSelfTestMax);
    } else if (v < kSelfTestMin) {
      result = FormatWhole(kSelfTestMin);
    } else {
      result = FormatWhole(v + 1);
    }
  } else {
    result = v <= kSelfTestMin ? std::string(kNotUsedText) : FormatWhole(v - 1);
  }
  return SelfTestIntervalChanged(result);
}

}  // namespace ql::rules
