#include "platform/file_replacement.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace emberline::platform {

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit on a chain of links

std::string errnoText(int error) { return std::strerror(error); }

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // 0 or the errno of close().
  int reset() {
    const int result = (fd_ >= 0 && ::close(fd_) != 0) ? errno : 0;
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

// The path a chain of symbolic links ends at (which need not exist); the
// path itself when it is no link. nullopt on a loop or an unreadable link.
std::optional<std::filesystem::path> followLinks(std::filesystem::path path, int* error) {
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n < 0) {
      *error = errno;
      return std::nullopt;
    }
    const std::filesystem::path next(std::string(buffer, static_cast<std::size_t>(n)));
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  *error = ELOOP;
  return std::nullopt;
}

int writeAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return 0;
}

// fsync where the file supports it; pipes and terminals do not.
int syncFile(int fd) {
  if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS) return 0;
  return errno;
}

std::string temporaryName(const std::filesystem::path& target) {
  static std::random_device seed;
  std::mt19937 random(seed());
  return "." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
         std::to_string(random() % 1000000);
}

// Written beside the target, then renamed over it.
class RenamedReplacement final : public FileReplacement {
 public:
  RenamedReplacement(std::filesystem::path target, std::filesystem::path temporary, int fd)
      : target_(std::move(target)), temporary_(std::move(temporary)), fd_(fd) {}
  ~RenamedReplacement() override {
    fd_.reset();
    if (!committed_) ::unlink(temporary_.c_str());
  }

  bool commit(std::span<const std::uint8_t> bytes, FileError* error) override {
    int result = writeAll(fd_.get(), bytes);
    if (result == 0) result = syncFile(fd_.get());
    const int closed = fd_.reset();
    if (result == 0) result = closed;
    if (result == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) result = errno;
    if (result != 0) {
      *error = {target_, errnoText(result), false};
      return false;
    }
    committed_ = true;
    const auto folder = target_.parent_path();
    Fd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) ::fsync(dir.get());  // makes the rename itself durable
    return true;
  }

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  Fd fd_;
  bool committed_ = false;
};

// Written through the target itself: devices, FIFOs, and regular files in a
// folder that takes no new files. Nothing is truncated before commit().
class InPlaceReplacement final : public FileReplacement {
 public:
  InPlaceReplacement(std::filesystem::path target, bool regular, int fd)
      : target_(std::move(target)), regular_(regular), fd_(fd) {}

  bool commit(std::span<const std::uint8_t> bytes, FileError* error) override {
    if (!fd_) {
      // A FIFO is opened only now: opening it waits for a reader.
      fd_.adopt(::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
      if (!fd_) return failed(errno, error);
    }
    if (regular_ && ::ftruncate(fd_.get(), 0) != 0) return failed(errno, error);
    int result = writeAll(fd_.get(), bytes);
    if (result == 0) result = syncFile(fd_.get());
    const int closed = fd_.reset();
    if (result == 0) result = closed;
    if (result != 0) return failed(result, error);
    return true;
  }

 private:
  bool failed(int code, FileError* error) {
    *error = {target_, errnoText(code), false};
    return false;
  }

  std::filesystem::path target_;
  bool regular_;
  Fd fd_;
};

}  // namespace

std::unique_ptr<FileReplacement> FileReplacement::begin(const std::filesystem::path& requested, FileError* error) {
  const auto refuse = [&](const std::filesystem::path& path, int code) {
    *error = {path, errnoText(code), true};
    return nullptr;
  };
  if (requested.empty() || requested.filename().empty()) return refuse(requested, EISDIR);

  int link_error = 0;
  const auto followed = followLinks(requested, &link_error);
  if (!followed) return refuse(requested, link_error);
  const std::filesystem::path target = *followed;

  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return refuse(target, errno);
  if (exists && S_ISDIR(st.st_mode)) return refuse(target, EISDIR);

  if (exists && S_ISFIFO(st.st_mode)) {
    if (::access(target.c_str(), W_OK) != 0) return refuse(target, errno);
    return std::make_unique<InPlaceReplacement>(target, false, -1);
  }
  if (exists && !S_ISREG(st.st_mode)) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return refuse(target, errno);
    return std::make_unique<InPlaceReplacement>(target, false, fd);
  }

  const std::filesystem::path folder = target.parent_path();
  // A new file gets the usual 0666 less the umask; a replaced one keeps its mode.
  const mode_t mode = exists ? (st.st_mode & 07777) : 0666;
  int create_error = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::filesystem::path temporary = folder / temporaryName(target);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      if (exists) {
        // The owner may differ when root replaces someone's file; keep it
        // where allowed, and the mode, which open() filtered through the umask.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
          // Not permitted: the new file belongs to us, as any new file would.
        }
        ::fchmod(fd, mode);
      }
      return std::make_unique<RenamedReplacement>(target, temporary, fd);
    }
    create_error = errno;
    if (create_error != EEXIST) break;
  }

  // The folder takes no new file; an existing, writable file can still be
  // written through. Opening it does not truncate it.
  if (exists) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) return std::make_unique<InPlaceReplacement>(target, true, fd);
  }
  return refuse(target, create_error);
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  struct stat sa {};
  struct stat sb {};
  const bool a_exists = ::stat(a.c_str(), &sa) == 0;
  const bool b_exists = ::stat(b.c_str(), &sb) == 0;
  if (a_exists && b_exists) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (a_exists != b_exists) return false;
  // Neither exists yet: the same name in the same folder (links followed).
  int ignored = 0;
  const auto fa = followLinks(a, &ignored);
  const auto fb = followLinks(b, &ignored);
  if (!fa || !fb || fa->filename() != fb->filename()) return false;
  const auto folder = [](const std::filesystem::path& p) {
    return p.parent_path().empty() ? std::filesystem::path(".") : p.parent_path();
  };
  return ::stat(folder(*fa).c_str(), &sa) == 0 && ::stat(folder(*fb).c_str(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace emberline::platform
