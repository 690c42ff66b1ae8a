#pragma once

// A device list narrowed to one device, so that discovery and the library's
// open can only ever bind that camera (a session bound to one camera among
// several).

#include <string>
#include <vector>

#include "core/device/transport.h"

namespace emberline::device {

class SingleDeviceList final : public DeviceList {
 public:
  // Lists only the inner entry whose id equals `id` (none when absent).
  SingleDeviceList(DeviceList& inner, std::string id);

  int enumerate(std::vector<DeviceEntry>& out) override;
  // Opens only that entry; any other gives nullptr and -ENODEV.
  std::shared_ptr<CaptureDevice> open(const DeviceEntry& entry, int* error = nullptr) override;

 private:
  DeviceList& inner_;
  std::string id_;
};

}  // namespace emberline::device
