// Camera locks on Windows: an exclusive byte-range lock on a lock file, held
// by the open handle and dropped by the system when the holder dies. A real
// camera is locked on a file named after its device path in the temporary
// folder (a device path cannot be opened as a file); a simulated one on a
// file named after its state file's identity (sim_camera_lock.cpp). The
// holder writes its process id into the file for the message of the one
// refused.

#include <windows.h>

#include <filesystem>
#include <functional>
#include <system_error>

#include "platform/camera_lock.h"
#include "platform/text_windows.h"
#include "platform/windows_errors.h"

namespace emberline::platform {

namespace {

class FileCameraLock final : public CameraLock {
 public:
  explicit FileCameraLock(HANDLE handle) : handle_(handle) {}
  ~FileCameraLock() override { ::CloseHandle(handle_); }

 private:
  HANDLE handle_;
};

std::filesystem::path lockPathFor(const std::string& camera_path) {
  std::error_code ec;
  auto folder = std::filesystem::temp_directory_path(ec);
  // Device paths differ in case only by accident: one camera, one lock.
  std::wstring wide = wideFromUtf8(camera_path);
  ::CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  const auto key = std::hash<std::wstring>{}(wide);
  return folder / (L"emberline-camera-" + std::to_wstring(key) + L".lock");
}

long holderOf(const std::filesystem::path& path) {
  const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  char text[32] = {};
  DWORD read = 0;
  // The holder's lock covers a byte far past the text, so the text reads.
  const bool ok = ::ReadFile(handle, text, sizeof text - 1, &read, nullptr);
  ::CloseHandle(handle);
  return ok ? std::strtol(text, nullptr, 10) : 0;
}

}  // namespace

LockAttempt lockSimulatedCamera(const std::string& state_file);  // sim_camera_lock.cpp

LockAttempt lockCamera(const std::string& camera_path, bool simulated) {
  if (simulated) return lockSimulatedCamera(camera_path);
  LockAttempt attempt;
  const auto path = lockPathFor(camera_path);
  const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    attempt.error = "cannot create the lock file " + utf8FromWide(path.wstring()) + ": " +
                    std::generic_category().message(-lastErrno());
    return attempt;
  }
  // The lock is on one byte well past the holder's id, so others can read it.
  OVERLAPPED where{};
  where.Offset = 0x10000;
  if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where)) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
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
  ::SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
  if (::WriteFile(handle, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr)) ::SetEndOfFile(handle);
  attempt.state = LockAttempt::State::Taken;
  attempt.lock = std::make_unique<FileCameraLock>(handle);
  return attempt;
}

std::string busyText(long holder) {
  return holder > 0 ? "camera busy: used by process " + std::to_string(holder)
                    : std::string("camera busy: used by another process");
}

}  // namespace emberline::platform
