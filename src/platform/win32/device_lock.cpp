// Real cameras are locked with a named mutex in the machine-wide namespace
// ("Global\\..."): any process may create a mutex there (only file mappings need a
// privilege), it is the same object for 32- and 64-bit programs and for
// every user and session, and when its holder dies the next wait gets it at
// once (WAIT_ABANDONED). A mutex belongs to the thread that took it, so each
// lock has a thread of its own that takes it, holds it and releases it,
// whichever thread ends the lock.
//
// The holder's process id reaches a refused process through a named pipe
// that the holding thread serves: the pipe exists exactly while the lock is
// held, and anyone may connect to read one line, "<pid>\n".

#include "platform/win32/device_lock.h"

#include <windows.h>

#include <bcrypt.h>
#include <sddl.h>

#include <array>
#include <cstdlib>
#include <future>
#include <system_error>
#include <thread>

#include "platform/text_windows.h"
#include "platform/windows_errors.h"
#include "platform/windows_handles.h"

namespace emberline::platform::win32 {

namespace {

constexpr std::wstring_view kGlobalPrefix = L"Global\\";
constexpr DWORD kPipeTimeoutMs = 1000;  // a reader that connects but never reads

std::string errorText(DWORD error) { return std::generic_category().message(-errnoFromWin32(error)); }

// Device paths differ in case only by accident: the object manager's own
// comparison ignores case, as does this fold (the same on every locale).
std::wstring upperCase(const std::wstring& text) {
  if (text.empty()) return text;
  std::wstring out(text.size(), L'\0');
  const int n = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                                out.data(), static_cast<int>(out.size()), nullptr, nullptr, 0);
  return n > 0 ? out.substr(0, static_cast<std::size_t>(n)) : text;
}

struct AlgorithmTraits {
  using Type = BCRYPT_ALG_HANDLE;
  static bool valid(Type h) { return h != nullptr; }
  static void free(Type h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits {
  using Type = BCRYPT_HASH_HANDLE;
  static bool valid(Type h) { return h != nullptr; }
  static void free(Type h) { ::BCryptDestroyHash(h); }
};

// SHA-256 of `bytes` as 64 lower-case hex digits; empty when the system
// cannot hash.
std::wstring sha256Hex(const std::string& bytes) {
  Unique<AlgorithmTraits> algorithm;
  Unique<HashTraits> hash;
  std::array<UCHAR, 32> digest{};
  auto* input = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      !BCRYPT_SUCCESS(::BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0)) ||
      !BCRYPT_SUCCESS(::BCryptHashData(hash.get(), input, static_cast<ULONG>(bytes.size()), 0)) ||
      !BCRYPT_SUCCESS(::BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0)))
    return {};
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring hex;
  for (UCHAR byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  return hex;
}

std::wstring pipeNameFor(const std::wstring& lock_name) {
  return L"\\\\.\\pipe\\" + lock_name.substr(kGlobalPrefix.size());
}

// Every user may wait on and release the mutex, at any integrity level, so
// that an elevated holder does not lock out an ordinary user's program; only
// its creator may change it.
struct OpenToEveryone {
  OpenToEveryone() {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100001;;;WD)S:(ML;;NW;;;LW)",
                                                               SDDL_REVISION_1, &sd, nullptr)) {
      descriptor.reset(sd);
      attributes.lpSecurityDescriptor = sd;
    }
  }
  SECURITY_ATTRIBUTES* get() { return descriptor ? &attributes : nullptr; }

  UniqueLocalMemory<void> descriptor;
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// The holder's side of the pipe: one reader at a time gets "<pid>\n".
class HolderPipe {
 public:
  explicit HolderPipe(const std::wstring& name)
      : pipe_(::CreateNamedPipeW(name.c_str(),
                                 PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                 PIPE_TYPE_BYTE | PIPE_REJECT_REMOTE_CLIENTS, 1, 64, 0, 0, nullptr)),
        event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

  // Serves readers until `release` is set.
  void serve(HANDLE release) {
    if (!pipe_ || !event_) {
      ::WaitForSingleObject(release, INFINITE);
      return;
    }
    const std::string line = std::to_string(::GetCurrentProcessId()) + "\n";
    for (;;) {
      if (!waitFor([this](OVERLAPPED* o) { return ::ConnectNamedPipe(pipe_.get(), o); }, release, INFINITE,
                   ERROR_PIPE_CONNECTED))
        break;
      const auto size = static_cast<DWORD>(line.size());
      waitFor([&](OVERLAPPED* o) { return ::WriteFile(pipe_.get(), line.data(), size, nullptr, o); }, release,
              kPipeTimeoutMs, ERROR_SUCCESS);
      // The reader closes its end once it has the line (the read then fails).
      char ignored = 0;
      waitFor([&](OVERLAPPED* o) { return ::ReadFile(pipe_.get(), &ignored, 1, nullptr, o); }, release,
              kPipeTimeoutMs, ERROR_BROKEN_PIPE);
      ::DisconnectNamedPipe(pipe_.get());
      if (::WaitForSingleObject(release, 0) == WAIT_OBJECT_0) break;
    }
  }

