// The Windows side: DirectShow's video-input devices, named by their device
// paths (\\?\usb#vid_...).

#include <algorithm>
#include <cctype>

#include "frontend/platform_devices.h"
#include "platform/windows/windows_device_list.h"

namespace emberline::frontend {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

class WindowsDevices final : public PlatformDevices {
 public:
  device::DeviceList& list() override { return list_; }

  std::string searched() const override { return "the video-input devices of DirectShow"; }

  std::string describeOpenError(int error, const std::string& id) const override {
    return platform::windows::describeError(error, list_.lastFailure(), id);
  }

  std::optional<std::string> findByPath(const std::vector<device::DeviceEntry>& entries,
                                        const std::string& path,
                                        std::string* error) const override {
    // Device paths are case-insensitive, as everything in the object manager.
    for (const auto& entry : entries) {
      if (equalsIgnoringCase(entry.id, path) || (entry.path && equalsIgnoringCase(*entry.path, path)))
        return entry.id;
    }
    if (error) *error = path + " is not a video-input device ('emberline list' shows them)";
    return std::nullopt;
  }

 private:
  platform::windows::WindowsDeviceList list_;
};

}  // namespace

std::unique_ptr<PlatformDevices> makePlatformDevices() { return std::make_unique<WindowsDevices>(); }

bool isDevicePath(std::string_view text) {
  return text.starts_with("\\\\") || text.starts_with("@device:");
}

// The device path itself names the USB port's instance; no finer name is kept.
std::string devicePort(const std::string&) { return {}; }

std::string_view devicePathExample() { return "\\\\?\\usb#vid_...#{...}\\global"; }

}  // namespace emberline::frontend
