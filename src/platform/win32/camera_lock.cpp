// Camera locks on Windows. A simulated camera: an exclusive byte-range lock
// on a file beside its state file, held by the open handle and dropped by the
// system when the holder dies; the holder writes its process id into the
// file for the message of the one refused. A real camera: a machine-wide
// mutex named after its device path (device_lock.cpp).

#include <windows.h>

#include <filesystem>
#include <system_error>

#include "platform/camera_lock.h"
#include "platform/text_windows.h"
#include "platform/win32/device_lock.h"
#include "platform/windows_errors.h"
#include "platform/windows_handles.h"

namespace emberline::platform {

namespace {

class FileCameraLock final : public CameraLock {
 public:
  explicit FileCameraLock(UniqueHandle handle) : handle_(std::move(handle)) {}

 private:
  UniqueHandle handle_;
};

std::filesystem::path lockPathFor(const std::string& state_file) {
  std::error_code ec;
  const auto state = std::filesystem::path(wideFromUtf8(state_file));
  const auto absolute = std::filesystem::weakly_canonical(state, ec);
  auto path = ec ? state : absolute;
  path += L".lock";
  return path;
}

long holderOf(const std::filesystem::path& path) {
  const UniqueHandle handle(::CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return 0;
  char text[32] = {};
  DWORD read = 0;
  // The holder's lock covers a byte far past the text, so the text reads.
  const bool ok = ::ReadFile(handle.get(), text, sizeof text - 1, &read, nullptr);
  return ok ? std::strtol(text, nullptr, 10) : 0;
}

}  // namespace

LockAttempt lockCamera(const std::string& camera_path, bool simulated) {
  if (!simulated) return win32::lockDevice(camera_path);
  LockAttempt attempt;
  const auto path = lockPathFor(camera_path);
  UniqueHandle handle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    attempt.error = "cannot create the lock file " + utf8FromWide(path.wstring()) + ": " +
                    std::generic_category().message(-lastErrno());
    return attempt;
  }
  // The lock is on one byte well past the holder's id, so others can read it.
  OVERLAPPED where{};
  where.Offset = 0x10000;
  if (!::LockFileEx(handle.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where)) {
    const DWORD error = ::GetLastError();
    handle.reset();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
      attempt.state = LockAttempt::State::Busy;
      attempt.holder = holderOf(path);
      return attempt;
    }
    attempt.error = "cannot lock " + utf8FromWide(path.wstring()) + ": " +
                    std::generic_category().message(-errnoFromWin32(error));
    return attempt;
  }
  const std::string pid = std::to_string(::GetCurrentProcessId()) + "\n";
  DWORD written = 0;
  ::SetFilePointer(handle.get(), 0, nullptr, FILE_BEGIN);
  if (::WriteFile(handle.get(), pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr))
    ::SetEndOfFile(handle.get());
  attempt.state = LockAttempt::State::Taken;
  attempt.lock = std::make_unique<FileCameraLock>(std::move(handle));
  return attempt;
}

std::string busyText(long holder) {
  return holder > 0 ? "camera busy: used by process " + std::to_string(holder)
                    : std::string("camera busy: used by another process");
}

}  // namespace emberline::platform
