// Records appended with O_APPEND: the kernel places each write() at the end
// of the file under the inode lock, so whole lines from several processes
// never interleave; fsync() makes the line durable before the job is done.
// A record the disk had no room for is taken back, under an flock that other
// appenders take too, so that a fragment never glues the next record to
// itself and no other process's record is cut.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/posix/file_calls.h"
#include "platform/record_file.h"
#include "platform/stop_signals.h"

namespace emberline::platform {

namespace {

// Holds the record file's flock for one append; a file that takes no flock
// (a FIFO, some network file systems) is appended to without it.
class AppendLock {
 public:
  explicit AppendLock(int fd) : fd_(fd) {
    int rc;
    do {
      rc = ::flock(fd_, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    held_ = rc == 0;
  }
  ~AppendLock() {
    if (held_) ::flock(fd_, LOCK_UN);
  }

 private:
  int fd_;
  bool held_ = false;
};

class PosixRecordFile final : public RecordFile {
 public:
  PosixRecordFile(int fd, std::string path, bool readable) : fd_(fd), path_(std::move(path)), readable_(readable) {}
  ~PosixRecordFile() override { ::close(fd_); }

  std::string append(std::string_view line) override {
    // The jobs of one station share this file (the flock belongs to the
    // open file, not to a thread): one append at a time here too.
    std::lock_guard<std::mutex> one_at_a_time(mutex_);
    AppendLock lock(fd_);
    struct stat st {};
    const bool regular = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
    std::string text(line);
    // The file ends inside a line (a crash mid-write, a fragment that could
    // not be taken back): the record starts a line of its own.
    char last = '\n';
    if (regular && readable_ && st.st_size > 0 && ::pread(fd_, &last, 1, st.st_size - 1) == 1 && last != '\n')
      text.insert(0, "\n");
    // One write: a retry after a short write could land after another
    // process's record and split this one, so a short write is a failure.
    ssize_t written;
    for (;;) {
      written = ::write(fd_, text.data(), text.size());
      if (written >= 0 || (errno != EINTR && errno != EAGAIN) || stopRequested()) break;
      pollfd room{fd_, POLLOUT, 0};  // a FIFO's reader has not caught up
      ::poll(&room, 1, 50);
    }
    if (written < 0 || static_cast<std::size_t>(written) != text.size()) {
      const int error = written < 0 ? errno : ENOSPC;
      // Taken back whole: the file ends where it ended before.
      if (regular && written > 0 && ::ftruncate(fd_, st.st_size) != 0) {
        // Left as a fragment; the next record still starts a line of its own.
      }
      return "cannot append to " + path_ + ": " +
             (written < 0 ? std::string(std::strerror(error))
                          : std::string("only part of a record was written (disk full?); it was taken back"));
    }
    int rc;
    do {
      rc = ::fsync(fd_);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return "cannot flush " + path_ + " to disk: " + std::strerror(errno);
    return {};
  }

 private:
  std::mutex mutex_;
  int fd_;
  std::string path_;
  bool readable_;  // the last byte can be read back (not on a write-only file)
};

}  // namespace

std::unique_ptr<RecordFile> openRecordFile(const std::string& path, std::string* error) {
  constexpr int kFlags = O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY;
  struct stat st {};
  const bool ordinary = ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode);
  // Read-write where it can be, to see how the file ends; a FIFO is only
  // written (and waited for no longer than until a stop request).
  int fd = ordinary ? posix::openOutput(path.c_str(), O_RDWR | kFlags, 0644) : -EINVAL;
  const bool readable = fd >= 0;
  if (fd < 0 && fd != -EINTR) fd = posix::openOutput(path.c_str(), O_WRONLY | kFlags, 0644);
  if (fd < 0) {
    if (error) *error = "cannot open the record file " + path + ": " + std::strerror(-fd);
    return nullptr;
  }
  return std::make_unique<PosixRecordFile>(fd, path, readable);
}

std::string hostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace emberline::platform
