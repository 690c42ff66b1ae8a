#pragma once

// Descriptor fixtures are text: hex byte pairs, '#' comments to the end of
// the line. The fuzz seed corpus is made from the same files.

#include <cctype>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace emberline::testing {

inline std::vector<std::uint8_t> loadHexFixture(const std::string& name) {
  std::ifstream in(std::string(EMBERLINE_LINUX_FIXTURES) + "/" + name);
  if (!in) throw std::runtime_error("missing fixture " + name);
  std::vector<std::uint8_t> bytes;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line.substr(0, line.find('#')));
    std::string word;
    while (words >> word) bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
  }
  return bytes;
}

}  // namespace emberline::testing
