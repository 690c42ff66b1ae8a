#include <windows.h>

#include <thread>

#include "platform/sleep.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace emberline::platform {

namespace {

// One waitable timer per thread, closed when the thread ends. The
// high-resolution kind (Windows 10 1803 on) wakes within tens of
// microseconds; an ordinary one where that kind does not exist.
class ThreadTimer {
 public:
  ThreadTimer() {
    handle_ = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                       TIMER_ALL_ACCESS);
    if (handle_ == nullptr)
      handle_ = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
  }
  ~ThreadTimer() {
    if (handle_ != nullptr) ::CloseHandle(handle_);
  }
  ThreadTimer(const ThreadTimer&) = delete;
  ThreadTimer& operator=(const ThreadTimer&) = delete;

  bool wait(std::chrono::microseconds duration) {
    if (handle_ == nullptr) return false;
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(duration.count()) * 10;  // relative, 100 ns units
    if (!::SetWaitableTimer(handle_, &due, 0, nullptr, nullptr, FALSE)) return false;
    return ::WaitForSingleObject(handle_, INFINITE) == WAIT_OBJECT_0;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace

void sleepFor(std::chrono::microseconds duration) {
  if (duration <= std::chrono::microseconds::zero()) return;
  thread_local ThreadTimer timer;
  const auto deadline = std::chrono::steady_clock::now() + duration;
  if (!timer.wait(duration)) std::this_thread::sleep_for(duration);
  // A timer never fires early by design, but a coarse fallback might.
  while (std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
}

}  // namespace emberline::platform
