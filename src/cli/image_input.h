#pragma once

// Loading the IMAGE argument of burn and verify into the session's image
// buffer, before any request reaches a camera.

#include <filesystem>

#include "cli/command.h"

namespace emberline::cli {

// Success, or BadInputFile with the reason in the report (file missing or
// unreadable, or not exactly one flash image long).
Outcome loadImage(RunContext& ctx, const std::filesystem::path& image);

}  // namespace emberline::cli
