// The real kernel boundary: open(2) and ioctl(2) on a video node.

#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/unique_fd.h"
#include "platform/linux/uvc_ioctl.h"

namespace emberline::platform::linux_uvc {

static_assert(kUvcSetCur == UVC_SET_CUR && kUvcGetCur == UVC_GET_CUR && kUvcGetLen == UVC_GET_LEN);
static_assert(kCapVideoCapture == V4L2_CAP_VIDEO_CAPTURE);

namespace {

std::string fixedText(const __u8* text, std::size_t capacity) {
  const auto* begin = reinterpret_cast<const char*>(text);
  return std::string(begin, strnlen(begin, capacity));
}

class FdUvcIoctl final : public UvcIoctl {
 public:
  explicit FdUvcIoctl(UniqueFd fd) : fd_(std::move(fd)) {}

  int queryCapabilities(NodeCapabilities& out) override {
    v4l2_capability caps{};
    if (::ioctl(fd_.get(), VIDIOC_QUERYCAP, &caps) < 0) return -errno;
    out.driver = fixedText(caps.driver, sizeof caps.driver);
    out.card = fixedText(caps.card, sizeof caps.card);
    // Drivers that predate per-node capabilities report only the device's.
    out.device_caps =
        (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
    return 0;
  }

  int controlQuery(std::uint8_t unit, std::uint8_t selector, std::uint8_t query,
                   std::span<std::uint8_t> data) override {
    if (data.size() > UINT16_MAX) return -EINVAL;
    uvc_xu_control_query request{};
    request.unit = unit;
    request.selector = selector;
    request.query = query;
    request.size = static_cast<__u16>(data.size());
    request.data = data.data();
    if (::ioctl(fd_.get(), UVCIOC_CTRL_QUERY, &request) < 0) return -errno;
    return 0;
  }

 private:
  UniqueFd fd_;
};

class SystemNodeOpener final : public UvcNodeOpener {
 public:
  int open(const std::filesystem::path& node, std::unique_ptr<UvcIoctl>& out) override {
    int fd;
    do {
      fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -errno;
    out = std::make_unique<FdUvcIoctl>(UniqueFd(fd));
    return 0;
  }
};

}  // namespace

std::shared_ptr<UvcNodeOpener> systemNodeOpener() {
  return std::make_shared<SystemNodeOpener>();
}

}  // namespace emberline::platform::linux_uvc
