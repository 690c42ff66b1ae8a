// Outputs that may block for as long as another program pleases -- a FIFO
// nobody opens for reading, a pipe nobody empties -- are written without
// blocking, so that a stop request (Ctrl-C) ends the wait instead of being
// swallowed by a system call the signal handler restarts.

#include <poll.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/posix/file_calls.h"
#include "platform/stop_signals.h"

namespace emberline::platform::posix {

namespace {
constexpr int kWaitSliceMs = 50;  // how soon a stop request is seen while waiting
}

int openOutput(const char* path, int flags, mode_t mode, FileCalls& calls) {
  for (;;) {
    // Non-blocking: a FIFO without a reader answers ENXIO at once.
    const int fd = calls.open(path, flags | O_NONBLOCK, mode);
    if (fd >= 0) return fd;
    const int error = errno;
    if (error != ENXIO && error != EINTR) return -error;
    if (stopRequested()) return -EINTR;
    std::this_thread::sleep_for(std::chrono::milliseconds(kWaitSliceMs));
  }
}

int writeOutput(int fd, std::span<const std::uint8_t> bytes, FileCalls& calls) {
  while (!bytes.empty()) {
    const ssize_t n = calls.write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      const int error = errno;
      if (error != EAGAIN && error != EWOULDBLOCK && error != EINTR) return -error;
      if (stopRequested()) return -EINTR;
      pollfd room{fd, POLLOUT, 0};
      ::poll(&room, 1, kWaitSliceMs);
      continue;
    }
    if (n == 0) return -EIO;
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return 0;
}

}  // namespace emberline::platform::posix
