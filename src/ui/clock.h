// The framework's clock: milliseconds on a monotonic scale. The real one for the program, a virtual
// one that tests advance by hand (time then passes only when a test says so).
#pragma once

#include <cstdint>

namespace ui {

using Millis = std::int64_t;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Millis Now() const = 0;
};

class MonotonicClock : public Clock {
 public:
  Millis Now() const override;
};

class VirtualClock : public Clock {
 public:
  Millis Now() const override { return now_; }
  void Advance(Millis by) { now_ += by; }
  void AdvanceTo(Millis when) {
    if (when > now_) now_ = when;
  }

 private:
  Millis now_ = 0;
};

}  // namespace ui
