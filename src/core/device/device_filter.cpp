#include "core/device/device_filter.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace emberline::device {

SingleDeviceList::SingleDeviceList(DeviceList& inner, std::string id)
    : inner_(inner), id_(std::move(id)) {}

int SingleDeviceList::enumerate(std::vector<DeviceEntry>& out) {
  out.clear();
  std::vector<DeviceEntry> all;
  const int result = inner_.enumerate(all);
  if (result != 0) return result;
  std::copy_if(all.begin(), all.end(), std::back_inserter(out),
               [this](const DeviceEntry& entry) { return entry.id == id_; });
  return 0;
}

std::shared_ptr<CaptureDevice> SingleDeviceList::open(const DeviceEntry& entry, int* error) {
  if (entry.id != id_) {
    if (error != nullptr) *error = -ENODEV;
    return nullptr;
  }
  return inner_.open(entry, error);
}

ChannelDeviceList::ChannelDeviceList(DeviceList& inner, const ExtensionUnitChannel& channel)
    : inner_(inner), channel_(channel) {}

int ChannelDeviceList::enumerate(std::vector<DeviceEntry>& out) {
  if (!channel_.device || channel_.device_id.empty()) return inner_.enumerate(out);
  return SingleDeviceList(inner_, channel_.device_id).enumerate(out);
}

std::shared_ptr<CaptureDevice> ChannelDeviceList::open(const DeviceEntry& entry, int* error) {
  return inner_.open(entry, error);
}

}  // namespace emberline::device
