#pragma once

#include <string>
#include <vector>

#include "cli/command.h"

namespace CLI {
class App;
}

namespace emberline::cli {

// --device, --json, --trace, --lang and --rom-tag-table on the top-level
// command; commands fall through to them.
void declareGlobalOptions(CLI::App& app, GlobalOptions& options);

// The arguments (without the program's name) with the common options and
// their values moved in front, in their order, so that they may stand
// anywhere: before or after the command, before or after its arguments
// ("burn --device sim:x image.src" would otherwise give the image to
// --device's parser). Nothing after "--" moves.
std::vector<std::string> commonOptionsFirst(const std::vector<std::string>& args);

}  // namespace emberline::cli
