#pragma once

// Ctrl-C (and a polite kill) for a command that stops in its own time:
// after the handler is installed the signal only sets a flag.

namespace emberline::platform {

void catchInterrupt();
bool interruptRequested();

}  // namespace emberline::platform
