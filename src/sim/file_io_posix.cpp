#include "sim/file_io.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/posix_fd.h"

namespace emberline::sim {

using platform::posix::Fd;

namespace {

const char* kindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string errnoText(int error) { return std::strerror(error); }

}  // namespace

bool readRegularFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                     std::size_t limit, std::string& what) {
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) {
    what = "cannot be read: " + errnoText(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    what = "cannot be read: " + errnoText(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    what = std::string("is ") + kindOf(info.st_mode) + ", not a state file";
    return false;
  }
  if (static_cast<std::uint64_t>(info.st_size) > limit) {
    what = "is too large for a state file (" + std::to_string(info.st_size) + " bytes, at most " +
           std::to_string(limit) + ")";
    return false;
  }
  out.clear();
  out.reserve(static_cast<std::size_t>(info.st_size));
  std::uint8_t buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      what = "cannot be read: " + errnoText(errno);
      return false;
    }
    if (n == 0) return true;
    if (out.size() + static_cast<std::size_t>(n) > limit) {
      what = "is too large for a state file (more than " + std::to_string(limit) + " bytes)";
      return false;
    }
    out.insert(out.end(), buffer, buffer + n);
  }
}

}  // namespace emberline::sim
