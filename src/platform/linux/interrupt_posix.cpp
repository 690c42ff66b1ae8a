#include <csignal>

#include "platform/interrupt.h"

namespace emberline::platform {

namespace {
volatile std::sig_atomic_t interrupted = 0;
void onSignal(int) { interrupted = 1; }
}  // namespace

void catchInterrupt() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool interruptRequested() { return interrupted != 0; }

}  // namespace emberline::platform
