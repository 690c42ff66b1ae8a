#include "sim/file_io.h"

#include <cerrno>
#include <random>
#include <string>
#include <system_error>

#include "platform/files.h"

namespace emberline::sim {

namespace {

// A name beside `path` that no other writer of the same file picks.
std::filesystem::path temporaryBeside(const std::filesystem::path& path) {
  static thread_local std::mt19937 random{std::random_device{}()};
  auto temp = path;
  temp += ".tmp-" + std::to_string(random());
  return temp;
}

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

int readWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                  std::size_t limit) {
  return platform::readWholeFile(path, out, limit);
}

}  // namespace emberline::sim
