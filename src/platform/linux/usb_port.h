#pragma once

// Where a video node's camera is plugged in, for station records.

#include <filesystem>
#include <string>

namespace emberline::platform::linux_uvc {

// The sysfs devpath of the USB device behind `node` (e.g.
// "/devices/pci0000:00/0000:00:14.0/usb1/1-2"), empty when sysfs does not
// tell. `sysfs_root` is /sys outside tests.
std::string usbPortPath(const std::filesystem::path& sysfs_root, const std::string& node);

}  // namespace emberline::platform::linux_uvc
