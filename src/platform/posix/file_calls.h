#pragma once

// The system calls behind file replacement and the program's outputs, behind
// one seam, so that a test can fail them as a full disk would or watch their
// order (flushed before renamed). Also the writing of outputs that may
// block (a FIFO without a reader, a full pipe) so that a stop request ends
// the wait.

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "platform/file_replacement.h"

namespace emberline::platform::posix {

class FileCalls {
 public:
  virtual ~FileCalls() = default;
  virtual int open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
  virtual ssize_t write(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
  virtual int fsync(int fd) { return ::fsync(fd); }
  virtual int ftruncate(int fd, off_t length) { return ::ftruncate(fd, length); }
  virtual int rename(const char* from, const char* to) { return ::rename(from, to); }
};

FileCalls& systemFileCalls();

// FileReplacement::begin, making its calls through `calls`.
std::unique_ptr<FileReplacement> beginReplacement(const std::filesystem::path& target, FileError* error,
                                                  ReplacementTargets targets, FileCalls& calls);

// Opens `path` for writing (`flags` with O_WRONLY or O_RDWR) without hanging
// on a FIFO nobody reads: it waits for a reader only until a stop is requested.
// The descriptor is non-blocking; write to it with writeOutput(). A
// descriptor, or -errno (-EINTR when a stop ended the wait).
int openOutput(const char* path, int flags, mode_t mode, FileCalls& calls = systemFileCalls());

// Writes every byte, waiting for room on a full pipe or device until a stop
// is requested (-EINTR). 0 or -errno.
int writeOutput(int fd, std::span<const std::uint8_t> bytes, FileCalls& calls = systemFileCalls());

}  // namespace emberline::platform::posix
