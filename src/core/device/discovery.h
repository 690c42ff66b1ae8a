#pragma once

// Finding the camera among the video-capture devices and binding a channel to
// it: DiscoverCamera for the dialog's channel, SfOpenCamera for the library's.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "core/device/protocol.h"
#include "core/device/transport.h"

namespace emberline::device {

struct LibraryChannel;

// Where discovery writes its two fixed lines (standard output by default).
using DiscoveryOutput = std::function<void(std::string_view)>;

// The extension-unit node of `device` that answers the vendor property set.
std::optional<std::uint32_t> FindExtensionUnitNode(CaptureDevice& device);

// Binds the first listed device whose chip identifier reads (two attempts per
// device: the found node or node id 1, then the found node or node id 2).
// 0 when a device was chosen and `channel` is filled; non-zero otherwise.
// When the list cannot be made or is empty, writes one of the two fixed lines
// ("No devices found in the device list." / "There are no VideoInputDevice
// devices available", no line end) to `out`.
// `chip_id`, when given, gets the identifier the chosen device answered.
int DiscoverCamera(DeviceList& devices, ExtensionUnitChannel& channel,
                   const DiscoveryOutput& out = {}, std::uint8_t* chip_id = nullptr);

// SfOpenCamera result codes.
inline constexpr int kOpenOk = 0;
inline constexpr int kOpenNoDevices = 1;     // enumerator failed or the list is empty
inline constexpr int kOpenNothingBound = 2;  // devices listed, none opened
inline constexpr int kOpenPathUnreadable = 3;  // bound, but its device path could not be read

// Binds the first listed device that opens at all into `channel` (nothing is
// read from it), with its node id and device path. When the device's unit
// lookup finds no node, `fallback_node` is used: 1, or the node the dialog's
// channel settled on for the same camera.
int SfOpenCamera(DeviceList& devices, LibraryChannel& channel, std::uint32_t fallback_node = 1);

}  // namespace emberline::device
