#include <windows.h>

#include <memory>
#include <string>

#include "platform/process_name.h"
#include "platform/text_windows.h"

namespace emberline::platform {

std::string processName(long pid) {
  if (pid <= 0) return {};
  // The limited right is granted for processes of other users too.
  const std::unique_ptr<void, decltype(&::CloseHandle)> process(
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)), &::CloseHandle);
  if (!process) return {};
  std::wstring path(32768, L'\0');
  DWORD size = static_cast<DWORD>(path.size());
  if (!::QueryFullProcessImageNameW(process.get(), 0, path.data(), &size)) return {};
  path.resize(size);
  const auto slash = path.find_last_of(L"\\/");
  return utf8FromWide(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

}  // namespace emberline::platform
