#include "sim/precise_wait.h"

#include <thread>

namespace emberline::sim {

namespace {
// Sleeping is left this far before the deadline; the rest is spun.
constexpr std::chrono::microseconds kSpinStretch{200};
}  // namespace

void waitPrecisely(std::chrono::microseconds duration) {
  if (duration <= std::chrono::microseconds::zero()) return;
  const auto deadline = std::chrono::steady_clock::now() + duration;
  if (duration > 2 * kSpinStretch) std::this_thread::sleep_for(duration - kSpinStretch);
  while (std::chrono::steady_clock::now() < deadline) {
  }
}

}  // namespace emberline::sim
