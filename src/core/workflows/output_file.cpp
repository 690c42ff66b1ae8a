#include "core/workflows/output_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

namespace emberline::workflows {
namespace {

std::string errnoText(int error) { return std::error_code(error, std::generic_category()).message(); }

// Unique among sessions and processes writing beside the same target.
std::string temporarySuffix() {
  static std::atomic<unsigned> counter{0};
  static const unsigned process_salt = std::random_device{}();
  return ".tmp-" + std::to_string(process_salt) + "-" + std::to_string(counter++);
}

class RenamedFile final : public PendingOutput {
 public:
  RenamedFile(std::filesystem::path target, std::filesystem::path temporary, std::FILE* file)
      : target_(std::move(target)), temporary_(std::move(temporary)), file_(file) {}
  ~RenamedFile() override {
    if (file_ != nullptr) std::fclose(file_);
    if (!committed_) {
      std::error_code ignored;
      std::filesystem::remove(temporary_, ignored);
    }
  }
  RenamedFile(const RenamedFile&) = delete;
  RenamedFile& operator=(const RenamedFile&) = delete;

  std::optional<std::string> commit(std::span<const std::uint8_t> bytes) override {
    if (file_ == nullptr) return cannotWriteText(target_, "It was not created.");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    const int write_error = errno;
    const bool closed = std::fclose(file_) == 0;
    const int close_error = errno;
    file_ = nullptr;
    if (!written || !closed) return cannotWriteText(target_, errnoText(written ? close_error : write_error));
    std::error_code ec;
    std::filesystem::rename(temporary_, target_, ec);
    if (ec) return cannotWriteText(target_, ec.message());
    committed_ = true;
    return std::nullopt;
  }

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::FILE* file_;
  bool committed_ = false;
};

class PortableOutputFiles final : public OutputFiles {
 public:
  std::unique_ptr<PendingOutput> begin(const std::filesystem::path& target, std::string* error) override {
    if (target.filename().empty()) {
      *error = "Can't Create File! The file name is empty.";
      return nullptr;
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
      std::filesystem::path temporary = target;
      temporary += temporarySuffix();
      // "x": fail rather than reuse a file someone else created meanwhile.
      if (std::FILE* file = std::fopen(temporary.string().c_str(), "wbx"))
        return std::make_unique<RenamedFile>(target, temporary, file);
      if (errno != EEXIST) break;
    }
    *error = cannotCreateText(target, errnoText(errno));
    return nullptr;
  }
};

std::string withStop(std::string why) {
  if (!why.empty() && why.back() != '.') why += '.';
  return why;
}

}  // namespace

OutputFiles& portableOutputFiles() {
  static PortableOutputFiles files;
  return files;
}

std::string cannotCreateText(const std::filesystem::path& path, const std::string& why) {
  return "Can't Create File " + path.string() + "! " + withStop(why);
}

std::string cannotWriteText(const std::filesystem::path& path, const std::string& why) {
  return "Can't Write File " + path.string() + "! " + withStop(why);
}

}  // namespace emberline::workflows
