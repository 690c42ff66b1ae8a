#include "platform/windows/hresult_errors.h"

#include <cstdio>

#include "platform/text_windows.h"
#include "platform/windows_handles.h"
#include "platform/windows/ks_headers.h"

namespace emberline::platform::windows {

std::string describeHresult(HRESULT result) {
  char code[32];
  std::snprintf(code, sizeof code, "HRESULT 0x%08lX", static_cast<unsigned long>(result));
  UniqueLocalMemory<wchar_t> message;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<LPWSTR>(message.put()), 0, nullptr);
  std::string text = code;
  if (length > 0 && message) {
    std::wstring_view wide(message.get(), length);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.'))
      wide.remove_suffix(1);
    if (!wide.empty()) text += ": " + utf8FromWide(wide);
  }
  return text;
}

}  // namespace emberline::platform::windows
