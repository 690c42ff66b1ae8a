#include "platform/linux/usb_port.h"

#include <system_error>

namespace emberline::platform::linux_uvc {

std::string usbPortPath(const std::filesystem::path& sysfs_root, const std::string& node) {
  std::error_code ec;
  const auto name = std::filesystem::canonical(node, ec).filename();
  if (ec) return {};
  // .../usb1/1-2/1-2:1.0 is the interface; its parent is the device on the port.
  const auto interface =
      std::filesystem::canonical(sysfs_root / "class/video4linux" / name / "device", ec);
  if (ec) return {};
  const auto root = std::filesystem::canonical(sysfs_root, ec);
  if (ec) return {};
  const std::string device = interface.parent_path().string();
  const std::string prefix = root.string();
  return device.compare(0, prefix.size(), prefix) == 0 ? device.substr(prefix.size()) : device;
}

}  // namespace emberline::platform::linux_uvc
