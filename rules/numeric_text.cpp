#include "rules/numeric_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace ql::rules {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The numeric prefix of a text as atof sees it.
struct DecimalScan {
  bool negative = false;
  std::string_view intDigits;   // digits before the point
  std::string_view fracDigits;  // digits after the point
  std::string_view number;      // digits, point and exponent, without sign or blanks
  std::int64_t exponent = 0;    // clamped; large enough to saturate any result
  bool hasDigits = false;
};

DecimalScan ScanDecimal(std::string_view text) {
  DecimalScan scan;
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    scan.negative = text[i] == '-';
    ++i;
  }
  const std::size_t start = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  scan.intDigits = text.substr(start, i - start);
  if (i < text.size() && text[i] == '.') {
    const std::size_t fracStart = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    scan.fracDigits = text.substr(fracStart, i - fracStart);
  }
  scan.hasDigits = !scan.intDigits.empty() || !scan.fracDigits.empty();
  if (!scan.hasDigits) return scan;
  std::size_t end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    bool expNegative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      expNegative = text[j] == '-';
      ++j;
    }
    if (j < text.size() && IsDigit(text[j])) {
      std::int64_t exp = 0;
      for (; j < text.size() && IsDigit(text[j]); ++j) {
        if (exp < 1'000'000) exp = exp * 10 + (text[j] - '0');
      }
      scan.exponent = expNegative ? -exp : exp;
      end = j;
    }
  }
  scan.number = text.substr(start, end - start);
  return scan;
}

}  // namespace

std::int32_t Atoi(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;  // keeps the sum small; saturated below
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

double Atof(std::string_view text) {
  const DecimalScan scan = ScanDecimal(text);
  if (!scan.hasDigits) return 0.0;
  double value = 0.0;
  const auto result =
      std::from_chars(scan.number.data(), scan.number.data() + scan.number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: decide by the position of the first
    // significant digit, as strtod does with HUGE_VAL and 0.
    std::int64_t leadingZeros = 0;
    bool significant = false;
    std::int64_t position = static_cast<std::int64_t>(scan.intDigits.size());
    for (char c : scan.intDigits) {
      if (c != '0') {
        significant = true;
        break;
      }
      ++leadingZeros;
    }
    if (!significant) {
      for (char c : scan.fracDigits) {
        if (c != '0') {
          significant = true;
          break;
        }
        ++leadingZeros;
      }
    }
    value = significant && position - leadingZeros + scan.exponent > 0
                ? std::numeric_limits<double>::infinity()
                : 0.0;
  } else if (result.ec != std::errc{}) {
    value = 0.0;
  }
  return scan.negative ? -value : value;
}

std::int64_t AtofTenths(std::string_view text) {
  const DecimalScan scan = ScanDecimal(text);
  if (!scan.hasDigits) return 0;
  // The value is 0.D x 10^(point) with D = all mantissa digits; the tenths are the first
  // point + 1 digits of D, padded with zeros.
  const std::int64_t point = static_cast<std::int64_t>(scan.intDigits.size()) + scan.exponent;
  const std::int64_t wanted = point + 1;
  const std::int64_t available =
      static_cast<std::int64_t>(scan.intDigits.size() + scan.fracDigits.size());
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::int64_t tenths = 0;
  bool saturated = false;
  for (std::int64_t k = 0; k < wanted; ++k) {
    int digit = 0;
    if (k < available) {
      const auto idx = static_cast<std::size_t>(k);
      digit = idx < scan.intDigits.size() ? scan.intDigits[idx] - '0'
                                          : scan.fracDigits[idx - scan.intDigits.size()] - '0';
    } else if (tenths == 0) {
      break;  // only zeros are left to append to a zero
    }
    if (tenths > (kMax - digit) / 10) {
      saturated = true;
      break;
    }
    tenths = tenths * 10 + digit;
  }
  if (saturated) return scan.negative ? std::numeric_limits<std::int64_t>::min() : kMax;
  return scan.negative ? -tenths : tenths;
}

std::string FormatWhole(std::int64_t value) {
  return std::to_string(value);
}

std::string FormatTenths(std::int64_t tenths) {
  const bool negative = tenths < 0;
  // Work in unsigned so the most negative value has a magnitude too.
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(tenths) : static_cast<std::uint64_t>(tenths);
  std::string text = negative ? "-" : "";
  text += std::to_string(magnitude / 10);
  text += '.';
  text += static_cast<char>('0' + magnitude % 10);
  return text;
}

std::string FormatOneDecimal(double value) {
  // Large enough for the longest fixed-notation double (309 digits) and sign.
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
  if (result.ec != std::errc{}) return {};
  return std::string(buffer, result.ptr);
}

}  // namespace ql::rules
