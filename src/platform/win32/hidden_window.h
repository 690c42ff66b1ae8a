#pragma once

// A window nobody sees, whose messages go to an object: how Windows tells a
// program about devices coming and going and about the end of the session.
// Windows-only.

#include <windows.h>

namespace emberline::platform::win32 {

// Registers `class_name` (a second registration fails harmlessly) and makes
// a window of it on the calling thread, with `owner` as its creation
// parameter. A message-only window gets directed notifications but no
// broadcasts (WM_QUERYENDSESSION is one); the other kind is a top-level
// window that is never shown. nullptr when the system refuses.
inline HWND createHiddenWindow(const wchar_t* class_name, WNDPROC procedure, void* owner, bool message_only) {
  const HINSTANCE module = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = module;
  window_class.lpszClassName = class_name;
  ::RegisterClassExW(&window_class);
  return ::CreateWindowExW(0, class_name, L"", message_only ? 0 : WS_OVERLAPPED, 0, 0, 0, 0,
                           message_only ? HWND_MESSAGE : nullptr, nullptr, module, owner);
}

// In a window procedure: the owner given to createHiddenWindow, kept from
// WM_NCCREATE on; nullptr for the messages that come before it.
template <typename Owner>
Owner* windowOwner(HWND window, UINT message, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return reinterpret_cast<Owner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace emberline::platform::win32
