#include "platform/win32/machine_hold_windows.h"

#include <chrono>
#include <utility>
#include <vector>

#include "platform/text_windows.h"
#include "platform/win32/hidden_window.h"

namespace emberline::platform {

namespace win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"Emberline.SessionEnd";
constexpr UINT kMsgHoldersChanged = WM_APP + 1;
// Windows ends a program that takes longer over WM_ENDSESSION; the work
// reaches a request boundary and restores write protection well within it.
constexpr auto kEndSessionWait = std::chrono::seconds(4);

class WindowsHold final : public MachineHold {
 public:
  WindowsHold(HoldRequest request, const PowerCalls& calls, SessionEndWatcher* watcher)
      : awake_(calls), watcher_(request.on_shutdown ? watcher : nullptr) {
    if (watcher_) holder_ = watcher_->add(std::move(request.why), std::move(request.on_shutdown));
  }
  ~WindowsHold() override {
    if (watcher_) watcher_->remove(holder_);
  }

 private:
  AwakeState awake_;
  SessionEndWatcher* watcher_;
  int holder_ = 0;
};

}  // namespace

const PowerCalls& systemPowerCalls() {
  static const PowerCalls calls;
  return calls;
}

AwakeState::AwakeState(const PowerCalls& calls)
    : calls_(calls), previous_(calls.set_execution_state(ES_CONTINUOUS | ES_SYSTEM_REQUIRED)) {}

AwakeState::~AwakeState() {
  // 0: the first call failed and changed nothing.
  if (previous_ != 0) calls_.set_execution_state(previous_ | ES_CONTINUOUS);
}

ShutdownBlock::ShutdownBlock(HWND window, const std::string& why, const PowerCalls& calls)
    : window_(window), calls_(calls), made_(calls.block_shutdown(window, wideFromUtf8(why).c_str()) != FALSE) {}

ShutdownBlock::~ShutdownBlock() {
  if (made_) calls_.unblock_shutdown(window_);
}

SessionEndWatcher::SessionEndWatcher(const PowerCalls& calls) : calls_(calls) {
  std::promise<HWND> created;
  auto window = created.get_future();
  thread_ = std::thread([this, &created] { run(created); });
  window_ = window.get();
}

SessionEndWatcher::~SessionEndWatcher() {
  if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
  thread_.join();
}

void SessionEndWatcher::run(std::promise<HWND>& created) {
  // Top-level and never shown: message-only windows get no session messages.
  const HWND window = createHiddenWindow(kWindowClass, &SessionEndWatcher::windowProc, this, false);
  created.set_value(window);
  if (!window) return;
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
}

LRESULT CALLBACK SessionEndWatcher::windowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = windowOwner<SessionEndWatcher>(window, message, lparam);
  return self ? self->handle(window, message, wparam, lparam) : ::DefWindowProcW(window, message, wparam, lparam);
}

LRESULT SessionEndWatcher::handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_QUERYENDSESSION: {
      std::string why;
      std::vector<std::function<void()>> tell;
      {
        const std::lock_guard lock(mutex_);
        if (holders_.empty()) return TRUE;
        why = holders_.begin()->second.why;
        for (auto& [id, holder] : holders_)
          if (holder.on_shutdown && !std::exchange(holder.told, true)) tell.push_back(holder.on_shutdown);
      }
      for (const auto& stop : tell) stop();
      if (!blocked_) blocked_ = calls_.block_shutdown(window, wideFromUtf8(why).c_str()) != FALSE;
      return FALSE;
    }
    case WM_ENDSESSION: {
      if (!wparam) return 0;  // the shutdown was cancelled
      std::unique_lock lock(mutex_);
      for (auto& [id, holder] : holders_)
        if (holder.on_shutdown && !std::exchange(holder.told, true)) holder.on_shutdown();
      released_.wait_for(lock, kEndSessionWait, [this] { return holders_.empty(); });
      return 0;
    }
    case kMsgHoldersChanged: {
      const std::lock_guard lock(mutex_);
      if (holders_.empty() && blocked_) {
        calls_.unblock_shutdown(window);
        blocked_ = false;
      }
      return 0;
    }
    case WM_CLOSE:
      ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wparam, lparam);
  }
}

int SessionEndWatcher::add(std::string why, std::function<void()> on_shutdown) {
  const std::lock_guard lock(mutex_);
  const int id = next_++;
  holders_[id] = Holder{std::move(why), std::move(on_shutdown)};
  return id;
}

void SessionEndWatcher::remove(int holder) {
  {
    const std::lock_guard lock(mutex_);
    holders_.erase(holder);
  }
  released_.notify_all();
  if (window_) ::PostMessageW(window_, kMsgHoldersChanged, 0, 0);
}

std::unique_ptr<MachineHold> holdMachine(HoldRequest request, const PowerCalls& calls, SessionEndWatcher* watcher) {
  return std::make_unique<WindowsHold>(std::move(request), calls, watcher);
}

}  // namespace win32

std::unique_ptr<MachineHold> holdMachine(HoldRequest request) {
  // One watcher for the program, made by the first hold that needs it and
  // left to end with the process (its thread would only be joined at exit).
  const auto watcher = [] {
    static auto* const process_watcher = new win32::SessionEndWatcher(win32::systemPowerCalls());
    return process_watcher;
  };
  win32::SessionEndWatcher* const wanted = request.on_shutdown ? watcher() : nullptr;
  return win32::holdMachine(std::move(request), win32::systemPowerCalls(), wanted);
}

}  // namespace emberline::platform
