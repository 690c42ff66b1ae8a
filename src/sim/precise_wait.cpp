#include "sim/precise_wait.h"

#include "platform/sleep.h"

namespace emberline::sim {

namespace {
// Sleeping is left this far before the deadline; the rest is spun.
constexpr std::chrono::microseconds kSpinStretch{200};
}  // namespace

void waitPrecisely(std::chrono::microseconds duration) {
  if (duration <= std::chrono::microseconds::zero()) return;
  const auto deadline = std::chrono::steady_clock::now() + duration;
  if (duration > 2 * kSpinStretch) platform::sleepFor(duration - kSpinStretch);
  while (std::chrono::steady_clock::now() < deadline) {
  }
}

}  // namespace emberline::sim
