#pragma once

// The dialog's own sentences beyond the string table, in the operator's
// language: what happens to a close that waits, why an export has nowhere
// to go, the questions asked before an erase and before burning an image
// that changed on disk, and who holds a busy camera. (What to do when no
// camera answers is the platform's.)

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

// Asked before "Erase SF" erases the firmware; No is the default.
std::string eraseQuestion(workflows::Language language);

// Asked at "GO" when the file the image was loaded from changed since (or
// cannot be read any more): burn the copy loaded then? `loaded` is the
// loaded copy's identity line.
std::string imageChangedQuestion(const std::filesystem::path& file, const std::string& loaded,
                                 workflows::Language language);

// "Camera busy: used by process N (program name)"; `pid` 0 when unknown.
std::string cameraBusyText(long pid, const std::string& program, workflows::Language language);

}  // namespace emberline::app
