#include "platform/linux/udev_monitor.h"

#include <libudev.h>
#include <poll.h>

namespace emberline::platform::linux_uvc {

struct UdevVideoMonitor::Handles {
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;
  ~Handles() {
    if (monitor) udev_monitor_unref(monitor);
    if (context) udev_unref(context);
  }
};

UdevVideoMonitor::UdevVideoMonitor(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
UdevVideoMonitor::~UdevVideoMonitor() = default;

std::unique_ptr<UdevVideoMonitor> UdevVideoMonitor::open(std::string* error) {
  auto handles = std::make_unique<Handles>();
  handles->context = udev_new();
  if (handles->context) handles->monitor = udev_monitor_new_from_netlink(handles->context, "udev");
  if (!handles->monitor ||
      udev_monitor_filter_add_match_subsystem_devtype(handles->monitor, "video4linux", nullptr) < 0 ||
      udev_monitor_enable_receiving(handles->monitor) < 0) {
    if (error) *error = "cannot listen to udev for cameras being plugged in";
    return nullptr;
  }
  return std::unique_ptr<UdevVideoMonitor>(new UdevVideoMonitor(std::move(handles)));
}

std::vector<NodeChange> UdevVideoMonitor::poll(std::chrono::milliseconds wait) {
  std::vector<NodeChange> changes;
  if (!listed_) {
    // The monitor is already receiving, so nothing falls between the list and the events.
    listed_ = true;
    udev_enumerate* list = udev_enumerate_new(handles_->context);
    udev_enumerate_add_match_subsystem(list, "video4linux");
    udev_enumerate_scan_devices(list);
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(list)) {
      udev_device* device = udev_device_new_from_syspath(handles_->context, udev_list_entry_get_name(entry));
      if (!device) continue;
      if (const char* node = udev_device_get_devnode(device)) changes.push_back({node, true});
      udev_device_unref(device);
    }
    udev_enumerate_unref(list);
    return changes;
  }
  pollfd fd{udev_monitor_get_fd(handles_->monitor), POLLIN, 0};
  if (::poll(&fd, 1, static_cast<int>(wait.count())) <= 0) return changes;
  while (udev_device* device = udev_monitor_receive_device(handles_->monitor)) {
    const char* action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    if (action && node) {
      const std::string what = action;
      if (what == "add") changes.push_back({node, true});
      if (what == "remove") changes.push_back({node, false});
    }
    udev_device_unref(device);
  }
  return changes;
}

}  // namespace emberline::platform::linux_uvc
