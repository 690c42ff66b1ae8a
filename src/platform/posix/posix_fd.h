#pragma once

// Small POSIX file-descriptor helpers shared by the POSIX sides of the
// platform layer and the simulator's state file: an owning descriptor,
// a write that finishes or fails, and a folder sync that makes a rename
// durable. Results are 0 or -errno.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <span>

namespace emberline::platform::posix {

// Closes a descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // 0, or -errno of a failed close().
  int reset() {
    const int result = (fd_ >= 0 && ::close(fd_) != 0) ? -errno : 0;
    fd_ = -1;
    return result;
  }
  void adopt(int fd) {
    reset();
    fd_ = fd;
  }

 private:
  int fd_;
};

// Writes every byte (retrying after signals); 0 or -errno.
inline int writeAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return -errno;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return 0;
}

// Makes a rename in `dir` itself durable.
inline void syncDirectory(const std::filesystem::path& dir) {
  Fd fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace emberline::platform::posix
