#include "core/device/discovery.h"

#include <iostream>
#include <string>
#include <vector>

#include "core/device/backend.h"

namespace emberline::device {

namespace {

constexpr std::string_view kNoEnumerator = "No devices found in the device list.";
constexpr std::string_view kNoVideoInput = "There are no VideoInputDevice devices available";

// The device path keeps at most this many bytes (a 256-byte text with its
// terminating zero on the original platform).
constexpr std::size_t kDevicePathMax = 255;

void writeLine(const DiscoveryOutput& out, std::string_view text) {
  if (out) {
    out(text);
  } else {
    std::cout << text << std::flush;
  }
}

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 sequence.
std::string cutUtf8(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::shared_ptr<CaptureDevice> openInto(DeviceList& devices, const DeviceEntry& entry,
                                        int& last_error) {
  int error = 0;
  auto device = devices.open(entry, &error);
  if (!device) last_error = error < 0 ? error : -ENODEV;
  return device;
}

}  // namespace

std::optional<std::uint32_t> FindExtensionUnitNode(CaptureDevice& device) {
  return device.findExtensionUnitNode(kExtensionUnitPropertySet);
}

int DiscoverCamera(DeviceList& devices, ExtensionUnitChannel& channel, const DiscoveryOutput& out,
                   std::uint8_t* found_chip_id) {
  std::vector<DeviceEntry> entries;
  const int listed = devices.enumerate(entries);
  if (listed == -ENODEV) {
    writeLine(out, kNoEnumerator);
    return 1;
  }
  if (listed != 0 || entries.empty()) {
    writeLine(out, kNoVideoInput);
    return 1;
  }

  for (const DeviceEntry& entry : entries) {
    if (!entry.display_name) continue;
    channel.device.reset();
    channel.device_id.clear();
    channel.device = openInto(devices, entry, channel.last_error);
    if (!channel.device) continue;
    channel.device_id = entry.id;
    // Two attempts: the node the lookup finds or, when it finds none, the
    // node ids 1 and 2 that cameras of the family commonly use.
    for (std::uint32_t attempt = 1; attempt <= 2; ++attempt) {
      channel.node_id = FindExtensionUnitNode(*channel.device).value_or(attempt);
      std::uint8_t chip_id = 0;
      if (ReadChipId(channel, chip_id)) {
        if (found_chip_id != nullptr) *found_chip_id = chip_id;
        return 0;
      }
    }
    channel.device.reset();  // the node id keeps its last value
    channel.device_id.clear();
  }
  return 1;
}

int SfOpenCamera(DeviceList& devices, LibraryChannel& channel, std::uint32_t fallback_node) {
  std::vector<DeviceEntry> entries;
  if (devices.enumerate(entries) != 0 || entries.empty()) return kOpenNoDevices;

  for (const DeviceEntry& entry : entries) {
    if (!entry.display_name) continue;
    channel.device.reset();
    channel.device = openInto(devices, entry, channel.last_error);
    if (!channel.device) continue;
    // The first device that opens is the library's; nothing is read from it.
    channel.last_error = 0;
    channel.node_id = FindExtensionUnitNode(*channel.device).value_or(fallback_node);
    if (!entry.path) return kOpenPathUnreadable;
    channel.device_path = cutUtf8(*entry.path, kDevicePathMax);
    return kOpenOk;
  }
  // Nothing bound in this call: an empty channel means nothing could be
  // bound; a device still held from an earlier open means the list ran out.
  return channel.device ? kOpenNoDevices : kOpenNothingBound;
}

}  // namespace emberline::device
