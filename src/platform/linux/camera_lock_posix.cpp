// Camera locks with flock(2): held by the open file, so closing other
// descriptors of the same camera does not drop it, and the kernel drops it
// when the holder dies. A real camera is locked on its device node; a
// simulated one on a file beside its state file (the state file itself is
// replaced by every save, which would leave a lock on a file nobody opens).

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/camera_lock.h"

namespace emberline::platform {

namespace {

class FlockCameraLock final : public CameraLock {
 public:
  FlockCameraLock(int fd, std::string remove_path) : fd_(fd), remove_path_(std::move(remove_path)) {}
  ~FlockCameraLock() override {
    // The lock file goes while still locked; a process that opened it just
    // before finds it replaced after its flock and tries again.
    if (!remove_path_.empty()) ::unlink(remove_path_.c_str());
    ::close(fd_);
  }

 private:
  int fd_;
  std::string remove_path_;
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

long holderFromFile(const std::string& path) {
  std::ifstream in(path);
  long pid = 0;
  in >> pid;
  return pid > 0 ? pid : 0;
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

LockAttempt busy(int fd, const std::string& pid_file) {
  LockAttempt attempt;
  attempt.state = LockAttempt::State::Busy;
  attempt.holder = flockHolder(fd);
  if (attempt.holder == 0 && !pid_file.empty()) attempt.holder = holderFromFile(pid_file);
  ::close(fd);
  return attempt;
}

LockAttempt lockNode(const std::string& node) {
  const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return failed("cannot open " + node + " to lock it: " + std::strerror(errno));
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return busy(fd, {});
    const int error = errno;
    ::close(fd);
    return failed("cannot lock " + node + ": " + std::strerror(error));
  }
  LockAttempt attempt;
  attempt.state = LockAttempt::State::Taken;
  attempt.lock = std::make_unique<FlockCameraLock>(fd, std::string());
  return attempt;
}

LockAttempt lockSimulated(const std::string& state_file) {
  std::error_code ec;
  auto absolute = std::filesystem::weakly_canonical(state_file, ec);
  const std::string path = (ec ? std::filesystem::path(state_file) : absolute).string() + ".lock";
  for (int tries = 0; tries < 16; ++tries) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return failed("cannot create the lock file " + path + ": " + std::strerror(errno));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) return busy(fd, path);
      const int error = errno;
      ::close(fd);
      return failed("cannot lock " + path + ": " + std::strerror(error));
    }
    if (!sameFile(fd, path)) {  // its holder removed it between our open and our flock
      ::close(fd);
      continue;
    }
    // The holder's id, for systems where /proc/locks is not readable.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
      // Only the courtesy text is missing; the lock itself holds.
    }
    LockAttempt attempt;
    attempt.state = LockAttempt::State::Taken;
    attempt.lock = std::make_unique<FlockCameraLock>(fd, path);
    return attempt;
  }
  return failed("cannot lock " + path + ": it keeps being replaced");
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
