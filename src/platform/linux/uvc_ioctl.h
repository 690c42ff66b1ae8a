#pragma once

// The kernel boundary of the Linux transport: an opened video node and the two
// ioctls the transport issues on it. The real implementation works on a file
// descriptor; tests put a fake behind the same interface to drive the request
// path without a camera.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace emberline::platform::linux_uvc {

// UVC class request codes carried by an extension-unit query.
inline constexpr std::uint8_t kUvcSetCur = 0x01;
inline constexpr std::uint8_t kUvcGetCur = 0x81;
inline constexpr std::uint8_t kUvcGetLen = 0x85;  // answer: 2 bytes, little-endian

// V4L2_CAP_VIDEO_CAPTURE, repeated here so that users of this header need no
// kernel header (checked against the kernel's value where the ioctls live).
inline constexpr std::uint32_t kCapVideoCapture = 0x00000001;

// What VIDIOC_QUERYCAP says about one node.
struct NodeCapabilities {
  std::string driver;             // "uvcvideo" for a UVC camera
  std::string card;               // the driver's name for the device
  std::uint32_t device_caps = 0;  // this node's capabilities, not the whole device's

  bool isUvcVideoCapture() const {
    return driver == "uvcvideo" && (device_caps & kCapVideoCapture) != 0;
  }
};

// One opened video node. Each call is exactly one ioctl and returns 0 or a
// negative errno, -EINTR included: retrying is the caller's decision.
class UvcIoctl {
 public:
  virtual ~UvcIoctl() = default;

  virtual int queryCapabilities(NodeCapabilities& out) = 0;

  // UVCIOC_CTRL_QUERY: `query` (kUvcSetCur ...) on control `selector` of unit
  // `unit`, with data.size() bytes sent from or received into `data`.
  virtual int controlQuery(std::uint8_t unit, std::uint8_t selector, std::uint8_t query,
                           std::span<std::uint8_t> data) = 0;
};

// Opens video nodes read-write.
class UvcNodeOpener {
 public:
  virtual ~UvcNodeOpener() = default;

  // 0 with `out` set, or a negative errno (-EACCES, -ENOENT, ...).
  virtual int open(const std::filesystem::path& node, std::unique_ptr<UvcIoctl>& out) = 0;
};

// The real opener: open(2) of the node, ioctl(2) on its descriptor, which is
// closed when the UvcIoctl is destroyed.
std::shared_ptr<UvcNodeOpener> systemNodeOpener();

}  // namespace emberline::platform::linux_uvc
