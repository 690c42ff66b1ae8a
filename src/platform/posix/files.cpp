#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/posix_fd.h"

#include <cerrno>

namespace emberline::platform {

using platform::posix::Fd;
using platform::posix::syncDirectory;
using platform::posix::writeAll;

int writeNewFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (fd.get() < 0) return -errno;
  int result = writeAll(fd.get(), bytes);
  if (result == 0 && ::fsync(fd.get()) != 0) result = -errno;
  const int closed = fd.reset();
  return result != 0 ? result : closed;
}

int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return -errno;
  syncDirectory(to.parent_path());
  return 0;
}

std::FILE* openStdioFile(const std::filesystem::path& path, const char* mode) {
  return std::fopen(path.c_str(), mode);  // POSIX has no text mode
}

int readWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                  std::size_t limit) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return -errno;
  out.clear();
  std::uint8_t buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -errno;
    }
    if (n == 0) return 0;
    if (out.size() + static_cast<std::size_t>(n) > limit) return -EFBIG;
    out.insert(out.end(), buffer, buffer + n);
  }
}

}  // namespace emberline::platform
