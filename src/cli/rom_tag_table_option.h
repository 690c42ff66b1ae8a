#pragma once

// --rom-tag-table FILE: the camera maker's RomTagTable instead of ours.

#include "cli/command.h"

namespace emberline::cli {

// Loads the table given with --rom-tag-table into the session, before any
// request reaches a camera. Success when none was given; BadInputFile with
// the reason in the report when the file cannot be read or is not a table.
Outcome applyRomTagTableOption(RunContext& ctx);

}  // namespace emberline::cli
