// Files being written, from inotify: a file created or written to is being
// written until it is closed after writing (or a finished file is moved in
// under its name).

#include "platform/folder_writes.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

namespace emberline::platform {

namespace {

class InotifyWrites final : public FolderWrites {
 public:
  explicit InotifyWrites(const std::filesystem::path& folder)
      : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0 &&
        ::inotify_add_watch(fd_, folder.c_str(),
                            IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE) < 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~InotifyWrites() override {
    if (fd_ >= 0) ::close(fd_);
  }

  void update() override {
    alignas(inotify_event) char buffer[16384];
    for (;;) {
      const ssize_t n = fd_ < 0 ? -1 : ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return;  // EAGAIN: nothing more for now
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->len == 0) continue;
        const std::string name = event->name;
        if (event->mask & (IN_CREATE | IN_MODIFY)) writing_.insert(name);
        if (event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE)) writing_.erase(name);
      }
    }
  }

  bool beingWritten(const std::filesystem::path& file) override {
    return writing_.count(file.filename().string()) != 0;
  }

 private:
  int fd_;
  std::set<std::string> writing_;
};

}  // namespace

std::unique_ptr<FolderWrites> FolderWrites::watch(const std::filesystem::path& folder) {
  return std::make_unique<InotifyWrites>(folder);
}

}  // namespace emberline::platform
