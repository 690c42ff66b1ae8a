#pragma once

// The transport seam: what a platform (Linux uvcvideo, Windows kernel
// streaming) or the simulated camera offers to the layers above. Nothing above
// this header knows which one it talks to.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/device/guid.h"

namespace emberline::device {

// Kernel-streaming property flags, carried on every request so that a
// kernel-streaming transport can build its KSP_NODE without help from above.
inline constexpr std::uint32_t kKsPropertyTypeGet = 0x00000001;
inline constexpr std::uint32_t kKsPropertyTypeSet = 0x00000002;
inline constexpr std::uint32_t kKsPropertyTypeSetSupport = 0x00000100;
inline constexpr std::uint32_t kKsPropertyTypeTopology = 0x10000000;
inline constexpr std::uint32_t kFlagsSet = kKsPropertyTypeSet | kKsPropertyTypeTopology;  // 0x10000002
inline constexpr std::uint32_t kFlagsGet = kKsPropertyTypeGet | kKsPropertyTypeTopology;  // 0x10000001
inline constexpr std::uint32_t kFlagsSetSupport =
    kKsPropertyTypeSetSupport | kKsPropertyTypeTopology;  // 0x10000100

enum class XuOp : std::uint8_t { Set, Get };

// One extension-unit request: SET_CUR or GET_CUR of one control on one unit.
struct ControlRequest {
  Guid property_set = kExtensionUnitPropertySet;
  std::uint32_t selector = 0;  // control selector (1..5 for the vendor unit)
  std::uint32_t flags = 0;     // kFlagsSet or kFlagsGet
  std::uint32_t node_id = 0;   // extension-unit node (UVC bUnitID on Linux)
  // Set: the bytes handed to the control. Get: filled with the control's value.
  std::span<std::uint8_t> payload;

  XuOp op() const { return (flags & kKsPropertyTypeSet) ? XuOp::Set : XuOp::Get; }
};

// An opened video-capture device.
//
// Every call is synchronous and returns 0 on success or a negative errno
// value; a transport never retries, never waits beyond the one request and
// never logs: callers decide what a person sees.
class CaptureDevice {
 public:
  virtual ~CaptureDevice() = default;

  // The node id of the extension unit that answers `property_set`, or nullopt
  // when the platform cannot find one.
  virtual std::optional<std::uint32_t> findExtensionUnitNode(const Guid& property_set) = 0;

  // Sends one request. A Get fills request.payload (a transport that received
  // fewer bytes leaves the rest as it was).
  virtual int control(const ControlRequest& request) = 0;

  // Why the last findExtensionUnitNode found nothing, as a sentence naming
  // the device ("the USB descriptors of /dev/video2 are unreadable"); empty
  // when it found the unit or the platform cannot tell.
  virtual std::string unitLookupProblem() const { return {}; }

  // The platform's own account of the last failed call, naming the device
  // ("USB Camera: HRESULT 0x8007048F: ..."), for a person to quote; empty
  // when the errno values say all the platform knows.
  virtual std::string failureDetail() const { return {}; }

  // The length in bytes the driver reports for control `selector` of the
  // extension unit `node_id` (on Linux uvcvideo's UVC_GET_LEN). 0 or a
  // negative errno; platforms that cannot tell refuse with -ENOTSUP.
  virtual int controlLength(std::uint32_t node_id, std::uint32_t selector, std::size_t& length) {
    (void)node_id;
    (void)selector;
    (void)length;
    return -ENOTSUP;
  }

  // Driver-register access through a camera driver's own property set
  // (property id 0, a 40-byte record given as both instance and value data).
  // Only the chip-id fallback uses it. Platforms without it refuse.
  virtual int driverProperty(const Guid& property_set, XuOp op, std::span<std::uint8_t, 40> record) {
    (void)property_set;
    (void)op;
    (void)record;
    return -ENOTSUP;
  }
};

// One video-capture device as listed. Either text may be missing when the
// platform could not read it: discovery then skips the device (no display
// name) or reports the failure to the library (no path).
struct DeviceEntry {
  std::string id;  // what open() takes; stable for the life of the list
  std::optional<std::string> display_name;
  std::optional<std::string> path;
};

// The video-capture devices of one platform, in a stable order.
class DeviceList {
 public:
  virtual ~DeviceList() = default;

  // Fills `out` (cleared first). 0; -ENODEV when the platform's enumerator
  // itself is unavailable; any other negative errno when the list cannot be
  // read. An empty list is success with no entries.
  virtual int enumerate(std::vector<DeviceEntry>& out) = 0;

  // Opens one listed device. On failure returns nullptr and, when `error` is
  // given, stores a negative errno there.
  virtual std::shared_ptr<CaptureDevice> open(const DeviceEntry& entry, int* error = nullptr) = 0;

  // The platform's own account of the last failed enumerate or open
  // ("HRESULT 0x80070005: Access is denied"), for a person to quote; empty
  // when the errno values say all the platform knows.
  virtual std::string failureDetail() const { return {}; }
};

}  // namespace emberline::device
