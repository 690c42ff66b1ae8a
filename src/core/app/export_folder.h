#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace emberline::app {

// Why no file can be created in `folder` (the system's words, e.g.
// "Permission denied"), or nullopt when one can. Tries it with a small
// temporary file that it removes again.
std::optional<std::string> folderWriteProblem(const std::filesystem::path& folder);

}  // namespace emberline::app
