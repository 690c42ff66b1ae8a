// Windows has no udev: cameras arriving and leaving come from the system's
// device-interface notifications. An arrival is the family's camera only
// once the device list shows it and it answers, as udev's node is on Linux;
// a removal is passed on for whatever was reported plugged in.

#include <algorithm>
#include <cctype>
#include <map>

#include "core/device/device_filter.h"
#include "frontend/camera_probe.h"
#include "frontend/device_interface_source.h"
#include "frontend/platform_devices.h"
#include "frontend/station_targets.h"
#include "frontend/udev_source.h"

namespace emberline::frontend {

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

class DeviceInterfaceSource final : public HotplugSource {
 public:
  DeviceInterfaceSource(std::unique_ptr<platform::windows::DeviceInterfaceMonitor> monitor, FamilyCameras cameras)
      : monitor_(std::move(monitor)), cameras_(std::move(cameras)) {}

  std::vector<PlugEvent> poll(std::chrono::milliseconds wait) override {
    std::vector<PlugEvent> events;
    if (first_) {
      first_ = false;
      for (auto& id : cameras_.present()) {
        present_.push_back(id);
        events.push_back({id, true});
      }
    }
    const auto now = std::chrono::steady_clock::now();
    for (const auto& change : monitor_->poll(wait)) {
      if (change.added) {
        arriving_[change.path] = Arrival{now + kArrivalPatience, now};
        continue;
      }
      arriving_.erase(change.path);
      const auto known = std::find_if(present_.begin(), present_.end(),
                                      [&](const std::string& id) { return sameIgnoringCase(id, change.path); });
      if (known == present_.end()) continue;
      events.push_back({*known, false});
      present_.erase(known);
    }
    askArrivals(events);
    return events;
  }

 private:
  struct Arrival {
    std::chrono::steady_clock::time_point give_up;
    std::chrono::steady_clock::time_point next;
  };

  void askArrivals(std::vector<PlugEvent>& events) {
    const auto now = std::chrono::steady_clock::now();
    for (auto it = arriving_.begin(); it != arriving_.end();) {
      if (now < it->second.next) {
        ++it;
        continue;
      }
      if (const auto id = cameras_.probe(it->first)) {
        if (std::find(present_.begin(), present_.end(), *id) == present_.end()) {
          present_.push_back(*id);
          events.push_back({*id, true});
        }
        it = arriving_.erase(it);
      } else if (now >= it->second.give_up) {
        it = arriving_.erase(it);  // another kind of camera, or one that never answered
      } else {
        it->second.next = now + kArrivalRetry;
        ++it;
      }
    }
  }

  std::unique_ptr<platform::windows::DeviceInterfaceMonitor> monitor_;
  FamilyCameras cameras_;
  std::map<std::string, Arrival> arriving_;
  std::vector<std::string> present_;  // ids reported plugged in
  bool first_ = true;
};

std::optional<std::string> familyCameraAt(const std::string& path) {
  const auto devices = makePlatformDevices();
  std::vector<device::DeviceEntry> entries;
  if (devices->list().enumerate(entries) != 0) return std::nullopt;
  const auto id = devices->findByPath(entries, path, nullptr);
  if (!id) return std::nullopt;
  device::SingleDeviceList only(devices->list(), *id);
  return probeDevices(only).answering() == 1 ? id : std::nullopt;
}

std::vector<std::string> familyCamerasPresent() {
  std::string ignored;
  return answeringCameras(&ignored);
}

}  // namespace

std::unique_ptr<HotplugSource> makeDeviceInterfaceSource(
    std::unique_ptr<platform::windows::DeviceInterfaceMonitor> monitor, FamilyCameras cameras) {
  return std::make_unique<DeviceInterfaceSource>(std::move(monitor), std::move(cameras));
}

std::unique_ptr<HotplugSource> openUdevSource(std::string* error) {
  auto monitor = platform::windows::DeviceInterfaceMonitor::open(error);
  if (!monitor) return nullptr;
  return makeDeviceInterfaceSource(std::move(monitor), {familyCameraAt, familyCamerasPresent});
}

}  // namespace emberline::frontend
