#include <thread>

#include "platform/sleep.h"

namespace emberline::platform {

void sleepFor(std::chrono::microseconds duration) {
  if (duration > std::chrono::microseconds::zero()) std::this_thread::sleep_for(duration);
}

}  // namespace emberline::platform
