#pragma once

// The dialog's own sentences beyond the string table, in the operator's
// language: what happens to a close that waits, and why an export has
// nowhere to go. (What to do when no camera answers is the platform's.)

#include <filesystem>
#include <string>

#include "core/workflows/strings.h"

namespace emberline::app {

// The window menu's item that opens the station window.
std::string stationMenuText(workflows::Language language);

// The status line's second line while a close waits for the running task.
std::string closeWaitNote(workflows::Language language);

// The export's folder cannot be written; `why` is the system's reason.
std::string exportFolderText(const std::filesystem::path& folder, const std::string& why,
                             workflows::Language language);

}  // namespace emberline::app
