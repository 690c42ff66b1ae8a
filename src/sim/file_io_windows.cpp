// The state file on Windows: read with sharing that lets another process
// replace it meanwhile, written beside it and moved over it.

#include <cerrno>
#include <random>
#include <string>
#include <system_error>

#include "platform/files.h"
#include "sim/file_io.h"

namespace emberline::sim {

namespace {

// A name beside `path` that no other writer of the same file picks.
std::filesystem::path temporaryBeside(const std::filesystem::path& path) {
  static thread_local std::mt19937 random{std::random_device{}()};
  auto temp = path;
  temp += ".tmp-" + std::to_string(random());
  return temp;
}

std::string errnoText(int error) { return std::generic_category().message(error < 0 ? -error : error); }

}  // namespace

int writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    const auto temp = temporaryBeside(path);
    int result = platform::writeNewFile(temp, bytes);
    if (result == -EEXIST) continue;
    if (result == 0) result = platform::replaceFile(temp, path);
    if (result != 0) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
    }
    return result;
  }
  return -EEXIST;
}

bool readRegularFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                     std::size_t limit, std::string& what) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!ec && status.type() != std::filesystem::file_type::regular &&
      status.type() != std::filesystem::file_type::not_found) {
    what = status.type() == std::filesystem::file_type::directory ? "is a folder, not a state file"
                                                                  : "is not a regular file, not a state file";
    return false;
  }
  const int result = platform::readWholeFile(path, out, limit);
  if (result == -EFBIG) {
    what = "is too large for a state file (more than " + std::to_string(limit) + " bytes)";
    return false;
  }
  if (result != 0) {
    what = "cannot be read: " + errnoText(result);
    return false;
  }
  return true;
}

}  // namespace emberline::sim
