#include <cstdlib>

#include "core/device/device_filter.h"
#include "frontend/camera_probe.h"
#include "frontend/hotplug.h"
#include "frontend/udev_source.h"
#include "platform/linux/linux_device_list.h"
#include "platform/linux/udev_monitor.h"

namespace emberline::frontend {

namespace {

std::filesystem::path envPath(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return (value && *value) ? std::filesystem::path(value) : std::filesystem::path(fallback);
}

// Video nodes from udev, narrowed to the family's cameras: a node that
// appears is asked for its chip id (metadata nodes and other webcams stay
// out); a removal is passed on for every node.
class UdevSource final : public HotplugSource {
 public:
  explicit UdevSource(std::unique_ptr<platform::linux_uvc::UdevVideoMonitor> monitor)
      : monitor_(std::move(monitor)) {}

  std::vector<PlugEvent> poll(std::chrono::milliseconds wait) override {
    std::vector<PlugEvent> events;
    for (const auto& change : monitor_->poll(wait)) {
      if (!change.added) {
        events.push_back({change.node, false});
      } else if (isCamera(change.node)) {
        events.push_back({change.node, true});
      }
    }
    return events;
  }

 private:
  static bool isCamera(const std::string& node) {
    platform::linux_uvc::LinuxDeviceList all(envPath("EMBERLINE_SYSFS_ROOT", "/sys"),
                                             envPath("EMBERLINE_DEV_ROOT", "/dev"));
    device::SingleDeviceList only(all, node);
    const ProbeResult probe = probeDevices(only);
    return probe.answering() == 1;
  }

  std::unique_ptr<platform::linux_uvc::UdevVideoMonitor> monitor_;
};

}  // namespace

std::unique_ptr<HotplugSource> openUdevSource(std::string* error) {
  auto monitor = platform::linux_uvc::UdevVideoMonitor::open(error);
  if (!monitor) return nullptr;
  return std::make_unique<UdevSource>(std::move(monitor));
}

}  // namespace emberline::frontend
