#include "platform/linux/uvc_capture_device.h"

#include <cerrno>
#include <system_error>
#include <vector>

#include "platform/linux/payload_fit.h"
#include "platform/linux/sysfs_files.h"
#include "platform/linux/usb_descriptors.h"
#include "platform/linux/uvc_errors.h"

namespace emberline::platform::linux_uvc {

namespace {

// A USB device's descriptors are a few kilobytes; anything far larger is not
// what sysfs gives for a camera.
constexpr std::size_t kDescriptorsLimit = 1 << 20;

// Gives the driver's answers to an extension-unit query their transport
// meaning (see uvc_errors.h); a gone host controller is an unplug too.
int translateQueryError(int error) {
  switch (error) {
    case -ENOENT: return kErrNoSuchControl;
    case -EACCES: return kErrWrongState;
    case -ESHUTDOWN: return -ENODEV;
    default: return error;
  }
}

std::string errorText(int error) {
  return std::generic_category().message(-error);
}

// What follows a failed lookup. The fallback ids are kept, but uvcvideo
// passes a request only to a unit id the camera's descriptors list, so they
// reach a camera only when its unit really has one of them.
constexpr const char* kFallbackAdvice =
    " Trying extension-unit ids 1 and 2, which uvcvideo accepts only when the camera has units "
    "of those ids; cameras of the family usually have theirs at 3 or 4. Make the camera's "
    "sysfs directory readable (in a container, mount /sys read-only) and try again.";

}  // namespace

UvcCaptureDevice::UvcCaptureDevice(std::unique_ptr<UvcIoctl> node, std::string device_path,
                                   std::filesystem::path sysfs_node)
    : node_(std::move(node)),
      device_path_(std::move(device_path)),
      sysfs_node_(std::move(sysfs_node)) {}

bool UvcCaptureDevice::unplugged() const {
  const std::lock_guard lock(mutex_);
  return unplugged_;
}

std::string UvcCaptureDevice::unitLookupProblem() const {
  const std::lock_guard lock(mutex_);
  return lookup_problem_;
}

// One query. Retried only when a signal interrupted it: the driver is then
// still waiting for its control lock and has sent nothing to the camera.
int UvcCaptureDevice::query(std::uint8_t unit, std::uint8_t selector, std::uint8_t code,
                            std::span<std::uint8_t> data) {
  if (unplugged_) return -ENODEV;
  int result;
  do {
    result = node_->controlQuery(unit, selector, code, data);
  } while (result == -EINTR);
  result = translateQueryError(result);
  if (result == -ENODEV) unplugged_ = true;
  return result;
}

int UvcCaptureDevice::cachedLength(std::uint8_t unit, std::uint8_t selector, std::size_t& length) {
  const auto key = static_cast<std::uint16_t>(unit << 8 | selector);
  if (const auto known = lengths_.find(key); known != lengths_.end()) {
    length = known->second;
    return 0;
  }
  std::uint8_t answer[2] = {0, 0};
  if (const int result = query(unit, selector, kUvcGetLen, answer); result != 0) return result;
  const auto bytes = static_cast<std::uint16_t>(answer[0] | answer[1] << 8);
  if (bytes == 0) return kErrBadAnswer;
  lengths_.emplace(key, bytes);
  length = bytes;
  return 0;
}

namespace {
// UVC unit ids and control selectors are single non-zero bytes.
bool validControl(std::uint32_t node_id, std::uint32_t selector) {
  return node_id != 0 && node_id <= 0xFF && selector != 0 && selector <= 0xFF;
}
}  // namespace

int UvcCaptureDevice::controlLength(std::uint32_t node_id, std::uint32_t selector,
                                    std::size_t& length) {
  const std::lock_guard lock(mutex_);
  if (unplugged_) return -ENODEV;
  if (!validControl(node_id, selector)) return kErrNoSuchControl;
  return cachedLength(static_cast<std::uint8_t>(node_id), static_cast<std::uint8_t>(selector),
                       length);
}

int UvcCaptureDevice::control(const device::ControlRequest& request) {
  const std::lock_guard lock(mutex_);
  if (unplugged_) return -ENODEV;
  if (!validControl(request.node_id, request.selector)) return kErrNoSuchControl;
  const auto unit = static_cast<std::uint8_t>(request.node_id);
  const auto selector = static_cast<std::uint8_t>(request.selector);

  std::size_t length = 0;
  if (const int result = cachedLength(unit, selector, length); result != 0) return result;

  std::vector<std::uint8_t> wire;
  if (request.op() == device::XuOp::Set) {
    if (!fitSetPayload(request.payload, length, wire)) return kErrPayloadTooLong;
    return query(unit, selector, kUvcSetCur, wire);
  }
  wire.assign(length, 0);
  if (const int result = query(unit, selector, kUvcGetCur, wire); result != 0) return result;
  copyGetAnswer(wire, request.payload);
  return 0;
}

std::optional<std::uint32_t> UvcCaptureDevice::findExtensionUnitNode(
    const device::Guid& property_set) {
  const std::lock_guard lock(mutex_);
  lookup_problem_.clear();
  return lookUpUnit(property_set);
}

std::optional<std::uint32_t> UvcCaptureDevice::lookUpUnit(const device::Guid& property_set) {
  if (sysfs_node_.empty()) {
    lookup_problem_ = "The USB descriptors of " + device_path_ + " could not be located in sysfs." +
                      kFallbackAdvice;
    return std::nullopt;
  }
  // videoN/device is the camera's Video Control interface; the USB device
  // that owns it is its parent.
  std::error_code error;
  const auto interface_dir = std::filesystem::canonical(sysfs_node_ / "device", error);
  if (error) {
    lookup_problem_ = "The USB interface of " + device_path_ + " is not visible in sysfs (" +
                      (sysfs_node_ / "device").string() + ": " + error.message() + ")." +
                      kFallbackAdvice;
    return std::nullopt;
  }
  const auto usb_dir = interface_dir.parent_path();
  const auto descriptors_path = usb_dir / "descriptors";

  std::string raw;
  if (const int result = readWholeFile(descriptors_path, raw, kDescriptorsLimit); result != 0) {
    lookup_problem_ = "The USB descriptors of " + device_path_ + " are unreadable (" +
                      descriptors_path.string() + ": " + errorText(result) + ")." +
                      kFallbackAdvice;
    return std::nullopt;
  }
  const auto scan =
      scanUsbDescriptors(std::span(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()));
  if (!scan.ok()) {
    lookup_problem_ = "The USB descriptors of " + device_path_ + " are malformed (" +
                      std::string(describeFault(scan.fault)) + ", at byte " +
                      std::to_string(scan.fault_offset) + " of " + descriptors_path.string() + ")." +
                      kFallbackAdvice;
    return std::nullopt;
  }
  // Units of the active configuration and of this node's own Video Control
  // interface only; either constraint is dropped when sysfs does not say.
  const auto unit =
      findExtensionUnit(scan, property_set, readByteAttribute(usb_dir / "bConfigurationValue", 10),
                        readByteAttribute(interface_dir / "bInterfaceNumber", 16));
  if (!unit && scan.trimmed) {
    lookup_problem_ = "The kernel kept only part of the USB descriptors of " + device_path_ +
                      " (a configuration is shorter than it says), and no extension unit of the "
                      "supported camera family is in that part. Plug the camera in again; if this "
                      "persists, its firmware sends a damaged configuration." +
                      kFallbackAdvice;
    return std::nullopt;
  }
  if (!unit) {
    lookup_problem_ = device_path_ +
                      " has no extension unit of the supported camera family; it is probably "
                      "another kind of camera.";
    return std::nullopt;
  }
  return *unit;
}

}  // namespace emberline::platform::linux_uvc
