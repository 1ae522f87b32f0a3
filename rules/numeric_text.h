#pragma once
// Text <-> number conversions of the entry fields.
//
// The fields read their text the way the C library's atoi and atof do (leading digits
// count, reading stops at the first other character, no digits gives 0), but these
// functions are independent of the process locale (a GUI may switch LC_NUMERIC) and
// have no undefined results: values out of range saturate.
// Pure and thread-safe.

#include <cstdint>
#include <string>
#include <string_view>

namespace ql::rules {

// atoi: optional white space, optional sign, decimal digits. Saturates at the limits of
// std::int32_t (what the original platform's atoi does).
std::int32_t Atoi(std::string_view text);

// atof: optional white space, optional sign, digits with an optional decimal point, an
// optional exponent (e or E, optional sign, digits). No number gives 0; "inf", "nan" and
// hexadecimal forms are not numbers here. Correctly rounded; overflow gives +-infinity.
double Atof(std::string_view text);

// The text's atof value times ten, truncated toward zero, computed exactly on the decimal
// digits (so "2.3" and "2.35" both give 23 without binary rounding). Saturates at the
// limits of std::int64_t.
std::int64_t AtofTenths(std::string_view text);

// "%d" of a whole number.
std::string FormatWhole(std::int64_t value);

// "%.1f" of tenths / 10, exact for every integer: 23 gives "2.3", -3 gives "-0.3".
std::string FormatTenths(std::int64_t tenths);

// "%.1f" of a double, with "." as the decimal point whatever the locale.
std::string FormatOneDecimal(double value);

}  // namespace ql::rules
