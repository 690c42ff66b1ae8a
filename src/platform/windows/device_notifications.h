#pragma once

// Capture devices arriving and leaving, from the system's device-interface
// notifications: a message-only window registered with
// RegisterDeviceNotification for the kernel-streaming capture interfaces,
// whose device paths are those DirectShow reports as "DevicePath".
// (CM_Register_Notification would need no window, but Wine does not have
// it; the window works on every Windows and under Wine alike.)

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/windows_handles.h"

namespace emberline::platform::windows {

struct DeviceChange {
  std::string path;  // the interface's device path, as the system spells it
  bool added = true;
};

// {65E8773D-8F56-11D0-A3B9-00A0C9223196}, KSCATEGORY_CAPTURE.
inline constexpr GUID kCaptureInterfaceClass = {
    0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

class DeviceInterfaceMonitor {
 public:
  // Makes the window on the calling thread, which must also be the thread
  // that polls. nullptr and the reason when the system refuses.
  static std::unique_ptr<DeviceInterfaceMonitor> open(std::string* error);
  ~DeviceInterfaceMonitor();
  DeviceInterfaceMonitor(const DeviceInterfaceMonitor&) = delete;
  DeviceInterfaceMonitor& operator=(const DeviceInterfaceMonitor&) = delete;

  // Waits up to `wait` for the window's messages and handles them; the
  // changes since the last call, in the order they came.
  std::vector<DeviceChange> poll(std::chrono::milliseconds wait);

  // The window the notifications come to.
  HWND window() const { return window_.get(); }

 private:
  DeviceInterfaceMonitor() = default;
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  struct NotificationTraits {
    using Type = HDEVNOTIFY;
    static bool valid(HDEVNOTIFY h) { return h != nullptr; }
    static void free(HDEVNOTIFY h) { ::UnregisterDeviceNotification(h); }
  };

  UniqueWindow window_;
  Unique<NotificationTraits> registration_;  // goes before the window
  std::vector<DeviceChange> changes_;
};

}  // namespace emberline::platform::windows
