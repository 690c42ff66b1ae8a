#include "platform/stream_file.h"

#include <cerrno>

#include "platform/posix/file_calls.h"
#include "platform/posix/posix_fd.h"

namespace emberline::platform {

namespace {

class PosixStreamFile final : public StreamFile {
 public:
  explicit PosixStreamFile(int fd) : fd_(fd) {}
  int write(std::string_view bytes) override {
    return -posix::writeOutput(fd_.get(), {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  }
  int close() override { return -fd_.reset(); }

 private:
  posix::Fd fd_;
};

}  // namespace

std::unique_ptr<StreamFile> StreamFile::open(const std::filesystem::path& path, int* error) {
  const int fd = posix::openOutput(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    *error = -fd;
    return nullptr;
  }
  return std::make_unique<PosixStreamFile>(fd);
}

}  // namespace emberline::platform
