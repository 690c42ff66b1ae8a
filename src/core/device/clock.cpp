#include "core/device/clock.h"

#include <thread>

namespace emberline::device {

void SystemClock::sleepFor(std::chrono::microseconds duration) {
  std::this_thread::sleep_for(duration);
}

std::chrono::steady_clock::time_point SystemClock::now() const {
  return std::chrono::steady_clock::now();
}

Clock& systemClock() {
  static SystemClock clock;
  return clock;
}

void ManualClock::sleepFor(std::chrono::microseconds duration) {
  ++sleeps_;
  slept_ += duration;
  now_ += duration;
}

std::chrono::steady_clock::time_point ManualClock::now() const { return now_; }

}  // namespace emberline::device
