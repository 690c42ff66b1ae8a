#include "platform/linux/unique_fd.h"

#include <unistd.h>

namespace emberline::platform::linux_uvc {

void UniqueFd::reset(int fd) noexcept {
  if (fd_ >= 0 && fd_ != fd) {
    // close() is not retried on EINTR: on Linux the descriptor is released
    // whatever close() returns, and a retry could close someone else's.
    ::close(fd_);
  }
  fd_ = fd;
}

}  // namespace emberline::platform::linux_uvc
