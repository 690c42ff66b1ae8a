#include "platform/linux/usb_descriptors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "hex_fixture.h"

namespace emberline::platform::linux_uvc {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::loadHexFixture;
constexpr device::Guid kVendor = device::kExtensionUnitPropertySet;
constexpr const char* kFixtures[] = {"webcam_without_vendor_unit.hex",
                                     "camera_several_extension_units.hex",
                                     "composite_with_audio.hex", "two_configurations.hex"};

struct FixtureCase {
  const char* file;
  std::optional<std::uint8_t> configuration, interface_number, vendor_unit;
  Bytes all_units;  // every extension unit, in descriptor order
};
void PrintTo(const FixtureCase& c, std::ostream* os) {
  *os << c.file;
}

class RealDescriptors : public ::testing::TestWithParam<FixtureCase> {};

// Streaming interfaces (MJPEG format) and Audio Control (feature unit) use
// subtype 6 too: only Video Control's subtype 6 is an extension unit.
TEST_P(RealDescriptors, FindTheVendorUnitOfTheRightConfigurationAndInterface) {
  const auto& c = GetParam();
  const auto scan = scanUsbDescriptors(loadHexFixture(c.file));
  ASSERT_TRUE(scan.ok()) << describeFault(scan.fault) << " at " << scan.fault_offset;
  Bytes ids;
  for (const auto& unit : scan.units) ids.push_back(unit.unit_id);
  EXPECT_EQ(ids, c.all_units);
  EXPECT_EQ(findExtensionUnit(scan, kVendor, c.configuration, c.interface_number), c.vendor_unit);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, RealDescriptors,
    ::testing::Values(FixtureCase{kFixtures[0], 1, 0, std::nullopt, {4}},
                      FixtureCase{kFixtures[1], 1, 0, 6, {4, 5, 6}},
                      FixtureCase{kFixtures[1], 1, 1, std::nullopt, {4, 5, 6}},
                      FixtureCase{kFixtures[2], 1, 0, 3, {3}},
                      FixtureCase{kFixtures[3], 1, 0, 3, {3, 5, 7}},
                      FixtureCase{kFixtures[3], 2, 0, 7, {3, 5, 7}},
                      FixtureCase{kFixtures[3], std::nullopt, std::nullopt, 3, {3, 5, 7}}));

TEST(RealDescriptorsDetail, ControlsAreReadPastEveryInputPin) {
  const auto scan = scanUsbDescriptors(loadHexFixture(kFixtures[1]));
  ASSERT_EQ(scan.units.size(), 3u);
  EXPECT_EQ(scan.units[1].controls, (Bytes{0xFF, 0x0F, 0x00}));  // two input pins
  EXPECT_EQ(scan.units[2].controls, (Bytes{0x1F, 0x00}));
}

// A device descriptor and one configuration: a Video Control interface and an
// extension unit with one input pin and two control bytes.
constexpr std::size_t kConfigAt = 18, kUnitAt = 36;
Bytes wellFormed() {
  Bytes d = {0x12, 0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40, 0x6B, 0x1D, 0x01, 0x0A, 0x00, 0x01,
             0x01, 0x02, 0x03, 0x01, 0x09, 0x02, 45,   0x00, 0x01, 0x01, 0x00, 0x80, 0xFA, 0x09,
             0x04, 0x00, 0x00, 0x00, 0x0E, 0x01, 0x00, 0x00, 27,   0x24, 0x06, 0x03};
  d.insert(d.end(), kVendor.bytes.begin(), kVendor.bytes.end());
  d.insert(d.end(), {5, 1, 2, 2, 0x1F, 0x00,
                     0});  // bNumControls, pins, source, bControlSize, bmControls, iExtension
  return d;
}

struct MalformedCase {
  const char* name;
  std::function<void(Bytes&)> mutate;
  DescriptorFault fault;
  std::size_t offset;
};

TEST(MalformedDescriptors, EachGivesItsFaultWhereItIsAndNoUnits) {
  using F = DescriptorFault;
  const std::vector<MalformedCase> cases = {
      {"empty", [](Bytes& d) { d.clear(); }, F::NoDeviceDescriptor, 0},
      {"cut in a configuration descriptor", [](Bytes& d) { d.resize(kConfigAt + 5); }, F::Truncated,
       kConfigAt},
      {"wTotalLength below bLength", [](Bytes& d) { d[kConfigAt + 2] = 4; }, F::NotAConfiguration,
       kConfigAt},
      {"bLength 0", [](Bytes& d) { d[kUnitAt] = 0; }, F::ZeroLength, kUnitAt},
      {"one byte left in the configuration",
       [](Bytes& d) {
         d.resize(kUnitAt + 1);
         d[kConfigAt + 2] = kUnitAt + 1 - kConfigAt;
       },
       F::Truncated, kUnitAt},
      {"bLength past the configuration", [](Bytes& d) { d[kUnitAt] += 1; }, F::LengthPastEnd,
       kUnitAt},
      {"configuration descriptor too short to start another",
       [](Bytes& d) {
         d[kUnitAt + 1] = 0x02;
         d[kUnitAt] = 5;
       },
       F::NestedConfiguration, kUnitAt},
      {"short interface",
       [](Bytes& d) {
         d[27] = 5;
         d.erase(d.begin() + 32, d.end());
         d[kConfigAt + 2] = 14;
       },
       F::ShortInterface, 27},
      {"bNrInPins points past the descriptor", [](Bytes& d) { d[kUnitAt + 21] = 5; },
       F::MalformedExtensionUnit, kUnitAt},
      {"bControlSize points past the descriptor", [](Bytes& d) { d[kUnitAt + 23] = 3; },
       F::MalformedExtensionUnit, kUnitAt},
      {"unit id 0", [](Bytes& d) { d[kUnitAt + 3] = 0; }, F::MalformedExtensionUnit, kUnitAt},
  };
  ASSERT_TRUE(scanUsbDescriptors(wellFormed()).ok());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = wellFormed();
    c.mutate(bytes);
    const auto scan = scanUsbDescriptors(bytes);
    EXPECT_EQ(scan.fault, c.fault) << describeFault(scan.fault);
    EXPECT_EQ(scan.fault_offset, c.offset);
    EXPECT_TRUE(scan.units.empty());
  }
}

