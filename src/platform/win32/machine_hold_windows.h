#pragma once

// The Windows side of platform/machine_hold.h, with the system calls in a
// table that tests replace. Windows-only.

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/machine_hold.h"

namespace emberline::platform::win32 {

struct PowerCalls {
  EXECUTION_STATE(WINAPI* set_execution_state)(EXECUTION_STATE) = ::SetThreadExecutionState;
  BOOL(WINAPI* block_shutdown)(HWND, LPCWSTR) = ::ShutdownBlockReasonCreate;
  BOOL(WINAPI* unblock_shutdown)(HWND) = ::ShutdownBlockReasonDestroy;
};

const PowerCalls& systemPowerCalls();

// The system stays awake while this lives (ES_SYSTEM_REQUIRED, continuous);
// the thread's earlier state comes back when it goes, so holds nest. Made and
// ended on one thread.
class AwakeState {
 public:
  explicit AwakeState(const PowerCalls& calls = systemPowerCalls());
  ~AwakeState();
  AwakeState(const AwakeState&) = delete;
  AwakeState& operator=(const AwakeState&) = delete;

 private:
  const PowerCalls& calls_;
  EXECUTION_STATE previous_;
};

// While this lives, Windows shows `why` for `window` when a shutdown or
// log-off waits for the program, and the window refuses WM_QUERYENDSESSION
// (its own code does that). Made and ended on the window's thread.
class ShutdownBlock {
 public:
  ShutdownBlock(HWND window, const std::string& why, const PowerCalls& calls = systemPowerCalls());
  ~ShutdownBlock();
  ShutdownBlock(const ShutdownBlock&) = delete;
  ShutdownBlock& operator=(const ShutdownBlock&) = delete;

 private:
  HWND window_;
  const PowerCalls& calls_;
  bool made_;
};

// The session's end for a program with no window of its own (the command
// line, whose console handler Windows does not tell about shutdown and
// log-off once user32 is loaded): a hidden top-level window on a thread of
// its own. While holders are registered, WM_QUERYENDSESSION tells each once
// and is refused with the first one's reason; WM_ENDSESSION waits (a few
// seconds at most) for them to let go.
class SessionEndWatcher {
 public:
  explicit SessionEndWatcher(const PowerCalls& calls = systemPowerCalls());
  ~SessionEndWatcher();
  SessionEndWatcher(const SessionEndWatcher&) = delete;
  SessionEndWatcher& operator=(const SessionEndWatcher&) = delete;

  HWND window() const { return window_; }
  // A holder; remove() with the number returned lets go of it.
  int add(std::string why, std::function<void()> on_shutdown);
  void remove(int holder);

 private:
  struct Holder {
    std::string why;
    std::function<void()> on_shutdown;
    bool told = false;
  };
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void run(std::promise<HWND>& created);

  const PowerCalls& calls_;
  std::mutex mutex_;
  std::condition_variable released_;
  std::map<int, Holder> holders_;
  int next_ = 1;
  bool blocked_ = false;  // window thread only
  HWND window_ = nullptr;
  std::thread thread_;
};

// The hold with these calls and, for a request with on_shutdown, this
// watcher (tests give their own; holdMachine the system's).
std::unique_ptr<MachineHold> holdMachine(HoldRequest request, const PowerCalls& calls, SessionEndWatcher* watcher);

}  // namespace emberline::platform::win32