 private:
  // Starts an overlapped call and waits for it, for `release` or for the
  // timeout; false only when `release` was set.
  template <typename Call>
  bool waitFor(Call call, HANDLE release, DWORD timeout_ms, DWORD done_error) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = event_.get();
    ::ResetEvent(event_.get());
    if (call(&overlapped)) return true;
    const DWORD error = ::GetLastError();
    if (error == done_error) return true;
    // Anything else (a reader that came and went already): go on, but never
    // faster than a pipe can be abused to spin this thread.
    if (error != ERROR_IO_PENDING) return ::WaitForSingleObject(release, 50) != WAIT_OBJECT_0;
    const HANDLE both[] = {release, event_.get()};
    const DWORD woke = ::WaitForMultipleObjects(2, both, FALSE, timeout_ms);
    if (woke != WAIT_OBJECT_0 + 1) {
      ::CancelIoEx(pipe_.get(), &overlapped);
      DWORD ignored = 0;
      ::GetOverlappedResult(pipe_.get(), &overlapped, &ignored, TRUE);
    }
    return woke != WAIT_OBJECT_0;
  }

  UniqueHandle pipe_;
  UniqueHandle event_;
};

class MutexCameraLock final : public CameraLock {
 public:
  MutexCameraLock(UniqueHandle release, std::thread holder)
      : release_(std::move(release)), holder_(std::move(holder)) {}
  ~MutexCameraLock() override {
    ::SetEvent(release_.get());
    holder_.join();
  }

 private:
  UniqueHandle release_;
  std::thread holder_;
};

// The process id the holder of `lock_name` gives through its pipe; 0 when
// it does not answer.
long holderOf(const std::wstring& lock_name) {
  const std::wstring pipe = pipeNameFor(lock_name);
  for (int attempt = 0; attempt < 3; ++attempt) {
    UniqueHandle reader(
        ::CreateFileW(pipe.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!reader) {
      if (::GetLastError() != ERROR_PIPE_BUSY || !::WaitNamedPipeW(pipe.c_str(), kPipeTimeoutMs)) return 0;
      continue;
    }
    char text[32] = {};
    DWORD read = 0;
    if (!::ReadFile(reader.get(), text, sizeof text - 1, &read, nullptr)) return 0;
    return std::strtol(text, nullptr, 10);
  }
  return 0;
}

}  // namespace

std::wstring deviceLockName(const std::string& device_path) {
  const std::wstring folded = upperCase(wideFromUtf8(device_path));
  return std::wstring(kGlobalPrefix) + L"Emberline.Camera." + sha256Hex(utf8FromWide(folded));
}

LockAttempt lockDevice(const std::string& device_path) {
  LockAttempt attempt;
  const std::wstring name = deviceLockName(device_path);
  if (name.size() == kGlobalPrefix.size() + 17) {  // no digest
    attempt.error = "cannot lock " + device_path + ": the system cannot compute the lock's name";
    return attempt;
  }
  UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!release) {
    attempt.error = "cannot lock " + device_path + ": " + errorText(::GetLastError());
    return attempt;
  }

  // The holding thread says whether it took the mutex, then holds it.
  struct Outcome {
    LockAttempt::State state;
    DWORD error;
  };
  std::promise<Outcome> taken;
  auto result = taken.get_future();
  std::thread holder([name, release = release.get(), taken = std::move(taken)]() mutable {
    OpenToEveryone everyone;
    UniqueHandle mutex(::CreateMutexExW(everyone.get(), name.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE));
    if (!mutex) {
      const DWORD error = ::GetLastError();
      // It exists and this user may not even open it: someone holds it.
      taken.set_value({error == ERROR_ACCESS_DENIED ? LockAttempt::State::Busy : LockAttempt::State::Error, error});
      return;
    }
    const DWORD waited = ::WaitForSingleObject(mutex.get(), 0);
    if (waited == WAIT_TIMEOUT) {
      taken.set_value({LockAttempt::State::Busy, 0});
      return;
    }
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {  // abandoned: its holder died
      taken.set_value({LockAttempt::State::Error, ::GetLastError()});
      return;
    }
    {
      HolderPipe pipe(pipeNameFor(name));
      taken.set_value({LockAttempt::State::Taken, 0});
      pipe.serve(release);
    }  // the pipe goes first, so that the next holder can serve its own
    ::ReleaseMutex(mutex.get());
  });
  const Outcome outcome = result.get();
  if (outcome.state != LockAttempt::State::Taken) {
    holder.join();
    attempt.state = outcome.state;
    if (outcome.state == LockAttempt::State::Busy) attempt.holder = holderOf(name);
    if (outcome.state == LockAttempt::State::Error)
      attempt.error = "cannot lock " + device_path + ": " + errorText(outcome.error);
    return attempt;
  }
  attempt.state = LockAttempt::State::Taken;
  attempt.lock = std::make_unique<MutexCameraLock>(std::move(release), std::move(holder));
  return attempt;
}

}  // namespace emberline::platform::win32
