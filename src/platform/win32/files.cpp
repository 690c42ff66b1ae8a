#include <windows.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/windows_errors.h"

namespace emberline::platform {

namespace {

// How long a replacement waits for readers that hold the target open: they
// read a file whole and close it, which takes milliseconds.
constexpr DWORD kReplaceWaitMs = 2000;
constexpr DWORD kReplaceRetryMs = 10;

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  int reset() {
    const int result = (valid() && !::CloseHandle(handle_)) ? lastErrno() : 0;
    handle_ = INVALID_HANDLE_VALUE;
    return result;
  }

 private:
  HANDLE handle_;
};

// Other processes may read, and even replace or delete, a file we have open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool heldByAnother(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// An existing file is replaced with ReplaceFile, which keeps its attributes
// and its security (owner, access list) as a rename keeps a POSIX file's
// mode; a new one is moved into place.
bool moveInto(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES &&
      ::ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
    return true;
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

int writeNewFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  Handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return lastErrno();
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x100000 ? 0x100000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), chunk, &written, nullptr)) return lastErrno();
    if (written == 0) return -EIO;
    bytes = bytes.subspan(written);
  }
  if (!::FlushFileBuffers(file.get())) return lastErrno();
  return file.reset();
}

int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  const DWORD started = ::GetTickCount();
  for (;;) {
    if (moveInto(from, to)) return 0;
    const DWORD error = ::GetLastError();
    if (!heldByAnother(error) || ::GetTickCount() - started >= kReplaceWaitMs)
      return errnoFromWin32(error);
    ::Sleep(kReplaceRetryMs);
  }
}

std::FILE* openStdioFile(const std::filesystem::path& path, const char* mode) {
  std::wstring wide;
  for (const char* c = mode; *c; ++c)
    if (*c != 'b' && *c != 't') wide += static_cast<wchar_t>(*c);
  wide += L'b';
  return ::_wfopen(path.c_str(), wide.c_str());
}

int readWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                  std::size_t limit) {
  Handle file(::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return lastErrno();
  out.clear();
  std::uint8_t buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) return lastErrno();
    if (n == 0) return 0;
    if (out.size() + n > limit) return -EFBIG;
    out.insert(out.end(), buffer, buffer + n);
  }
}

}  // namespace emberline::platform
