#pragma once

// The one way a worker reaches a window's thread: a function posted to the
// window as a message and run by its procedure there (also inside any modal
// loop of that thread: a message box's, the file dialog's). A worker that
// needs it done waits on `done`, which is signalled once it has run.

#include <windows.h>

#include <functional>
#include <memory>

namespace emberline::gui::win32 {

inline constexpr UINT kUiCallMessage = WM_APP + 1;  // lParam: UiCall*, owned by the message

struct UiCall {
  std::function<void()> fn;
  HANDLE done = nullptr;  // null when nobody waits
};

// Posts `fn` to `window`, or, once the window has gone, to `thread`'s own
// queue (0: none). False when it could not be posted.
inline bool postUiCall(HWND window, DWORD thread, std::function<void()> fn, HANDLE done = nullptr) {
  auto call = std::make_unique<UiCall>(UiCall{std::move(fn), done});
  const auto payload = reinterpret_cast<LPARAM>(call.get());
  const bool posted = (IsWindow(window) && PostMessageW(window, kUiCallMessage, 0, payload)) ||
                      (thread != 0 && PostThreadMessageW(thread, kUiCallMessage, 0, payload));
  if (posted) call.release();  // the message owns it now
  return posted;
}

// The window procedure's part, for a kUiCallMessage's lParam.
inline void runUiCall(LPARAM payload) {
  const std::unique_ptr<UiCall> call(reinterpret_cast<UiCall*>(payload));
  call->fn();
  if (call->done) SetEvent(call->done);
}

// Frees a call that will not run any more.
inline void dropUiCall(LPARAM payload) { delete reinterpret_cast<UiCall*>(payload); }

}  // namespace emberline::gui::win32
