// Console events as stop requests: Ctrl+C and Ctrl+Break are an interrupt,
// closing the console window a hang-up, logoff and shutdown a termination,
// each with the exit status a POSIX shell would report for that signal. A
// second event of a kind ends the program at once.

#include <windows.h>

#include <atomic>

#include "platform/stop_signals.h"

namespace emberline::platform {

namespace {

constexpr int kInterrupt = 128 + 2;     // SIGINT
constexpr int kHangUp = 128 + 1;        // SIGHUP
constexpr int kTermination = 128 + 15;  // SIGTERM

std::atomic<int>* g_stop_flag = nullptr;  // set once, before the handler

BOOL WINAPI onConsoleEvent(DWORD event) {
  int reason = kTermination;
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) reason = kInterrupt;
  if (event == CTRL_CLOSE_EVENT) reason = kHangUp;
  int none = 0;
  if (g_stop_flag == nullptr || !g_stop_flag->compare_exchange_strong(none, reason))
    return FALSE;  // the second request: the default handler ends the process
  // Closing the console ends the process when the handler returns; give the
  // workflow the moment Windows allows to reach a request boundary.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    ::Sleep(4000);
  return TRUE;
}

}  // namespace

void routeStopRequests(device::StopSource& source) {
  g_stop_flag = &source.flag();
  ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool stopRequested() { return g_stop_flag != nullptr && g_stop_flag->load() != 0; }

const char* stopReasonName(int reason) {
  switch (reason) {
    case kInterrupt: return "interrupt";
    case kTermination: return "termination";
    case kHangUp: return "hang-up";
    default: return "stop request";
  }
}

void stopForShutdown() {
  int none = 0;
  if (g_stop_flag != nullptr) g_stop_flag->compare_exchange_strong(none, kTermination);
}

}  // namespace emberline::platform
