#include "platform/linux/usb_descriptors.h"

#include <algorithm>

namespace emberline::platform::linux_uvc {

namespace {

constexpr std::size_t kDeviceDescriptorSize = 18;
constexpr std::size_t kConfigurationDescriptorSize = 9;
constexpr std::size_t kInterfaceDescriptorSize = 9;
constexpr std::size_t kExtensionUnitMinimumSize = 24;  // with no input pins and no control bytes

constexpr std::uint8_t kTypeDevice = 0x01;
constexpr std::uint8_t kTypeConfiguration = 0x02;
constexpr std::uint8_t kTypeInterface = 0x04;
constexpr std::uint8_t kTypeClassInterface = 0x24;  // CS_INTERFACE
constexpr std::uint8_t kClassVideo = 0x0E;
constexpr std::uint8_t kSubclassVideoControl = 0x01;
constexpr std::uint8_t kVcExtensionUnit = 0x06;  // subtype; other classes use 6 for other things

using Bytes = std::span<const std::uint8_t>;

struct Fault {
  DescriptorFault fault;
  std::size_t offset;
};

// The walk's position and what the last interface descriptor said.
struct WalkState {
  std::uint8_t configuration_value = 0;
  std::uint8_t interface_number = 0;
  bool in_video_control = false;
};

// `d` is one whole extension-unit descriptor (d.size() == bLength >= 3).
std::optional<DescriptorFault> parseExtensionUnit(Bytes d, const WalkState& state,
                                                  std::vector<ExtensionUnitDescriptor>& units) {
  if (d.size() < kExtensionUnitMinimumSize) return DescriptorFault::MalformedExtensionUnit;
  const std::size_t pins = d[21];
  const std::size_t control_size_at = 22 + pins;
  if (control_size_at >= d.size()) return DescriptorFault::MalformedExtensionUnit;
  const std::size_t control_size = d[control_size_at];
  // bmControls, then iExtension, must fit in bLength.
  if (control_size_at + 1 + control_size + 1 > d.size())
    return DescriptorFault::MalformedExtensionUnit;
  if (d[3] == 0) return DescriptorFault::MalformedExtensionUnit;  // unit ids start at 1

  ExtensionUnitDescriptor unit;
  unit.configuration_value = state.configuration_value;
  unit.interface_number = state.interface_number;
  unit.unit_id = d[3];
  std::copy_n(d.begin() + 4, unit.guid.bytes.size(), unit.guid.bytes.begin());
  unit.num_controls = d[20];
  const auto controls = d.subspan(control_size_at + 1, control_size);
  unit.controls.assign(controls.begin(), controls.end());
  units.push_back(std::move(unit));
  return std::nullopt;
}

// Where the walk of one configuration ended.
struct ConfigurationEnd {
  std::optional<Fault> fault;
  std::size_t next = 0;  // where the next configuration starts
  bool trimmed = false;
};

// Walks the descriptors of one configuration after its configuration
// descriptor: bytes [begin, declared_end) of `all`, or fewer when the data
// ends first or the next configuration starts inside (a trimmed one).
ConfigurationEnd walkConfiguration(Bytes all, std::size_t begin, std::size_t declared_end,
                                   WalkState& state, std::vector<ExtensionUnitDescriptor>& units) {
  const bool cut_by_data = declared_end > all.size();
  const std::size_t end = cut_by_data ? all.size() : declared_end;
  std::size_t at = begin;
  while (at < end) {
    if (end - at < 2) {
      if (cut_by_data) return {std::nullopt, all.size(), true};
      return {Fault{DescriptorFault::Truncated, at}};
    }
    const std::size_t length = all[at];
    const std::uint8_t type = all[at + 1];
    if (length < 2) return {Fault{DescriptorFault::ZeroLength, at}};
    if (type == kTypeConfiguration) {
      // The next configuration begins before this one said it would end.
      if (length >= kConfigurationDescriptorSize) return {std::nullopt, at, true};
      return {Fault{DescriptorFault::NestedConfiguration, at}};
    }
    if (length > end - at) {
      if (cut_by_data) return {std::nullopt, all.size(), true};
      return {Fault{DescriptorFault::LengthPastEnd, at}};
    }
    const Bytes d = all.subspan(at, length);

    if (type == kTypeInterface) {
      if (length < kInterfaceDescriptorSize) return {Fault{DescriptorFault::ShortInterface, at}};
      state.interface_number = d[2];
      state.in_video_control = d[5] == kClassVideo && d[6] == kSubclassVideoControl;
    } else if (type == kTypeClassInterface && state.in_video_control && length >= 3 &&
               d[2] == kVcExtensionUnit) {
      if (auto fault = parseExtensionUnit(d, state, units)) return {Fault{*fault, at}};
    }
    at += length;
  }
  return {std::nullopt, end, cut_by_data};
}

std::optional<Fault> walk(Bytes all, std::vector<ExtensionUnitDescriptor>& units, bool& trimmed) {
  if (all.size() < kDeviceDescriptorSize || all[1] != kTypeDevice) {
    return Fault{DescriptorFault::NoDeviceDescriptor, 0};
  }
  // sysfs writes the device descriptor as a fixed 18-byte structure, whatever
  // its bLength says.
  std::size_t at = kDeviceDescriptorSize;
  while (at < all.size()) {
    const std::size_t left = all.size() - at;
    if (left < kConfigurationDescriptorSize) return Fault{DescriptorFault::Truncated, at};
    const std::size_t length = all[at];
    if (all[at + 1] != kTypeConfiguration || length < kConfigurationDescriptorSize) {
      return Fault{DescriptorFault::NotAConfiguration, at};
    }
    const std::size_t total = all[at + 2] | (std::size_t{all[at + 3]} << 8);  // wTotalLength
    if (total < length) return Fault{DescriptorFault::NotAConfiguration, at};
    if (length > left) return Fault{DescriptorFault::LengthPastEnd, at};

    WalkState state;
    state.configuration_value = all[at + 5];
    const auto end = walkConfiguration(all, at + length, at + total, state, units);
    if (end.fault) return end.fault;
    trimmed = trimmed || end.trimmed;
    at = end.next;
  }
  return std::nullopt;
}

}  // namespace

DescriptorScan scanUsbDescriptors(std::span<const std::uint8_t> bytes) {
  DescriptorScan scan;
  if (auto fault = walk(bytes, scan.units, scan.trimmed)) {
    scan.fault = fault->fault;
    scan.fault_offset = fault->offset;
    scan.units.clear();
  }
  return scan;
}

std::string_view describeFault(DescriptorFault fault) {
  switch (fault) {
    case DescriptorFault::None: return "no fault";
    case DescriptorFault::NoDeviceDescriptor: return "they do not start with a device descriptor";
    case DescriptorFault::NotAConfiguration:
      return "a configuration does not start with a configuration descriptor";
    case DescriptorFault::Truncated: return "they end in the middle of a descriptor";
    case DescriptorFault::ZeroLength: return "a descriptor has a length below 2";
    case DescriptorFault::LengthPastEnd: return "a descriptor's length runs past the end";
    case DescriptorFault::NestedConfiguration:
      return "a configuration descriptor appears inside another configuration";
    case DescriptorFault::ShortInterface: return "an interface descriptor is too short";
    case DescriptorFault::MalformedExtensionUnit:
      return "an extension unit descriptor is malformed";
  }
  return "unknown fault";
}

std::optional<std::uint8_t> findExtensionUnit(const DescriptorScan& scan, const device::Guid& guid,
                                              std::optional<std::uint8_t> configuration_value,
                                              std::optional<std::uint8_t> interface_number) {
  for (const auto& unit : scan.units) {
    if (unit.guid != guid) continue;
    if (configuration_value && unit.configuration_value != *configuration_value) continue;
    if (interface_number && unit.interface_number != *interface_number) continue;
    return unit.unit_id;
  }
  return std::nullopt;
}

}  // namespace emberline::platform::linux_uvc
