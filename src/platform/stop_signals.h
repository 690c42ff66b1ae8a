#pragma once

// Interruption from outside the program: the signals (or console events)
// that ask a program to end become a stop request that the workflows see
// between two device requests. The reason stored is the exit status a shell
// expects for that signal (130 for an interrupt, 143 for a termination, 129
// for a hang-up). A second request, of any kind, ends the program at once.
// Signals the program was started with ignored (nohup, a supervisor) stay
// ignored. A closed pipe on an output no longer kills the program: the write
// fails and is reported.

#include "core/device/stop_token.h"

namespace emberline::platform {

void routeStopRequests(device::StopSource& source);

// True once a routed stop request arrived: outputs that wait for another
// program (a FIFO's reader) give up then.
bool stopRequested();

// "interrupt", "termination", "hang-up" for the reasons above.
const char* stopReasonName(int reason);

// A shutdown or log-off the system announced other than by a signal
// (logind, a window message): the same stop request as a termination.
void stopForShutdown();

}  // namespace emberline::platform
