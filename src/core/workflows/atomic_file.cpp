#include "core/workflows/atomic_file.h"

#include <atomic>
#include <cerrno>
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

// Creates `path` for writing, failing when it exists.
std::FILE* openNew(const std::filesystem::path& path) {
#ifdef _WIN32
  // This C runtime ignores "x", and its narrow names are in the ANSI code
  // page: check first (the name is unique to this process anyway) and open by
  // the wide name.
  std::error_code ec;
  if (std::filesystem::exists(path, ec) || ec) {
    errno = ec ? EACCES : EEXIST;
    return nullptr;
  }
  return _wfopen(path.c_str(), L"wb");
#else
  // "x": fail rather than reuse a file someone else created meanwhile.
  return std::fopen(path.c_str(), "wbx");
#endif
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!committed_ && !temporary_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
  }
}

std::optional<std::string> AtomicFile::create() {
  if (target_.filename().empty()) return "Can't Create File! The file name is empty.";
  for (int attempt = 0; attempt < 16; ++attempt) {
    temporary_ = target_;
    temporary_ += temporarySuffix();
    file_ = openNew(temporary_);
    if (file_ != nullptr) return std::nullopt;
    if (errno != EEXIST) break;
  }
  const int error = errno;
  temporary_.clear();
  return "Can't Create File " + target_.string() + "! " + errnoText(error) + ".";
}

std::optional<std::string> AtomicFile::commit(std::span<const std::uint8_t> bytes) {
  if (file_ == nullptr) return "Can't Write File " + target_.string() + "! It was not created.";
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
  const int write_error = errno;
  const bool closed = std::fclose(file_) == 0;
  const int close_error = errno;
  file_ = nullptr;
  if (!written || !closed) {
    return "Can't Write File " + target_.string() + "! " +
           errnoText(written ? close_error : write_error) + ".";
  }
  std::error_code ec;
  std::filesystem::rename(temporary_, target_, ec);
  if (ec) return "Can't Write File " + target_.string() + "! " + ec.message() + ".";
  committed_ = true;
  return std::nullopt;
}

}  // namespace emberline::workflows
