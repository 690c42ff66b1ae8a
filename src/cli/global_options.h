#pragma once

#include "cli/command.h"

namespace CLI {
class App;
}

namespace emberline::cli {

// --device, --json, --trace and --lang on the top-level command; commands
// fall through to them, so they may stand before or after the command name.
void declareGlobalOptions(CLI::App& app, GlobalOptions& options);

}  // namespace emberline::cli
