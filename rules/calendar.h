#pragma once
// Gregorian calendar facts shared by the date checks of the pages, the clock answers and the
// command-line tool's clock argument.

namespace ql::rules {

constexpr bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days of `month` (1 to 12) in `year`.
constexpr int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace ql::rules
