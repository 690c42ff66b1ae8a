#pragma once

#include <chrono>

namespace emberline::sim {

// Waits `duration` on the steady clock, closer than a plain sleep: a sleep
// overshoots by tens of microseconds, so the last stretch is spent spinning.
void waitPrecisely(std::chrono::microseconds duration);

}  // namespace emberline::sim
