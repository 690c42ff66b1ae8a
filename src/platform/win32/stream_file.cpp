#include "platform/stream_file.h"

#include <cerrno>
#include <cstdio>

#include "platform/files.h"

namespace emberline::platform {

namespace {

class StdioStreamFile final : public StreamFile {
 public:
  explicit StdioStreamFile(std::FILE* file) : file_(file) {}
  ~StdioStreamFile() override { close(); }
  int write(std::string_view bytes) override {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() || std::fflush(file_) != 0)
      return errno != 0 ? errno : EIO;
    return 0;
  }
  int close() override {
    if (file_ == nullptr) return 0;
    errno = 0;
    const int result = std::fclose(file_) != 0 ? (errno != 0 ? errno : EIO) : 0;
    file_ = nullptr;
    return result;
  }

 private:
  std::FILE* file_;
};

}  // namespace

std::unique_ptr<StreamFile> StreamFile::open(const std::filesystem::path& path, int* error) {
  errno = 0;
  std::FILE* file = openStdioFile(path, "wb");
  if (file == nullptr) {
    *error = errno != 0 ? errno : EIO;
    return nullptr;
  }
  return std::make_unique<StdioStreamFile>(file);
}

}  // namespace emberline::platform
