#pragma once

// Paths from and to UTF-8 text. Every text of ours is UTF-8; a path built
// straight from a std::string would take its bytes in the system's narrow
// code page on Windows, and a Chinese folder name would come out garbled.

#include <filesystem>
#include <string>
#include <string_view>

namespace emberline {

inline std::filesystem::path utf8Path(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string utf8Text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace emberline