std::vector<std::uint8_t> unitIds(const DescriptorScan& scan) {
  Bytes ids;
  for (const auto& unit : scan.units) ids.push_back(unit.unit_id);
  return ids;
}

// Where the vendor unit's descriptor starts in a set (its GUID follows 4 bytes in).
std::size_t vendorUnitAt(const Bytes& set) {
  const auto guid = std::search(set.begin(), set.end(), kVendor.bytes.begin(), kVendor.bytes.end());
  return static_cast<std::size_t>(guid - set.begin()) - 4;
}

// A configuration the kernel kept shorter than its wTotalLength is scanned as
// far as it goes: cameras of the family with a trimmed set still show their unit.
TEST(TrimmedConfigurations, AreScannedAsFarAsTheyGo) {
  const Bytes audio = loadHexFixture(kFixtures[2]);
  const std::size_t unit = vendorUnitAt(audio), unit_end = unit + audio[unit];
  const Bytes one = wellFormed();
  Bytes two = one;
  two[kConfigAt + 2] = 200;  // says more than it holds: the next configuration starts inside
  Bytes second(one.begin() + kConfigAt, one.end());
  second[5] = 2;              // bConfigurationValue
  second[kUnitAt - kConfigAt + 3] = 4;  // unit id
  two.insert(two.end(), second.begin(), second.end());
  struct Case { const char* what; Bytes bytes; Bytes units; };
  const Case cases[] = {
      {"cut right after the vendor unit", Bytes(audio.begin(), audio.begin() + unit_end), {3}},
      {"cut inside the vendor unit", Bytes(audio.begin(), audio.begin() + unit_end - 1), {}},
      {"cut in the last byte", Bytes(one.begin(), one.end() - 1), {}},
      {"the next configuration inside the declared length", two, {3, 4}},
  };
  for (const auto& c : cases) {
    const auto scan = scanUsbDescriptors(c.bytes);
    EXPECT_TRUE(scan.ok()) << c.what << ": " << describeFault(scan.fault);
    EXPECT_TRUE(scan.trimmed) << c.what;
    EXPECT_EQ(unitIds(scan), c.units) << c.what;
  }
  const auto kept = scanUsbDescriptors(Bytes(audio.begin(), audio.begin() + unit_end));
  EXPECT_EQ(findExtensionUnit(kept, kVendor, 1, 0), 3);
  EXPECT_FALSE(scanUsbDescriptors(audio).trimmed);
}

// Every cut of a real set scans without fault and finds the units before the
// cut, unless it falls inside a configuration descriptor itself.
TEST(TrimmedConfigurations, EveryCutOfARealSetKeepsTheUnitsBeforeIt) {
  for (const char* file : kFixtures) {
    const Bytes full = loadHexFixture(file);
    const Bytes all_units = unitIds(scanUsbDescriptors(full));
    std::set<std::size_t> headers;  // configuration descriptors start here
    for (std::size_t at = 18; at + 4 <= full.size(); at += full[at + 2] | full[at + 3] << 8) headers.insert(at);
    for (std::size_t at = 18; at < full.size(); ++at) {
      const auto scan = scanUsbDescriptors(std::span(full).first(at));
      const auto header = headers.upper_bound(at);
      const bool in_header = header != headers.begin() && at < *std::prev(header) + 9 && !headers.contains(at);
      EXPECT_EQ(scan.ok(), !in_header) << file << " cut at " << at;
      if (!scan.ok()) continue;
      EXPECT_EQ(scan.trimmed, !headers.contains(at)) << file << " cut at " << at;
      const Bytes ids = unitIds(scan);
      EXPECT_TRUE(std::equal(ids.begin(), ids.end(), all_units.begin())) << file << " cut at " << at;
    }
  }
}

}  // namespace
}  // namespace emberline::platform::linux_uvc
