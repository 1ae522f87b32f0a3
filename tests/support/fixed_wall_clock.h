#pragma once
// The PC clock as the test sets it.

#include <ctime>

#include "engine/wall_clock.h"

namespace ql::testsupport {

class FixedWallClock final : public engine::IWallClock {
 public:
  std::time_t Now() const override { return now; }
  std::time_t now = 1700000000;
};

// `t` as local time, as the station's answers are read.
inline std::time_t LocalEpoch(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

}  // namespace ql::testsupport
