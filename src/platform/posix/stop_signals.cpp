#include "platform/stop_signals.h"

#include <csignal>

namespace emberline::platform {

namespace {

std::atomic<int>* g_stop_flag = nullptr;  // set once, before the handlers

extern "C" void onStopSignal(int signal) {
  int none = 0;
  if (g_stop_flag == nullptr || g_stop_flag->compare_exchange_strong(none, 128 + signal, std::memory_order_relaxed))
    return;
  // A second stop signal, of whatever kind: the user does not want to wait
  // for the next request boundary. End as that signal ends a program.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  raise(signal);
}

void route(int signal) {
  struct sigaction action {};
  // Ignored by whoever started us (nohup ignores SIGHUP): it stays ignored,
  // so a burn under nohup outlives the session that started it.
  if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) return;
  action = {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  // Restarted: a device request is never cut short by a signal. Outputs
  // that can wait for ever are written without blocking (posix/output_io.cpp).
  action.sa_flags = SA_RESTART;
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

bool stopRequested() { return g_stop_flag != nullptr && g_stop_flag->load(std::memory_order_relaxed) != 0; }

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
