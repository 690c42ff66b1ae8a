#pragma once

// What doctor learns from a Windows machine: DirectShow's video-input devices,
// the camera privacy settings and the programs Windows counts as using a
// camera (both from the capability access manager's keys in the registry),
// and a camera's kernel-streaming topology. The registry is read through
// RegistryView, so tests give their own keys.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/device/transport.h"
#include "core/diagnosis/facts.h"

namespace emberline::platform::windows {

// Keys are written "HKLM\\Software\\..." or "HKCU\\Software\\...".
class RegistryView {
 public:
  virtual ~RegistryView() = default;
  virtual std::optional<std::string> text(const std::string& key, const std::string& value) = 0;
  virtual std::optional<std::uint64_t> number(const std::string& key, const std::string& value) = 0;
  virtual std::vector<std::string> subkeys(const std::string& key) = 0;
};

// The machine's registry, read-only.
std::unique_ptr<RegistryView> systemRegistry();

// `devices` is the platform's device list (DirectShow's video-input category).
diagnosis::WindowsSystemFacts gatherSystemFacts(device::DeviceList& devices, RegistryView& registry);

// The camera at `path` (a device path of `devices`): its topology when it
// can be bound.
diagnosis::CameraFacts gatherCameraFacts(device::DeviceList& devices, const std::string& path);

// "Windows 10.0.19045 x64"
std::string describeSystem();

}  // namespace emberline::platform::windows
