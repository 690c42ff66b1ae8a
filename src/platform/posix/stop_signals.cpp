#include "platform/stop_signals.h"

#include <csignal>

namespace emberline::platform {

namespace {

std::atomic<int>* g_stop_flag = nullptr;  // set once, before the handlers

extern "C" void onStopSignal(int signal) {
  int none = 0;
  if (g_stop_flag != nullptr) g_stop_flag->compare_exchange_strong(none, 128 + signal, std::memory_order_relaxed);
}

void route(int signal) {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND: the second signal of a kind takes its default action, for
  // a user who does not want to wait for the next request boundary.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(signal, &action, nullptr);
}

}  // namespace

void routeStopRequests(device::StopSource& source) {
  g_stop_flag = &source.flag();
  route(SIGINT);
  route(SIGTERM);
  route(SIGHUP);
  std::signal(SIGPIPE, SIG_IGN);
}

const char* stopReasonName(int reason) {
  switch (reason - 128) {
    case SIGINT:
      return "interrupt";
    case SIGTERM:
      return "termination";
    case SIGHUP:
      return "hang-up";
    default:
      return "stop request";
  }
}

void stopForShutdown() {
  int none = 0;
  if (g_stop_flag != nullptr) g_stop_flag->compare_exchange_strong(none, 128 + SIGTERM, std::memory_order_relaxed);
}

}  // namespace emberline::platform
