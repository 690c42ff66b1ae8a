// The chip's narrow text read in the ANSI code page: it must agree with the
// system's own conversion, whatever code page is active.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/text_windows.h"

namespace emberline::platform {
namespace {

TEST(AnsiText, AgreesWithTheSystemsOwnConversionInTheActiveCodePage) {
  // Characters from several scripts; only those the active code page holds
  // are used, so the bytes are valid whatever GetACP() says.
  const std::wstring candidates = L"\u00E9\u00FC\u00A5\u0416\u7248\u672C\u00B0";
  std::string bytes = "V1.0\r\n";
  std::wstring expected_wide = L"V1.0\r\n";
  for (wchar_t c : candidates) {
    char encoded[8];
    BOOL used_default = FALSE;
    const UINT acp = GetACP();
    BOOL* check = (acp == CP_UTF8 || acp == CP_UTF7) ? nullptr : &used_default;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &c, 1, encoded, sizeof encoded,
                                      nullptr, check);
    if (n <= 0 || used_default) continue;
    bytes.append(encoded, static_cast<std::size_t>(n));
    expected_wide.push_back(c);
  }
  ASSERT_GT(expected_wide.size(), 6u) << "code page " << GetACP() << " holds none of the samples";

  const int units = static_cast<int>(expected_wide.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, expected_wide.data(), units, nullptr, 0, nullptr, nullptr);
  std::string expected(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, expected_wide.data(), units, expected.data(), size, nullptr, nullptr);

  EXPECT_EQ(utf8FromAnsi(bytes), expected) << "code page " << GetACP();
  EXPECT_EQ(utf8FromAnsi(""), "");
}

}  // namespace
}  // namespace emberline::platform
