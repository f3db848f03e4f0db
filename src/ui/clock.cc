#include "ui/clock.h"

#include <chrono>

namespace ui {

Millis MonotonicClock::Now() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace ui
