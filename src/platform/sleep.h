#pragma once

// Sleeps that last as long as asked, below a millisecond too. A plain sleep
// on Windows returns at once below 1 ms and otherwise rounds up to the
// system timer's period (up to 15.6 ms); polls of 1 ms and a simulated
// camera's per-request latency need better.

#include <chrono>

#include "core/device/clock.h"

namespace emberline::platform {

// Sleeps at least `duration` (nothing for zero or less).
void sleepFor(std::chrono::microseconds duration);

// The steady clock with sleepFor above: what the faces hand to sessions.
device::Clock& systemClock();

}  // namespace emberline::platform
