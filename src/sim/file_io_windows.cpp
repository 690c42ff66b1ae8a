// The state file on Windows: read with sharing that lets another process
// replace it meanwhile.

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/files.h"
#include "sim/file_io.h"

namespace emberline::sim {

namespace {

std::string errnoText(int error) { return std::generic_category().message(error < 0 ? -error : error); }

}  // namespace

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
