#include "platform/windows/device_notifications.h"

#include <dbt.h>

#include <cstddef>
#include <cwchar>
#include <system_error>
#include <utility>

#include "platform/text_windows.h"
#include "platform/win32/hidden_window.h"
#include "platform/windows_errors.h"

namespace emberline::platform::windows {

namespace {

constexpr wchar_t kWindowClass[] = L"Emberline.DeviceInterfaces";

std::string lastErrorText() { return std::generic_category().message(-lastErrno()); }

}  // namespace

std::unique_ptr<DeviceInterfaceMonitor> DeviceInterfaceMonitor::open(std::string* error) {
  std::unique_ptr<DeviceInterfaceMonitor> monitor(new DeviceInterfaceMonitor);
  monitor->window_.reset(
      win32::createHiddenWindow(kWindowClass, &DeviceInterfaceMonitor::windowProc, monitor.get(), true));
  if (!monitor->window_) {
    if (error) *error = "cannot watch for cameras being plugged in: no window for the notifications (" +
                        lastErrorText() + ")";
    return nullptr;
  }
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kCaptureInterfaceClass;
  monitor->registration_.reset(
      ::RegisterDeviceNotificationW(monitor->window_.get(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
  if (!monitor->registration_) {
    if (error) *error = "cannot watch for cameras being plugged in: the system refused the notifications (" +
                        lastErrorText() + ")";
    return nullptr;
  }
  return monitor;
}

DeviceInterfaceMonitor::~DeviceInterfaceMonitor() {
  registration_.reset();
  window_.reset();
}

LRESULT CALLBACK DeviceInterfaceMonitor::windowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = win32::windowOwner<DeviceInterfaceMonitor>(window, message, lparam);
  if (message != WM_DEVICECHANGE || self == nullptr || lparam == 0 ||
      (wparam != DBT_DEVICEARRIVAL && wparam != DBT_DEVICEREMOVECOMPLETE))
    return ::DefWindowProcW(window, message, wparam, lparam);
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lparam);
  if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE || header->dbch_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_W))
    return TRUE;
  const auto* changed = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lparam);
  // The name runs to the end of the structure; never past it.
  const std::size_t room = (header->dbch_size - offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) / sizeof(wchar_t);
  const std::wstring_view name(changed->dbcc_name, ::wcsnlen(changed->dbcc_name, room));
  if (!name.empty()) self->changes_.push_back({utf8FromWide(name), wparam == DBT_DEVICEARRIVAL});
  return TRUE;
}

std::vector<DeviceChange> DeviceInterfaceMonitor::poll(std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, window_.get(), 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (!changes_.empty() || left.count() <= 0) break;
    // Sent messages (WM_DEVICECHANGE is one) are delivered inside this wait.
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  return std::exchange(changes_, {});
}

}  // namespace emberline::platform::windows
