#pragma once

// Descriptor fixtures are text: hex byte pairs, '#' comments to the end of the
// line. fuzz/run.sh makes the fuzzer's seeds from the same files.

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace emberline::testing {

inline std::vector<std::uint8_t> loadHexFixture(const std::string& name) {
  std::ifstream in(std::string(EMBERLINE_LINUX_FIXTURES) + "/" + name);
  std::vector<std::uint8_t> bytes;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line.substr(0, line.find('#')));
    for (std::string word; words >> word;)
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
  }
  return bytes;
}

}  // namespace emberline::testing
