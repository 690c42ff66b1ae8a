#include "frontend/camera_probe.h"

#include <cstdio>

#include "core/device/device_filter.h"
#include "core/device/discovery.h"
#include "core/device/protocol.h"

namespace emberline::frontend {

std::size_t ProbeResult::answering() const {
  std::size_t count = 0;
  for (const auto& d : devices) count += d.answers ? 1 : 0;
  return count;
}

ProbeResult probeDevices(device::DeviceList& devices) {
  ProbeResult result;
  std::vector<device::DeviceEntry> entries;
  result.enumerate_error = devices.enumerate(entries);
  if (result.enumerate_error != 0) return result;

  for (std::size_t i = 0; i < entries.size(); ++i) {
    ProbedDevice probed;
    probed.index = i;
    probed.entry = entries[i];
    // Discovery on a one-entry list applies exactly its own rules (node
    // search, the two attempts) to this device and nothing else.
    device::SingleDeviceList only(devices, entries[i].id);
    device::ExtensionUnitChannel channel;
    if (device::DiscoverCamera(only, channel, [](std::string_view) {}) == 0) {
      probed.answers = true;
      probed.node_id = channel.node_id;
      std::uint8_t chip = 0;
      if (device::ReadChipId(channel, chip)) probed.chip_id = chip;
    } else {
      // Say why: it did not even open, or its unit could not be looked for.
      int error = 0;
      const auto opened = devices.open(entries[i], &error);
      if (!opened) {
        probed.open_error = error != 0 ? error : -ENODEV;
        probed.open_detail = devices.failureDetail();
      } else if (!opened->findExtensionUnitNode(device::kExtensionUnitPropertySet)) {
        probed.unit_problem = opened->unitLookupProblem();
      }
    }
    result.devices.push_back(std::move(probed));
  }
  return result;
}

CameraChoice chooseCamera(const ProbeResult& probe) {
  CameraChoice choice;
  for (const auto& d : probe.devices) {
    if (!d.answers) continue;
    if (choice.kind == CameraChoice::Kind::One) {
      choice.kind = CameraChoice::Kind::Several;
      choice.id.clear();
      return choice;
    }
    choice.kind = CameraChoice::Kind::One;
    choice.id = d.entry.id;
  }
  return choice;
}

std::string describeAnswering(const ProbeResult& probe) {
  std::string text;
  for (const auto& d : probe.devices) {
    if (!d.answers) continue;
    char chip[16] = "?";
    if (d.chip_id) std::snprintf(chip, sizeof chip, "0x%02X", static_cast<unsigned>(*d.chip_id));
    text += "  " + std::to_string(d.index) + "  " + d.entry.path.value_or(d.entry.id) + "  " +
            d.entry.display_name.value_or("(no name)") + "  chip " + chip + "\n";
  }
  return text;
}

}  // namespace emberline::frontend
