#pragma once
// The PC's calendar clock, behind an interface so tests can set the time.

#include <ctime>

namespace ql::engine {

class IWallClock {
 public:
  virtual ~IWallClock() = default;
  virtual std::time_t Now() const = 0;
};

class SystemWallClock final : public IWallClock {
 public:
  std::time_t Now() const override { return std::time(nullptr); }
};

}  // namespace ql::engine
