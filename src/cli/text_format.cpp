#include "cli/text_format.h"

#include <cstdio>

namespace emberline::cli {

std::string hexByte(std::uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
  return text;
}

std::string hexOffset(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%05X", static_cast<unsigned>(value));
  return text;
}

std::string flashIdText(const std::array<std::uint8_t, 3>& id) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X:%02X:%02X", static_cast<unsigned>(id[0]),
                static_cast<unsigned>(id[1]), static_cast<unsigned>(id[2]));
  return text;
}

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace emberline::cli
