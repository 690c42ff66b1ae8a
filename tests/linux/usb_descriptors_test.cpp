#include "platform/linux/usb_descriptors.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "hex_fixture.h"

namespace emberline::platform::linux_uvc {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::loadHexFixture;

constexpr device::Guid kVendor = device::kExtensionUnitPropertySet;

// ---- realistic descriptor sets --------------------------------------------

struct FixtureCase {
  const char* file;
  std::optional<std::uint8_t> configuration;
  std::optional<std::uint8_t> interface_number;
  std::optional<std::uint8_t> vendor_unit;
  std::vector<std::uint8_t> all_units;  // every extension unit, in order
};

void PrintTo(const FixtureCase& c, std::ostream* os) {
  *os << c.file << " configuration " << (c.configuration ? int{*c.configuration} : -1);
}

class RealDescriptors : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(RealDescriptors, FindsTheVendorUnitAndOnlyVideoControlExtensionUnits) {
  const auto& c = GetParam();
  const auto scan = scanUsbDescriptors(loadHexFixture(c.file));
  ASSERT_TRUE(scan.ok()) << describeFault(scan.fault) << " at " << scan.fault_offset;
  std::vector<std::uint8_t> ids;
  for (const auto& unit : scan.units) ids.push_back(unit.unit_id);
  EXPECT_EQ(ids, c.all_units);
  EXPECT_EQ(findExtensionUnit(scan, kVendor, c.configuration, c.interface_number), c.vendor_unit);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, RealDescriptors,
    ::testing::Values(
        // The MJPEG format descriptor of its streaming interface has subtype 6 too.
        FixtureCase{"webcam_without_vendor_unit.hex", 1, 0, std::nullopt, {4}},
        FixtureCase{"camera_several_extension_units.hex", 1, 0, 6, {4, 5, 6}},
        FixtureCase{"camera_several_extension_units.hex", std::nullopt, std::nullopt, 6, {4, 5, 6}},
        // The vendor unit belongs to interface 0, not to another interface.
        FixtureCase{"camera_several_extension_units.hex", 1, 1, std::nullopt, {4, 5, 6}},
        // The audio feature unit (subtype 6 in Audio Control) is not an extension unit.
        FixtureCase{"composite_with_audio.hex", 1, 0, 3, {3}},
        FixtureCase{"two_configurations.hex", 1, 0, 3, {3, 5, 7}},
        FixtureCase{"two_configurations.hex", 2, 0, 7, {3, 5, 7}},
        FixtureCase{"two_configurations.hex", 3, 0, std::nullopt, {3, 5, 7}}));

TEST(RealDescriptorsDetail, UnitsCarryTheirConfigurationGuidAndControlsPastTheInputPins) {
  const auto scan = scanUsbDescriptors(loadHexFixture("camera_several_extension_units.hex"));
  ASSERT_EQ(scan.units.size(), 3u);
  const auto& two_pins = scan.units[1];
  EXPECT_EQ(two_pins.num_controls, 12);
  EXPECT_EQ(two_pins.controls, (Bytes{0xFF, 0x0F, 0x00}));
  const auto& vendor = scan.units[2];
  EXPECT_EQ(vendor.guid, kVendor);
  EXPECT_EQ(vendor.controls, (Bytes{0x1F, 0x00}));

  const auto two = scanUsbDescriptors(loadHexFixture("two_configurations.hex"));
  ASSERT_EQ(two.units.size(), 3u);
  EXPECT_EQ(two.units[0].configuration_value, 1);
  EXPECT_EQ(two.units[2].configuration_value, 2);
}

// ---- malformed descriptor sets --------------------------------------------

// A device descriptor and one configuration holding `body`, with a correct
// wTotalLength.
Bytes device(const std::vector<Bytes>& body) {
  Bytes out = {0x12, 0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40, 0x6B, 0x1D,
               0x01, 0x0A, 0x00, 0x01, 0x01, 0x02, 0x03, 0x01};
  std::size_t total = 9;
  for (const auto& d : body) total += d.size();
  Bytes config = {0x09, 0x02, static_cast<std::uint8_t>(total), static_cast<std::uint8_t>(total >> 8),
                  0x01, 0x01, 0x00, 0x80, 0xFA};
  out.insert(out.end(), config.begin(), config.end());
  for (const auto& d : body) out.insert(out.end(), d.begin(), d.end());
  return out;
}

const Bytes kVcInterface = {0x09, 0x04, 0x00, 0x00, 0x00, 0x0E, 0x01, 0x00, 0x00};

// An extension unit with `pins` input pins and `control_size` control bytes.
Bytes extensionUnit(std::uint8_t id, std::uint8_t pins, std::uint8_t control_size) {
  Bytes d = {0, 0x24, 0x06, id};
  d.insert(d.end(), kVendor.bytes.begin(), kVendor.bytes.end());
  d.push_back(5);
  d.push_back(pins);
  for (int i = 0; i < pins; ++i) d.push_back(static_cast<std::uint8_t>(i + 1));
  d.push_back(control_size);
  for (int i = 0; i < control_size; ++i) d.push_back(0x1F);
  d.push_back(0);  // iExtension
  d[0] = static_cast<std::uint8_t>(d.size());
  return d;
}

struct MalformedCase {
  const char* name;
  Bytes bytes;
  DescriptorFault fault;
  std::size_t offset;
};

std::vector<MalformedCase> malformedCases() {
  const std::size_t config_at = 18;
  const std::size_t body_at = 27;
  const std::size_t unit_at = body_at + kVcInterface.size();
  std::vector<MalformedCase> cases;

  cases.push_back({"empty", {}, DescriptorFault::NoDeviceDescriptor, 0});
  Bytes short_device = device({});
  short_device.resize(17);
  cases.push_back({"short device descriptor", short_device, DescriptorFault::NoDeviceDescriptor, 0});
  Bytes wrong_first = device({});
  wrong_first[1] = 0x02;
  cases.push_back({"first is not a device descriptor", wrong_first, DescriptorFault::NoDeviceDescriptor, 0});

  Bytes cut_config = device({kVcInterface});
  cut_config.resize(config_at + 5);
  cases.push_back({"cut in a configuration descriptor", cut_config, DescriptorFault::Truncated, config_at});
  Bytes cut_body = device({kVcInterface, extensionUnit(3, 1, 1)});
  cut_body.pop_back();
  cases.push_back({"cut in the last descriptor", cut_body, DescriptorFault::LengthPastEnd, config_at});
  Bytes long_total = device({kVcInterface});
  long_total[config_at + 2] += 1;
  cases.push_back({"wTotalLength past the end", long_total, DescriptorFault::LengthPastEnd, config_at});
  Bytes small_total = device({kVcInterface});
  small_total[config_at + 2] = 4;
  cases.push_back({"wTotalLength below bLength", small_total, DescriptorFault::NotAConfiguration, config_at});
  Bytes not_config = device({kVcInterface});
  not_config[config_at + 1] = 0x04;
  cases.push_back({"configuration of another type", not_config, DescriptorFault::NotAConfiguration, config_at});

  Bytes zero = device({kVcInterface, extensionUnit(3, 1, 1)});
  zero[unit_at] = 0;
  cases.push_back({"bLength 0", zero, DescriptorFault::ZeroLength, unit_at});
  Bytes one = device({kVcInterface, extensionUnit(3, 1, 1)});
  one[unit_at] = 1;
  cases.push_back({"bLength 1", one, DescriptorFault::ZeroLength, unit_at});
  // A header of one byte left at the end of the configuration.
  Bytes dangling = device({kVcInterface, Bytes{0x02}});
  cases.push_back({"one byte left", dangling, DescriptorFault::Truncated, unit_at});
  Bytes past_config = device({kVcInterface, extensionUnit(3, 1, 1)});
  past_config[unit_at] += 1;
  cases.push_back({"bLength past the configuration", past_config, DescriptorFault::LengthPastEnd, unit_at});

  cases.push_back({"nested configuration", device({kVcInterface, Bytes{0x09, 0x02, 0x09, 0x00, 0x00, 0x02, 0x00, 0x80, 0xFA}}),
                   DescriptorFault::NestedConfiguration, unit_at});
  cases.push_back({"short interface", device({Bytes{0x05, 0x04, 0x00, 0x00, 0x00}}),
                   DescriptorFault::ShortInterface, body_at});

  Bytes pins_past = device({kVcInterface, extensionUnit(3, 1, 2)});
  pins_past[unit_at + 21] = 200;
  cases.push_back({"bNrInPins past the descriptor", pins_past, DescriptorFault::MalformedExtensionUnit, unit_at});
  Bytes pins_to_end = device({kVcInterface, extensionUnit(3, 1, 2)});
  pins_to_end[unit_at + 21] = 5;  // bControlSize would be the byte after the descriptor
  cases.push_back({"bNrInPins leaves no bControlSize", pins_to_end, DescriptorFault::MalformedExtensionUnit, unit_at});
  Bytes size_past = device({kVcInterface, extensionUnit(3, 1, 2)});
  size_past[unit_at + 23] = 200;
  cases.push_back({"bControlSize past the descriptor", size_past, DescriptorFault::MalformedExtensionUnit, unit_at});
  Bytes no_string = device({kVcInterface, extensionUnit(3, 1, 2)});
  no_string[unit_at + 23] = 3;  // bmControls would take the iExtension byte
  cases.push_back({"bControlSize leaves no iExtension", no_string, DescriptorFault::MalformedExtensionUnit, unit_at});
  Bytes short_unit = extensionUnit(3, 0, 0);
  short_unit.pop_back();
  short_unit[0] = 23;
  cases.push_back({"extension unit below 24 bytes", device({kVcInterface, short_unit}),
                   DescriptorFault::MalformedExtensionUnit, unit_at});
  cases.push_back({"unit id 0", device({kVcInterface, extensionUnit(0, 1, 1)}),
                   DescriptorFault::MalformedExtensionUnit, unit_at});
  return cases;
}

TEST(MalformedDescriptors, EachGivesItsFaultAtTheDescriptorAndNoUnits) {
  for (const auto& c : malformedCases()) {
    SCOPED_TRACE(c.name);
    const auto scan = scanUsbDescriptors(c.bytes);
    EXPECT_EQ(scan.fault, c.fault) << describeFault(scan.fault);
    EXPECT_EQ(scan.fault_offset, c.offset);
    EXPECT_TRUE(scan.units.empty());
  }
}

TEST(MalformedDescriptors, BoundaryShapesAreAccepted) {
  // The smallest extension unit (no pins, no control bytes) and a device with
  // no configuration at all are well formed.
  const auto minimal = scanUsbDescriptors(device({kVcInterface, extensionUnit(9, 0, 0)}));
  ASSERT_TRUE(minimal.ok());
  ASSERT_EQ(minimal.units.size(), 1u);
  EXPECT_EQ(minimal.units[0].unit_id, 9);
  EXPECT_TRUE(minimal.units[0].controls.empty());

  Bytes bare = device({});
  bare.resize(18);
  EXPECT_TRUE(scanUsbDescriptors(bare).ok());
}

// Every prefix and every single-byte corruption of the real sets: a clear
// answer each time (run under AddressSanitizer, no read out of bounds).
TEST(MalformedDescriptors, PrefixesAndCorruptionsOfRealSetsAlwaysAnswer) {
  for (const char* file : {"webcam_without_vendor_unit.hex", "camera_several_extension_units.hex",
                           "composite_with_audio.hex", "two_configurations.hex"}) {
    SCOPED_TRACE(file);
    const Bytes full = loadHexFixture(file);
    for (std::size_t size = 0; size < full.size(); ++size) {
      const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
      const auto scan = scanUsbDescriptors(prefix);
      if (!scan.ok()) {
        EXPECT_TRUE(scan.units.empty());
      }
      EXPECT_LE(scan.fault_offset, size);
    }
    for (std::size_t at = 0; at < full.size(); ++at) {
      for (const std::uint8_t value : {0x00, 0x01, 0x06, 0x24, 0xFF}) {
        Bytes corrupt = full;
        corrupt[at] = value;
        const auto scan = scanUsbDescriptors(corrupt);
        if (!scan.ok()) {
        EXPECT_TRUE(scan.units.empty());
      }
      }
    }
  }
}

}  // namespace
}  // namespace emberline::platform::linux_uvc
