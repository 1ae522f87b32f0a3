#include "records/field_check.h"

#include <algorithm>

#include "rules/numeric_text.h"

namespace ql::records::check {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsWholeText(std::string_view text, bool allowMinus) {
  if (allowMinus && !text.empty() && text.front() == '-') text.remove_prefix(1);
  return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

bool IsTenthsText(std::string_view text) {
  const auto points = std::count(text.begin(), text.end(), '.');
  const auto digits = std::count_if(text.begin(), text.end(), IsDigit);
  return points <= 1 && digits > 0 && static_cast<std::size_t>(points + digits) == text.size();
}

// The exact value of a whole-number text, saturated far beyond any field's range.
std::int64_t ParseWhole(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  constexpr std::int64_t kCeiling = 1'000'000'000'000'000'000;
  std::int64_t value = 0;
  for (char c : text) {
    value = std::min(kCeiling, value * 10 + (c - '0'));
  }
  return negative ? -value : value;
}

std::string NotANumber(std::string_view label, std::string_view text) {
  std::string message(label);
  message += ": ";
  message += text;
  message += " is not a number";
  return message;
}

}  // namespace

std::string Outside(std::string_view label, std::string_view value, std::string_view lo,
                    std::string_view hi) {
  std::string message(label);
  message += ": ";
  message += value;
  message += " is outside ";
  message += lo;
  message += " to ";
  message += hi;
  return message;
}

Refusal NumericText(std::string_view label, const rules::NumericField& field,
                    std::string_view text) {
  using rules::FormatTenths;
  using rules::FormatWhole;
  using rules::NumericKind;
  const bool notUsedAllowed = field.kind == NumericKind::W || field.kind == NumericKind::T;
  if (notUsedAllowed && text == rules::kNotUsedText) return std::nullopt;
  if (rules::IsWholeKind(field.kind)) {
    if (!IsWholeText(text, false)) return NotANumber(label, text);
    const std::int64_t v = ParseWhole(text);
    if (notUsedAllowed && v == 0) return std::nullopt;
    const std::int64_t lo = field.kind == NumericKind::W ? 1 : field.minimum;
    if (v < lo || v > field.maximum) {
      return Outside(label, text, FormatWhole(lo), FormatWhole(field.maximum));
    }
    return std::nullopt;
  }
  if (!IsTenthsText(text)) return NotANumber(label, text);
  const std::int64_t t = rules::AtofTenths(text);
  if (notUsedAllowed && t == 0) return std::nullopt;
  const std::int64_t lo = field.kind == NumericKind::T ? 1 : field.minimum;
  if (t < lo || t > field.maximum) {
    return Outside(label, text, FormatTenths(lo), FormatTenths(field.maximum));
  }
  return std::nullopt;
}

Refusal WholeRange(std::string_view label, std::string_view text, std::int64_t lo, std::int64_t hi,
                   bool allowEmpty) {
  if (allowEmpty && text.empty()) return std::nullopt;
  if (!IsWholeText(text, lo < 0)) return NotANumber(label, text);
  const std::int64_t v = ParseWhole(text);
  if (v < lo || v > hi) return Outside(label, text, rules::FormatWhole(lo), rules::FormatWhole(hi));
  return std::nullopt;
}

Refusal SelfTestText(std::string_view label, std::string_view text) {
  if (text == rules::kNotUsedText) return std::nullopt;
  if (!IsWholeText(text, false)) return NotANumber(label, text);
  const std::int64_t v = ParseWhole(text);
  if (v == 0) return std::nullopt;
  if (v < rules::kSelfTestMin || v > rules::kSelfTestMax) {
    return Outside(label, text, rules::FormatWhole(rules::kSelfTestMin),
                   rules::FormatWhole(rules::kSelfTestMax));
  }
  return std::nullopt;
}

Refusal Text(std::string_view label, std::string_view text, std::size_t maxLength,
             bool lettersAndDigitsOnly) {
  if (text.size() > maxLength) {
    std::string message(label);
    message += ": ";
    message += text;
    message += " is longer than ";
    message += std::to_string(maxLength);
    message += " characters";
    return message;
  }
  if (lettersAndDigitsOnly && rules::KeepLettersAndDigits(text) != text) {
    std::string message(label);
    message += ": ";
    message += text;
    message += " may hold letters and digits only";
    return message;
  }
  if (text.find('\0') != std::string_view::npos) {
    std::string message(label);
    message += ": the text holds a NUL character";
    return message;
  }
  return std::nullopt;
}

Refusal ListIndex(std::string_view label, long long index, std::size_t count) {
  if (index < 0 || static_cast<unsigned long long>(index) >= count) {
    return Outside(label, std::to_string(index), "0", std::to_string(count - 1));
  }
  return std::nullopt;
}

Refusal Flag(std::string_view label, std::uint32_t value) {
  if (value > 1) return Outside(label, std::to_string(value), "0", "1");
  return std::nullopt;
}

std::string GasLabel(std::string_view caption, std::string_view gas) {
  std::string label(caption);
  label += ' ';
  label += gas;
  return label;
}

}  // namespace ql::records::check
