#include "platform/sleep.h"

namespace emberline::platform {

namespace {

class PreciseClock final : public device::Clock {
 public:
  void sleepFor(std::chrono::microseconds duration) override { platform::sleepFor(duration); }
  std::chrono::steady_clock::time_point now() const override {
    return std::chrono::steady_clock::now();
  }
};

}  // namespace

device::Clock& systemClock() {
  static PreciseClock clock;
  return clock;
}

}  // namespace emberline::platform
