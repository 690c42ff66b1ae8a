#pragma once

// Whole-file reads and writes for tests, and the check the end-to-end suites
// share: does a simulated camera's flash hold an image a burn wrote?

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "sim/sim_camera.h"

namespace emberline::test {

inline std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The flash holds `file`, but for its last block, which a burn never writes.
inline bool flashHolds(const sim::SimCamera& camera, const std::filesystem::path& file) {
  const auto flash = camera.flash();
  const auto bytes = readFile(file);
  return bytes.size() == flash.size() && std::equal(flash.begin(), flash.end() - 8, bytes.begin());
}

}  // namespace emberline::test
