#pragma once

// Finds the Video Control extension units in a USB device's raw descriptors,
// as sysfs gives them in a USB device's `descriptors` file: the 18-byte device
// descriptor, then every configuration's descriptors, each wTotalLength long.
// Pure: bytes in, units out. Never reads outside the bytes it is given; a
// malformed set gives a fault and the offset of the descriptor at fault.
//
// The kernel may keep fewer bytes of a configuration than its wTotalLength
// says (a camera that sent a short configuration). Such a trimmed
// configuration is scanned as far as it goes: up to the end of the data, or
// up to the next configuration descriptor, and a descriptor the end cuts off
// is left out, as libusb does.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/device/guid.h"

namespace emberline::platform::linux_uvc {

struct ExtensionUnitDescriptor {
  std::uint8_t configuration_value = 0;  // bConfigurationValue of its configuration
  std::uint8_t interface_number = 0;     // its Video Control interface
  std::uint8_t unit_id = 0;              // bUnitID: the node id of requests to it
  device::Guid guid;                     // guidExtensionCode
  std::uint8_t num_controls = 0;         // bNumControls
  std::vector<std::uint8_t> controls;    // bmControls: bit i set = selector i + 1 exists
};

enum class DescriptorFault {
  None,
  NoDeviceDescriptor,      // fewer than 18 bytes, or the first is not a device descriptor
  NotAConfiguration,       // a configuration does not start with a configuration descriptor
  Truncated,               // the bytes end inside a descriptor header
  ZeroLength,              // bLength 0 (or 1): the walk would never advance
  LengthPastEnd,           // a length runs past its configuration or past the data
  NestedConfiguration,     // a configuration descriptor inside another configuration
  ShortInterface,          // an interface descriptor shorter than 9 bytes
  MalformedExtensionUnit,  // too short for its bNrInPins / bControlSize, or unit id 0
};

struct DescriptorScan {
  DescriptorFault fault = DescriptorFault::None;
  std::size_t fault_offset = 0;                // where the descriptor at fault starts
  std::vector<ExtensionUnitDescriptor> units;  // in descriptor order; empty on a fault
  bool trimmed = false;                        // a configuration was shorter than it said

  bool ok() const { return fault == DescriptorFault::None; }
};

DescriptorScan scanUsbDescriptors(std::span<const std::uint8_t> bytes);

// A short English phrase for a fault ("a descriptor has bLength 0").
std::string_view describeFault(DescriptorFault fault);

// The first extension unit, in descriptor order, whose GUID is `guid`, in
// configuration `configuration_value` and on interface `interface_number`
// (either one unconstrained when not given).
std::optional<std::uint8_t> findExtensionUnit(const DescriptorScan& scan, const device::Guid& guid,
                                              std::optional<std::uint8_t> configuration_value,
                                              std::optional<std::uint8_t> interface_number);

}  // namespace emberline::platform::linux_uvc
