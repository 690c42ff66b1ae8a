#pragma once

// `watch` on Windows: the family's cameras as the system's device-interface
// notifications report them, behind the same hot-plug seam as udev on Linux.
// Windows-only.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frontend/hotplug.h"
#include "platform/windows/device_notifications.h"

namespace emberline::frontend {

struct FamilyCameras {
  // The device's id as the device list names it when the device at `path`
  // (spelled as the notification spells it) is a camera of the family.
  std::function<std::optional<std::string>(const std::string& path)> probe;
  // The family's cameras plugged in before the watch began.
  std::function<std::vector<std::string>()> present;
};

// A device that arrives may take a moment to appear in the device list, or
// to answer: it is asked again for a while.
inline constexpr std::chrono::milliseconds kArrivalRetry{500};
inline constexpr std::chrono::milliseconds kArrivalPatience{3000};

std::unique_ptr<HotplugSource> makeDeviceInterfaceSource(
    std::unique_ptr<platform::windows::DeviceInterfaceMonitor> monitor, FamilyCameras cameras);

}  // namespace emberline::frontend
