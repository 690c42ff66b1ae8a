#pragma once

// A device list that reports every request its devices carry, for traces on
// the command line and in tests. It changes nothing: each call goes to the
// inner device first, and the observer sees the result afterwards.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/device/clock.h"
#include "core/device/guid.h"
#include "core/device/transport.h"

namespace emberline::device {

// One request as a device carried it.
//  - control(): the request's own fields.
//  - driverProperty(): driver_property is true, property_set is the driver's
//    set, flags kKsPropertyTypeSet or kKsPropertyTypeGet, selector and node 0.
//  - findExtensionUnitNode(): reported as the support probe it stands for:
//    flags kFlagsSetSupport, selector 0, node_id the node found (0 when none),
//    result 0 when found and -ENOENT when not, no payload.
//  - controlLength(): length_query is true, op Get, the control's selector and
//    node, the length as two little-endian bytes (no payload when it failed).
struct TraceEvent {
  std::chrono::steady_clock::time_point time;  // when the call was made
  std::string device_id;                       // DeviceEntry::id of the device
  bool driver_property = false;
  bool length_query = false;
  Guid property_set;
  std::uint32_t selector = 0;
  std::uint32_t flags = 0;
  std::uint32_t node_id = 0;
  XuOp op = XuOp::Set;
  std::vector<std::uint8_t> payload;  // Set: as sent. Get: as returned
  int result = 0;
};

// Called on the thread that made the request.
using TraceObserver = std::function<void(const TraceEvent&)>;

class TracingDeviceList final : public DeviceList {
 public:
  TracingDeviceList(DeviceList& inner, TraceObserver observer, Clock& clock = systemClock());

  int enumerate(std::vector<DeviceEntry>& out) override;
  std::shared_ptr<CaptureDevice> open(const DeviceEntry& entry, int* error = nullptr) override;

 private:
  DeviceList& inner_;
  std::shared_ptr<const TraceObserver> observer_;  // shared with the devices it opened
  Clock& clock_;
};

}  // namespace emberline::device
