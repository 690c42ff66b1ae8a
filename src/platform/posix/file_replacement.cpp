#include "platform/file_replacement.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/file_calls.h"
#include "platform/posix/posix_fd.h"

namespace emberline::platform {

namespace {

using posix::Fd;
using posix::FileCalls;

constexpr int kMaxLinks = 40;               // as the kernel's own limit on a chain of links
constexpr std::size_t kMaxNameBytes = 255;  // NAME_MAX of every file system we write to

std::string errnoText(int error) { return std::strerror(error); }

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

// fsync where the file supports it; pipes and terminals do not.
int syncFile(FileCalls& calls, int fd) {
  if (calls.fsync(fd) == 0 || errno == EINVAL || errno == EROFS) return 0;
  return errno;
}

// ".NAME.tmp-PID-N" beside the target, with NAME shortened where the whole
// would not fit a file name: a long target name is no reason to write in place.
std::string temporaryName(const std::filesystem::path& target) {
  static std::random_device seed;
  std::mt19937 random(seed());
  const std::string suffix = ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000);
  std::string name = target.filename().string();
  const std::size_t room = kMaxNameBytes - 1 - suffix.size();
  if (name.size() > room) name.resize(room);
  return "." + name + suffix;
}

// The folder itself takes no new file: the one case where writing the
// existing file in place is the only way left. A full disk, no inodes or a
// name that is too long are not: the replacement fails and the file stays.
bool folderRefusesNewFiles(int error) { return error == EACCES || error == EPERM || error == EROFS; }

const char* kindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// Written beside the target, then renamed over it.
class RenamedReplacement final : public FileReplacement {
 public:
  RenamedReplacement(FileCalls& calls, std::filesystem::path target, std::filesystem::path temporary, int fd)
      : calls_(calls), target_(std::move(target)), temporary_(std::move(temporary)), fd_(fd) {}
  ~RenamedReplacement() override {
    fd_.reset();
    if (!committed_) ::unlink(temporary_.c_str());
  }

  bool commit(std::span<const std::uint8_t> bytes, FileError* error) override {
    int result = -posix::writeOutput(fd_.get(), bytes, calls_);
    // On disk before it takes the old file's place: a crash leaves one or the other whole.
    if (result == 0) result = syncFile(calls_, fd_.get());
    const int closed = -fd_.reset();
    if (result == 0) result = closed;
    if (result == 0 && calls_.rename(temporary_.c_str(), target_.c_str()) != 0) result = errno;
    if (result != 0) {
      *error = {target_, errnoText(result), false, result};
      return false;
    }
    committed_ = true;
    posix::syncDirectory(target_.parent_path());  // makes the rename itself durable
    return true;
  }

 private:
  FileCalls& calls_;
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  Fd fd_;
  bool committed_ = false;
};

// Written through the target itself: devices, FIFOs, and regular files in a
// folder that takes no new files. Nothing is truncated before commit().
class InPlaceReplacement final : public FileReplacement {
 public:
  InPlaceReplacement(FileCalls& calls, std::filesystem::path target, bool regular, int fd)
      : calls_(calls), target_(std::move(target)), regular_(regular), fd_(fd) {}

  bool commit(std::span<const std::uint8_t> bytes, FileError* error) override {
    if (fd_.get() < 0) {
      // A FIFO is opened only now: opening it waits for a reader.
      const int fd = posix::openOutput(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC, 0, calls_);
      if (fd < 0) return failed(-fd, error);
      fd_.adopt(fd);
    }
    // The old content goes whole: no tail of it may follow the new one.
    if (regular_ && calls_.ftruncate(fd_.get(), 0) != 0) return failed(errno, error);
    int result = -posix::writeOutput(fd_.get(), bytes, calls_);
    if (result == 0) result = syncFile(calls_, fd_.get());
    const int closed = -fd_.reset();
    if (result == 0) result = closed;
    if (result != 0) return failed(result, error);
    return true;
  }

