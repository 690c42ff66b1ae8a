#pragma once

// A device list narrowed to one device, so that discovery and the library's
// open can only ever bind that camera (a session bound to one camera among
// several).

#include <string>
#include <vector>

#include "core/device/protocol.h"
#include "core/device/transport.h"

namespace emberline::device {

class SingleDeviceList final : public DeviceList {
 public:
  // Lists only the inner entry whose id equals `id` (none when absent).
  SingleDeviceList(DeviceList& inner, std::string id);

  int enumerate(std::vector<DeviceEntry>& out) override;
  // Opens only that entry; any other gives nullptr and -ENODEV.
  std::shared_ptr<CaptureDevice> open(const DeviceEntry& entry, int* error = nullptr) override;
  std::string failureDetail() const override { return inner_.failureDetail(); }

 private:
  DeviceList& inner_;
  std::string id_;
};

// The devices the library may open: only the camera the dialog's channel is
// bound to, while it is bound to one; every device otherwise. Without it the
// library's open takes the first device that opens at all, which on a
// machine with a built-in webcam listed first is the webcam, and every burn
// would end in "Camera init failed!".
class ChannelDeviceList final : public DeviceList {
 public:
  ChannelDeviceList(DeviceList& inner, const ExtensionUnitChannel& channel);

  int enumerate(std::vector<DeviceEntry>& out) override;
  std::shared_ptr<CaptureDevice> open(const DeviceEntry& entry, int* error = nullptr) override;

 private:
  DeviceList& inner_;
  const ExtensionUnitChannel& channel_;
};

}  // namespace emberline::device
