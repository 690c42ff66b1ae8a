#pragma once

// A file written piece by piece as a run goes (the request trace): created
// or truncated when opened, every write checked and passed on at once, so a
// run that is killed still leaves what it wrote. On a FIFO or a device that
// makes the program wait (no reader, a full pipe), a stop request ends the
// wait with EINTR.

#include <filesystem>
#include <memory>
#include <string_view>

namespace emberline::platform {

class StreamFile {
 public:
  // nullptr, and the errno value in `error`, when `path` cannot be opened.
  static std::unique_ptr<StreamFile> open(const std::filesystem::path& path, int* error);

  virtual ~StreamFile() = default;
  // 0, or the errno value of the write that failed.
  virtual int write(std::string_view bytes) = 0;
  // 0, or the errno value of a failed close (the last chance for an error).
  virtual int close() = 0;
};

}  // namespace emberline::platform
