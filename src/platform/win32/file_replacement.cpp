// File replacement on Windows: the new content goes to a temporary file
// beside the target, flushed to disk, which then takes the target's place
// (replaceFile: its attributes and security kept, waiting briefly for a
// reader that holds it). Where the folder takes no new file, an existing
// target is written through.

#include <windows.h>

#include <random>
#include <string>
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
      *error = {target_, errorText(result), false, -result};
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
      *error = {target_, errorText(result), false, -result};
      return false;
    }
    return true;
  }

 private:
  std::filesystem::path target_;
  HANDLE handle_;
};

// "NAME.tmp-PID-N" beside the target, with NAME shortened where the whole
// would not fit a file name: a long target name is no reason to write in place.
std::filesystem::path temporaryBeside(const std::filesystem::path& target) {
  constexpr std::size_t kMaxNameChars = 255;
  static std::random_device seed;
  std::mt19937 random(seed());
  const std::wstring suffix =
      L".tmp-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(random() % 1000000);
  std::wstring name = target.filename().wstring();
  if (name.size() > kMaxNameChars - suffix.size()) name.resize(kMaxNameChars - suffix.size());
  return target.parent_path() / (name + suffix);
}

// The file a chain of symbolic links ends at (which need not exist).
std::filesystem::path followLinks(std::filesystem::path path) {
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) return path;
    const auto next = std::filesystem::read_symlink(path, ec);
    if (ec) return path;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path;
}

// The volume and file index of an existing file.
bool fileIdentity(const std::filesystem::path& path, BY_HANDLE_FILE_INFORMATION& info) {
  const UniqueHandle handle(
      ::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return handle && ::GetFileInformationByHandle(handle.get(), &info);
}

}  // namespace

std::unique_ptr<FileReplacement> FileReplacement::begin(const std::filesystem::path& requested, FileError* error,
                                                        ReplacementTargets targets) {
  const auto refuse = [&](const std::filesystem::path& path, int code, std::string why = {}) {
    *error = {path, why.empty() ? errorText(code) : std::move(why), true, -code};
    return nullptr;
  };
  if (requested.empty() || requested.filename().empty()) return refuse(requested, -EISDIR);
  // A link's target is replaced; the link stays.
  const std::filesystem::path target = followLinks(requested);
  std::error_code ec;
  const auto status = std::filesystem::status(target, ec);
  const bool exists = !ec && std::filesystem::exists(status);
  if (exists && std::filesystem::is_directory(status)) return refuse(target, -EISDIR);
  if (exists && targets == ReplacementTargets::RegularOnly && !std::filesystem::is_regular_file(status))
    return refuse(target, -EINVAL, "is not a regular file");

  int create_error = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const auto temporary = temporaryBeside(target);
    const HANDLE handle = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return std::make_unique<RenamedReplacement>(target, temporary, handle);
    create_error = lastErrno();
    if (create_error != -EEXIST) break;
  }
  // Only a folder that refuses new files leaves writing in place; a full
  // disk fails the replacement and leaves the old file whole.
  if (exists && create_error == -EACCES) {
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

bool isStandardOutput(const std::filesystem::path& path) {
  // Only a file on disk has an identity to compare; a console or a pipe
  // cannot be named by a path the program would open.
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE || ::GetFileType(out) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION io{}, in{};
  return ::GetFileInformationByHandle(out, &io) && fileIdentity(path, in) &&
         io.dwVolumeSerialNumber == in.dwVolumeSerialNumber && io.nFileIndexHigh == in.nFileIndexHigh &&
         io.nFileIndexLow == in.nFileIndexLow;
}

}  // namespace emberline::platform
