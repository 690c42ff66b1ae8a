#pragma once

// An opened uvcvideo camera: extension-unit requests through UVCIOC_CTRL_QUERY
// and the vendor unit's id from the camera's USB descriptors in sysfs.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/device/transport.h"
#include "platform/linux/uvc_ioctl.h"

namespace emberline::platform::linux_uvc {

// Requests are strictly sequential (one lock around each). Each control's
// length is asked once (GET_LEN) and every SET/GET is fitted to it. Once the
// camera is gone (ENODEV) every later request fails at once with -ENODEV.
// The node's file descriptor is closed when the last owner lets go.
class UvcCaptureDevice final : public device::CaptureDevice {
 public:
  // `sysfs_node` is the node's /sys/class/video4linux/videoN directory (empty
  // when unknown: the unit is then never found and the caller's fallback ids
  // apply); `device_path` names the camera in messages.
  UvcCaptureDevice(std::unique_ptr<UvcIoctl> node, std::string device_path,
                   std::filesystem::path sysfs_node);

  std::optional<std::uint32_t> findExtensionUnitNode(const device::Guid& property_set) override;
  int control(const device::ControlRequest& request) override;
  // UVC_GET_LEN, asked once per control and kept, as control() does.
  int controlLength(std::uint32_t node_id, std::uint32_t selector, std::size_t& length) override;

  const std::string& devicePath() const { return device_path_; }
  bool unplugged() const;

  std::string unitLookupProblem() const override;

 private:
  int query(std::uint8_t unit, std::uint8_t selector, std::uint8_t code,
            std::span<std::uint8_t> data);
  int cachedLength(std::uint8_t unit, std::uint8_t selector, std::size_t& length);
  std::optional<std::uint32_t> lookUpUnit(const device::Guid& property_set);

  mutable std::mutex mutex_;
  std::unique_ptr<UvcIoctl> node_;
  const std::string device_path_;
  const std::filesystem::path sysfs_node_;
  std::map<std::uint16_t, std::uint16_t> lengths_;  // (unit << 8 | selector) -> bytes
  bool unplugged_ = false;
  std::string lookup_problem_;
};

}  // namespace emberline::platform::linux_uvc
