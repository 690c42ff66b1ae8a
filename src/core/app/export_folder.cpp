#include "core/app/export_folder.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>

namespace emberline::app {

std::optional<std::string> folderWriteProblem(const std::filesystem::path& folder) {
  static std::atomic<unsigned> counter{0};
  int error = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::filesystem::path probe =
        folder / (".emberline-write-test-" + std::to_string(counter++));
    // "x": never touch a file that is already there.
    if (std::FILE* file = std::fopen(probe.string().c_str(), "wbx")) {
      std::fclose(file);
      std::error_code ignored;
      std::filesystem::remove(probe, ignored);
      return std::nullopt;
    }
    error = errno;
    if (error != EEXIST) break;
  }
  return std::error_code(error, std::generic_category()).message();
}

}  // namespace emberline::app
