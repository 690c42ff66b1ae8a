#pragma once

// Where an export's bytes go. A file is prepared before the flash is read (so
// that an unwritable target fails before any work) and given its content in
// one go afterwards; one that is never committed leaves the target as it was
// and no temporary file behind. The faces plug in the platform's writer,
// which knows about links, permissions and device nodes; the portable one
// here writes beside the target and renames.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace emberline::workflows {

class PendingOutput {
 public:
  virtual ~PendingOutput() = default;
  // Writes `bytes` as the file's whole content; an error text naming the
  // path that failed and why.
  virtual std::optional<std::string> commit(std::span<const std::uint8_t> bytes) = 0;
};

class OutputFiles {
 public:
  virtual ~OutputFiles() = default;
  // nullptr and an error text in `error` when `target` cannot be written.
  virtual std::unique_ptr<PendingOutput> begin(const std::filesystem::path& target, std::string* error) = 0;
};

// Standard C++ only: a new temporary file beside the target, renamed over it.
OutputFiles& portableOutputFiles();

// The texts every writer uses, so both faces read alike.
std::string cannotCreateText(const std::filesystem::path& path, const std::string& why);
std::string cannotWriteText(const std::filesystem::path& path, const std::string& why);

}  // namespace emberline::workflows