 private:
  bool failed(int code, FileError* error) {
    *error = {target_, errnoText(code), false, code};
    return false;
  }

  FileCalls& calls_;
  std::filesystem::path target_;
  bool regular_;
  Fd fd_;
};

}  // namespace

namespace posix {

FileCalls& systemFileCalls() {
  static FileCalls calls;
  return calls;
}

std::unique_ptr<FileReplacement> beginReplacement(const std::filesystem::path& requested, FileError* error,
                                                  ReplacementTargets targets, FileCalls& calls) {
  const auto refuse = [&](const std::filesystem::path& path, int code, std::string why = {}) {
    *error = {path, why.empty() ? errnoText(code) : std::move(why), true, code};
    return nullptr;
  };
  if (requested.empty() || requested.filename().empty()) return refuse(requested, EISDIR);

  // What the name leads to, as the kernel resolves it (also /proc/self/fd/N
  // of a pipe, which no path names).
  struct stat st {};
  if (::stat(requested.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) return refuse(requested, EISDIR);
    if (targets == ReplacementTargets::RegularOnly)
      return refuse(requested, EINVAL, std::string("is ") + kindOf(st.st_mode) + ", not a regular file");
    if (S_ISFIFO(st.st_mode)) {
      if (::access(requested.c_str(), W_OK) != 0) return refuse(requested, errno);
      return std::make_unique<InPlaceReplacement>(calls, requested, false, -1);
    }
    const int fd = openOutput(requested.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC, 0, calls);
    if (fd < 0) return refuse(requested, -fd);
    return std::make_unique<InPlaceReplacement>(calls, requested, false, fd);
  }

  // A regular file, or none yet: the temporary file goes beside the file the
  // links end at, so that the rename replaces it and not a link.
  int link_error = 0;
  const auto followed = followLinks(requested, &link_error);
  if (!followed) return refuse(requested, link_error);
  const std::filesystem::path target = *followed;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return refuse(target, errno);
  if (exists && !S_ISREG(st.st_mode)) return refuse(target, EISDIR);  // changed under us

  const std::filesystem::path folder = target.parent_path();
  // A new file gets the usual 0666 less the umask; a replaced one keeps its mode.
  const mode_t mode = exists ? (st.st_mode & 07777) : 0666;
  int create_error = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::filesystem::path temporary = folder / temporaryName(target);
    const int fd = calls.open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      if (exists) {
        // The owner may differ when root replaces someone's file; keep it
        // where allowed, and the mode, which open() filtered through the umask.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
          // Not permitted: the new file belongs to us, as any new file would.
        }
        ::fchmod(fd, mode);
      }
      return std::make_unique<RenamedReplacement>(calls, target, temporary, fd);
    }
    create_error = errno;
    if (create_error != EEXIST) break;
  }

  // The folder takes no new file; an existing, writable file can still be
  // written through. Opening it does not truncate it.
  if (exists && folderRefusesNewFiles(create_error)) {
    const int fd = calls.open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC, 0);
    if (fd >= 0) return std::make_unique<InPlaceReplacement>(calls, target, true, fd);
  }
  return refuse(target, create_error);
}

}  // namespace posix

std::unique_ptr<FileReplacement> FileReplacement::begin(const std::filesystem::path& target, FileError* error,
                                                        ReplacementTargets targets) {
  return posix::beginReplacement(target, error, targets, posix::systemFileCalls());
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

bool isStandardOutput(const std::filesystem::path& path) {
  struct stat out {};
  struct stat named {};
  if (::fstat(STDOUT_FILENO, &out) != 0 || ::stat(path.c_str(), &named) != 0) return false;
  if (out.st_dev != named.st_dev || out.st_ino != named.st_ino) return false;
  // A sink such as /dev/null loses nothing when two write to it.
  return !(S_ISCHR(out.st_mode) && !::isatty(STDOUT_FILENO));
}

}  // namespace emberline::platform
