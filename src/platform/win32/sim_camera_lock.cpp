// Simulated cameras' locks on Windows, keyed on the state file's identity
// (volume serial number and file index), so that two hard links to one file
// are one camera. The state file cannot carry the lock itself (every save
// replaces it, and an open handle would hold the replacement up), so the
// lock is a byte of a file named after that identity in the temporary
// folder, removed when its holder lets go. Once locked, the state file must
// still have that identity (a holder's save gives it a new one) and the lock
// file must still be the one its name gives; otherwise the attempt starts
// again.

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "platform/camera_lock.h"
#include "platform/text_windows.h"
#include "platform/windows_errors.h"
#include "platform/windows_handles.h"

namespace emberline::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct Identity {
  DWORD volume = 0, high = 0, low = 0;
  bool operator==(const Identity&) const = default;
};

std::optional<Identity> identityOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) return std::nullopt;
  return Identity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

std::optional<Identity> identityOf(const std::filesystem::path& path) {
  const UniqueHandle handle(
      ::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return std::nullopt;
  return identityOf(handle.get());
}

class SimCameraLock final : public CameraLock {
 public:
  SimCameraLock(UniqueHandle handle, std::filesystem::path path) : handle_(std::move(handle)), path_(std::move(path)) {}
  ~SimCameraLock() override {
    handle_.reset();
    ::DeleteFileW(path_.c_str());  // a newcomer that opened it meanwhile sees it gone and starts again
  }

 private:
  UniqueHandle handle_;
  std::filesystem::path path_;
};

long holderOf(const std::filesystem::path& path) {
  const UniqueHandle handle(::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return 0;
  char text[32] = {};
  DWORD read = 0;
  // The holder's lock covers a byte far past the text, so the text reads.
  const bool ok = ::ReadFile(handle.get(), text, sizeof text - 1, &read, nullptr);
  return ok ? std::strtol(text, nullptr, 10) : 0;
}

std::string errorText(DWORD error) { return std::generic_category().message(-errnoFromWin32(error)); }

}  // namespace

LockAttempt lockSimulatedCamera(const std::string& state_file) {
  LockAttempt attempt;
  const std::filesystem::path state(wideFromUtf8(state_file));
  std::error_code ec;
  const auto folder = std::filesystem::temp_directory_path(ec);
  for (int tries = 0; tries < 16; ++tries) {
    const auto identity = identityOf(state);
    if (!identity) {
      attempt.error = "cannot open the simulated camera " + state_file + " to lock it: " + errorText(::GetLastError());
      return attempt;
    }
    const auto path = folder / (L"emberline-sim-" + std::to_wstring(identity->volume) + L"-" +
                                std::to_wstring(identity->high) + L"-" + std::to_wstring(identity->low) + L".lock");
    UniqueHandle handle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_ACCESS_DENIED) continue;  // its holder is removing it
      attempt.error = "cannot create the lock file " + utf8FromWide(path.wstring()) + ": " + errorText(error);
      return attempt;
    }
    // One byte well past the holder's id, so that others can read the id.
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
      attempt.error = "cannot lock " + utf8FromWide(path.wstring()) + ": " + errorText(error);
      return attempt;
    }
    if (identityOf(handle.get()) != identityOf(path) || identityOf(state) != identity)
      continue;  // removed by its holder, or the camera saved anew meanwhile: the handle closes
    const std::string pid = std::to_string(::GetCurrentProcessId()) + "\n";
    DWORD written = 0;
    if (::WriteFile(handle.get(), pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr))
      ::SetEndOfFile(handle.get());
    attempt.state = LockAttempt::State::Taken;
    attempt.lock = std::make_unique<SimCameraLock>(std::move(handle), path);
    return attempt;
  }
  attempt.error = "cannot lock the simulated camera " + state_file + ": it keeps being replaced";
  return attempt;
}

}  // namespace emberline::platform
