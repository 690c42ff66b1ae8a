#pragma once

// The uvcvideo cameras of a Linux machine as the device layer's DeviceList,
// and the texts the faces show about them.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/transport.h"

namespace emberline::platform::linux_uvc {

class UvcNodeOpener;

// The video-capture nodes of uvcvideo, ordered by USB device path, then node
// index. Entry ids and paths are the nodes' /dev paths; display names come from
// sysfs `name`, else the USB product string. Metadata nodes and nodes of other
// drivers are left out. A missing or empty /sys/class/video4linux is an empty
// list, not an error.
class LinuxDeviceList final : public device::DeviceList {
 public:
  explicit LinuxDeviceList(std::filesystem::path sysfs_root = "/sys",
                           std::filesystem::path dev_root = "/dev");
  // Tests put a fake node opener here.
  LinuxDeviceList(std::filesystem::path sysfs_root, std::filesystem::path dev_root,
                  std::shared_ptr<UvcNodeOpener> opener);
  ~LinuxDeviceList() override;

  int enumerate(std::vector<device::DeviceEntry>& out) override;

  // Opens the node read-write. Errors: -EACCES (no permission), -ENOENT (no
  // such node), -ENODEV/-ENXIO (unplugged), -ENOTTY (not a uvcvideo
  // video-capture node), or whatever else open(2) says.
  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry& entry,
                                              int* error = nullptr) override;

 private:
  std::filesystem::path sysfs_root_;
  std::filesystem::path dev_root_;
  std::shared_ptr<UvcNodeOpener> opener_;
};

// A sentence a person can act on for a negative errno from this transport
// (open, requests, or the codes of uvc_errors.h), naming the device.
std::string describeError(int error, const std::string& device_path);

// The udev rule file Emberline ships (res/udev/70-emberline.rules), as
// `emberline udev-rule` prints it.
std::string_view udevRuleText();

// Where the rule file goes on the machine.
inline constexpr std::string_view kUdevRuleInstallPath = "/etc/udev/rules.d/70-emberline.rules";

}  // namespace emberline::platform::linux_uvc
