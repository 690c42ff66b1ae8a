#pragma once

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes away. Works the same on POSIX and Windows.

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace emberline::test {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "emberline-test-") {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto candidate = std::filesystem::temp_directory_path() / (prefix + std::to_string(random()));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) {
        path_ = candidate;
        return;
      }
    }
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Empty when no folder could be made.
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// std::fopen by path, binary, with the path's wide name on Windows.
inline std::FILE* openFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  const std::string narrow(mode);
  return _wfopen(path.c_str(), std::wstring(narrow.begin(), narrow.end()).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

}  // namespace emberline::test
