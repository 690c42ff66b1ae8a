// File replacement on Windows: the new content goes to a temporary file
// beside the target, flushed to disk, which MoveFileEx then puts in the
// target's place (waiting briefly for a reader that holds the target). Where
// the folder takes no new file, an existing target is written through.

#include <windows.h>

#include <random>
#include <system_error>

#include "platform/file_replacement.h"
#include "platform/files.h"
#include "platform/windows_errors.h"
#include "platform/windows_handles.h"

namespace emberline::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string errorText(int negative_errno) { return std::generic_category().message(-negative_errno); }

int writeAll(HANDLE handle, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x100000 ? 0x100000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr)) return lastErrno();
    if (written == 0) return -EIO;
    bytes = bytes.subspan(written);
  }
  return ::FlushFileBuffers(handle) ? 0 : lastErrno();
}

class RenamedReplacement final : public FileReplacement {
 public:
  RenamedReplacement(std::filesystem::path target, std::filesystem::path temporary, HANDLE handle)
      : target_(std::move(target)), temporary_(std::move(temporary)), handle_(handle) {}
  ~RenamedReplacement() override {
    closeHandle();
    if (!committed_) ::DeleteFileW(temporary_.c_str());
  }

  bool commit(std::span<const std::uint8_t> bytes, FileError* error) override {
    int result = writeAll(handle_, bytes);
    const int closed = closeHandle();
    if (result == 0) result = closed;
    if (result == 0) result = replaceFile(temporary_, target_);
    if (result != 0) {
      *error = {target_, errorText(result), false};
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  int closeHandle() {
    if (handle_ == INVALID_HANDLE_VALUE) return 0;
    const int result = ::CloseHandle(handle_) ? 0 : lastErrno();
    handle_ = INVALID_HANDLE_VALUE;
    return result;
  }

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  HANDLE handle_;
  bool committed_ = false;
};

// Written through the target itself; truncated only when the content is ready.
class InPlaceReplacement final : public FileReplacement {
 public:
  InPlaceReplacement(std::filesystem::path target, HANDLE handle) : target_(std::move(target)), handle_(handle) {}
  ~InPlaceReplacement() override { ::CloseHandle(handle_); }

  bool commit(std::span<const std::uint8_t> bytes, FileError* error) override {
    int result = 0;
    if (::SetFilePointer(handle_, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER || !::SetEndOfFile(handle_))
      result = lastErrno();
    if (result == 0) result = writeAll(handle_, bytes);
    if (result != 0) {
      *error = {target_, errorText(result), false};
      return false;
    }
    return true;
  }

 private:
  std::filesystem::path target_;
  HANDLE handle_;
};

std::filesystem::path temporaryBeside(const std::filesystem::path& target) {
  static std::random_device seed;
  std::mt19937 random(seed());
  auto name = target.filename();
  name += ".tmp-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(random() % 1000000);
  return target.parent_path() / name;
}

// The volume and file index of an existing file.
bool fileIdentity(const std::filesystem::path& path, BY_HANDLE_FILE_INFORMATION& info) {
  const UniqueHandle handle(
      ::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return handle && ::GetFileInformationByHandle(handle.get(), &info);
}

}  // namespace

std::unique_ptr<FileReplacement> FileReplacement::begin(const std::filesystem::path& target, FileError* error) {
  const auto refuse = [&](const std::filesystem::path& path, int code) {
    *error = {path, errorText(code), true};
    return nullptr;
  };
  if (target.empty() || target.filename().empty()) return refuse(target, -EISDIR);
  std::error_code ec;
  const auto status = std::filesystem::status(target, ec);
  const bool exists = !ec && std::filesystem::exists(status);
  if (exists && std::filesystem::is_directory(status)) return refuse(target, -EISDIR);

  int create_error = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const auto temporary = temporaryBeside(target);
    const HANDLE handle = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return std::make_unique<RenamedReplacement>(target, temporary, handle);
    create_error = lastErrno();
    if (create_error != -EEXIST) break;
  }
  if (exists) {
    const HANDLE handle = ::CreateFileW(target.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return std::make_unique<InPlaceReplacement>(target, handle);
  }
  return refuse(target, create_error);
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  const bool a_exists = fileIdentity(a, ia);
  const bool b_exists = fileIdentity(b, ib);
  if (a_exists && b_exists)
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
  if (a_exists != b_exists) return false;
  // Neither exists yet: the same name (in any case) in the same folder.
  std::error_code ec;
  const auto fa = std::filesystem::weakly_canonical(a, ec);
  const auto fb = std::filesystem::weakly_canonical(b, ec);
  return ::CompareStringOrdinal(fa.c_str(), -1, fb.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace emberline::platform
