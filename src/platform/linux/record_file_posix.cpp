// Records appended with O_APPEND: the kernel places each write() at the end
// of the file under the inode lock, so whole lines from several processes
// never interleave; fsync() makes the line durable before the job is done.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/record_file.h"

namespace emberline::platform {

namespace {

class PosixRecordFile final : public RecordFile {
 public:
  PosixRecordFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixRecordFile() override { ::close(fd_); }

  std::string append(std::string_view line) override {
    // One write: a retry after a short write could land after another
    // process's record and split this one, so a short write is a failure.
    ssize_t written;
    do {
      written = ::write(fd_, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) return "cannot append to " + path_ + ": " + std::strerror(errno);
    if (static_cast<std::size_t>(written) != line.size())
      return "cannot append to " + path_ + ": only part of a record was written (disk full?)";
    int rc;
    do {
      rc = ::fsync(fd_);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return "cannot flush " + path_ + " to disk: " + std::strerror(errno);
    return {};
  }

 private:
  int fd_;
  std::string path_;
};

}  // namespace

std::unique_ptr<RecordFile> openRecordFile(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = "cannot open the record file " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<PosixRecordFile>(fd, path);
}

std::string hostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace emberline::platform
