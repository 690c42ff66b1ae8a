#pragma once

// The frame around every command, as the dialog's button handlers and
// workers do it: choose the device, bind the camera with discovery, run the
// operation, then save a simulated camera's state and turn the outcome into
// the exit status.

#include <cstdio>

#include "cli/command.h"

namespace emberline::cli {

int runCommand(Command& command, const GlobalOptions& options, std::FILE* out, std::FILE* errors);

}  // namespace emberline::cli
