#include "platform/windows/hresult_errors.h"

#include <cerrno>
#include <cstdio>

#include "platform/text_windows.h"
#include "platform/windows/ks_headers.h"

namespace emberline::platform::windows {

namespace {
// HRESULT_FROM_WIN32 as a constant expression, for case labels.
constexpr HRESULT fromWin32(DWORD error) {
  return static_cast<HRESULT>((error & 0x0000FFFF) | (FACILITY_WIN32 << 16) | 0x80000000);
}
}  // namespace

int errnoFromHresult(HRESULT result) {
  if (result == S_OK) return 0;
  switch (result) {
    case fromWin32(ERROR_DEVICE_NOT_CONNECTED):
    case fromWin32(ERROR_DEV_NOT_EXIST):
    case fromWin32(ERROR_FILE_NOT_FOUND):
    case fromWin32(ERROR_DEVICE_REMOVED):
    case fromWin32(ERROR_BAD_COMMAND):  // a handle to a removed device
      return -ENODEV;
    case E_ACCESSDENIED:
      return -EACCES;
    case fromWin32(ERROR_SHARING_VIOLATION):
    case fromWin32(ERROR_BUSY):
      return -EBUSY;
    case fromWin32(ERROR_SET_NOT_FOUND):  // E_PROP_SET_UNSUPPORTED
    case fromWin32(ERROR_NOT_FOUND):      // E_PROP_ID_UNSUPPORTED
      return -ENOPROTOOPT;
    case E_NOTIMPL:
    case fromWin32(ERROR_NOT_SUPPORTED):
      return -ENOTSUP;
    case E_NOINTERFACE:
      return -ENOTTY;
    case E_INVALIDARG:  // also ERROR_INVALID_PARAMETER
      return -EINVAL;
    case fromWin32(ERROR_INSUFFICIENT_BUFFER):
    case fromWin32(ERROR_MORE_DATA):
      return -EMSGSIZE;
    case E_OUTOFMEMORY:
      return -ENOMEM;
    case fromWin32(ERROR_SEM_TIMEOUT):
    case fromWin32(ERROR_TIMEOUT):
      return -ETIMEDOUT;
    default:
      return -EIO;
  }
}

std::string describeHresult(HRESULT result) {
  char code[32];
  std::snprintf(code, sizeof code, "HRESULT 0x%08lX", static_cast<unsigned long>(result));
  wchar_t* message = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
  std::string text = code;
  if (length > 0 && message != nullptr) {
    std::wstring_view wide(message, length);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.'))
      wide.remove_suffix(1);
    if (!wide.empty()) text += ": " + utf8FromWide(wide);
  }
  if (message != nullptr) ::LocalFree(message);
  return text;
}

}  // namespace emberline::platform::windows
