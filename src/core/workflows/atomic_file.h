#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace emberline::workflows {

// A file written whole or not at all: the bytes go to a new temporary file
// beside `target`, which replaces `target` only once everything is written.
// An existing file of that name is never left truncated or half-written.
class AtomicFile {
 public:
  explicit AtomicFile(std::filesystem::path target);
  ~AtomicFile();  // removes the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file; an error text naming the file when it cannot.
  std::optional<std::string> create();
  // Writes `bytes`, closes the temporary file and renames it over the target.
  std::optional<std::string> commit(std::span<const std::uint8_t> bytes);

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

}  // namespace emberline::workflows
