#pragma once

// UTF-16 <-> UTF-8, and the ANSI code page to UTF-8, for the Windows side.
// Windows-only.

#include <windows.h>

#include <string>
#include <string_view>

namespace emberline::platform {

inline std::string utf8FromWide(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, out.data(), bytes, nullptr, nullptr);
  return out;
}

inline std::wstring wideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), units);
  return out;
}

// Narrow text in the thread's ANSI code page (CP_ACP) as UTF-8.
inline std::string utf8FromAnsi(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int units = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), units);
  return utf8FromWide(wide);
}

}  // namespace emberline::platform
