// The Linux side: uvcvideo nodes under /dev, described through sysfs. The
// environment variables EMBERLINE_SYSFS_ROOT and EMBERLINE_DEV_ROOT replace
// /sys and /dev (tests stage a machine without cameras with them).

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "frontend/platform_devices.h"
#include "platform/linux/linux_device_list.h"
#include "platform/linux/usb_port.h"

namespace emberline::frontend {

namespace {

std::filesystem::path envPath(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return (value && *value) ? std::filesystem::path(value) : std::filesystem::path(fallback);
}

// The same node whatever link or spelling names it.
std::string canonicalText(const std::string& path) {
  std::error_code ec;
  auto canonical = std::filesystem::canonical(path, ec);
  return ec ? path : canonical.string();
}

class LinuxDevices final : public PlatformDevices {
 public:
  LinuxDevices(std::filesystem::path sysfs_root, std::filesystem::path dev_root)
      : sysfs_root_(sysfs_root), list_(std::move(sysfs_root), std::move(dev_root)) {}

  device::DeviceList& list() override { return list_; }

  std::string searched() const override {
    return "the video-capture devices in " + (sysfs_root_ / "class/video4linux").string();
  }

  std::string describeOpenError(int error, const std::string& id) const override {
    return platform::linux_uvc::describeError(error, id);
  }

  std::optional<std::string> findByPath(const std::vector<device::DeviceEntry>& entries,
                                        const std::string& path,
                                        std::string* error) const override {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
      if (error) *error = path + " does not exist ('emberline list' shows the video-capture devices)";
      return std::nullopt;
    }
    const std::string wanted = canonicalText(path);
    for (const auto& entry : entries) {
      if (entry.id == path || canonicalText(entry.id) == wanted) return entry.id;
    }
    if (error) *error = path + " is not a video-capture device ('emberline list' shows them)";
    return std::nullopt;
  }

 private:
  std::filesystem::path sysfs_root_;
  platform::linux_uvc::LinuxDeviceList list_;
};

}  // namespace

std::unique_ptr<PlatformDevices> makePlatformDevices() {
  return std::make_unique<LinuxDevices>(envPath("EMBERLINE_SYSFS_ROOT", "/sys"),
                                        envPath("EMBERLINE_DEV_ROOT", "/dev"));
}

bool isDevicePath(std::string_view text) { return !text.empty() && text.front() == '/'; }

std::string_view devicePathExample() { return "/dev/video2"; }

std::string devicePort(const std::string& path) {
  return platform::linux_uvc::usbPortPath(envPath("EMBERLINE_SYSFS_ROOT", "/sys"), path);
}

}  // namespace emberline::frontend
