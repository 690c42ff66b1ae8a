#pragma once

// This platform's cameras for the faces: the device list, what a device path
// looks like on --device, and the sentences about failures. One
// implementation per platform (platform_devices_<os>.cpp).

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/transport.h"

namespace emberline::frontend {

class PlatformDevices {
 public:
  virtual ~PlatformDevices() = default;
  virtual device::DeviceList& list() = 0;
  // What was searched, for "no camera found" messages.
  virtual std::string searched() const = 0;
  // A sentence saying why the device `id` could not be opened.
  virtual std::string describeOpenError(int error, const std::string& id) const = 0;
  // The id of the entry in `entries` that the device path `path` names;
  // nullopt and a message when there is none.
  virtual std::optional<std::string> findByPath(const std::vector<device::DeviceEntry>& entries,
                                                const std::string& path,
                                                std::string* error) const = 0;
};

std::unique_ptr<PlatformDevices> makePlatformDevices();

// Whether a --device text is a device path of this platform (not an index,
// not sim:PATH).
bool isDevicePath(std::string_view text);

// Where the camera at device path `path` is plugged in (a USB port path),
// for telling cameras of one model apart; empty when unknown.
std::string devicePort(const std::string& path);

// A device path as this platform writes them, for help and error texts.
std::string_view devicePathExample();

}  // namespace emberline::frontend
