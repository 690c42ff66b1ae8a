// Camera locks with flock(2): held by the open file, so closing other
// descriptors of the same camera does not drop it, and the kernel drops it
// when the holder dies. A real camera is locked on its device node; a
// simulated one on its state file itself, so that the lock belongs to the
// file and not to a name (two hard links are one camera) and no other file
// is ever created, truncated or removed for it. A save replaces the state
// file: a process that locked the file just before it was replaced sees that
// and locks the new one.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/camera_lock.h"

namespace emberline::platform {

namespace {

class FlockCameraLock final : public CameraLock {
 public:
  explicit FlockCameraLock(int fd) : fd_(fd) {}
  ~FlockCameraLock() override { ::close(fd_); }

 private:
  int fd_;
};

// The process holding a flock on the file behind `fd`, from /proc/locks;
// 0 when it is not listed there.
long flockHolder(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return 0;
  char key[64];
  std::snprintf(key, sizeof key, "%02x:%02x:%lu", ::major(st.st_dev), ::minor(st.st_dev),
                static_cast<unsigned long>(st.st_ino));
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    if (line.find("->") != std::string::npos || line.find("FLOCK") == std::string::npos) continue;
    std::istringstream fields(line);
    std::string number, kind, advisory, mode, where;
    long pid = 0;
    if (fields >> number >> kind >> advisory >> mode >> pid >> where && where == key) return pid;
  }
  return 0;
}

bool sameFile(int fd, const std::string& path) {
  struct stat opened {}, named {};
  return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
         opened.st_ino == named.st_ino;
}

LockAttempt failed(std::string text) {
  LockAttempt attempt;
  attempt.error = std::move(text);
  return attempt;
}

LockAttempt busy(int fd) {
  LockAttempt attempt;
  attempt.state = LockAttempt::State::Busy;
  attempt.holder = flockHolder(fd);
  ::close(fd);
  return attempt;
}

// Opens and locks `path` (read-write where it may: an flock over NFS is a
// write lock that needs it); `opened_fd` is set once it is locked.
LockAttempt lockFile(const std::string& path, const char* what, bool writable, int* opened_fd) {
  // Non-blocking: a FIFO in place of a state file must not hang the open.
  constexpr int kFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = writable ? ::open(path.c_str(), O_RDWR | kFlags) : -1;
  if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | kFlags);
  if (fd < 0) return failed("cannot open " + std::string(what) + path + " to lock it: " + std::strerror(errno));
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return busy(fd);
    const int error = errno;
    ::close(fd);
    return failed("cannot lock " + std::string(what) + path + ": " + std::strerror(error));
  }
  *opened_fd = fd;
  return {};
}

LockAttempt taken(int fd) {
  LockAttempt attempt;
  attempt.state = LockAttempt::State::Taken;
  attempt.lock = std::make_unique<FlockCameraLock>(fd);
  return attempt;
}

LockAttempt lockNode(const std::string& node) {
  int fd = -1;
  auto attempt = lockFile(node, "", false, &fd);
  return fd < 0 ? std::move(attempt) : taken(fd);
}

LockAttempt lockSimulated(const std::string& state_file) {
  for (int tries = 0; tries < 16; ++tries) {
    int fd = -1;
    auto attempt = lockFile(state_file, "the simulated camera ", true, &fd);
    if (fd < 0) return attempt;
    // Replaced by its holder's save between our open and our flock: the lock
    // is on a file nobody will open again. Lock the one the name gives now.
    if (!sameFile(fd, state_file)) {
      ::close(fd);
      continue;
    }
    return taken(fd);
  }
  return failed("cannot lock the simulated camera " + state_file + ": it keeps being replaced");
}

}  // namespace

LockAttempt lockCamera(const std::string& camera_path, bool simulated) {
  return simulated ? lockSimulated(camera_path) : lockNode(camera_path);
}

std::string busyText(long holder) {
  return holder > 0 ? "camera busy: used by process " + std::to_string(holder)
                    : std::string("camera busy: used by another process");
}

}  // namespace emberline::platform
