// The kernel-streaming transport against fake COM objects: what goes into each
// KsProperty and IKsPropertySet call, the topology search, and that every
// reference taken is given back.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/device/discovery.h"
#include "core/device/guid.h"
#include "core/device/protocol.h"
#include "fake_com.h"
#include "platform/windows/hresult_errors.h"
#include "platform/windows/ks_capture_device.h"
#include "platform/windows/windows_device_list.h"

namespace emberline {
namespace {

using platform::windows::ComPtr;
using platform::windows::KsCaptureDevice;

constexpr GUID kOtherNodeType = {0xDFF229E1, 0xF70F, 0x11D0, {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

// The vendor property set as stored in memory, transcribed from the protocol.
constexpr std::array<std::uint8_t, 16> kVendorSetBytes = {0x70, 0x33, 0xF0, 0x28, 0x11, 0x63, 0x2E, 0x4A,
                                                          0xBA, 0x2C, 0x68, 0x90, 0xEB, 0x33, 0x40, 0x16};

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

std::uint32_t word(const std::vector<std::uint8_t>& data, std::size_t offset) {
  return data[offset] | data[offset + 1] << 8 | data[offset + 2] << 16 | static_cast<std::uint32_t>(data[offset + 3]) << 24;
}

// A KSP_NODE as 32 bytes: set, id, flags, node id, reserved.
std::vector<std::uint8_t> kspNode(std::uint32_t id, std::uint32_t flags, std::uint32_t node) {
  std::vector<std::uint8_t> out(kVendorSetBytes.begin(), kVendorSetBytes.end());
  for (std::uint32_t value : {id, flags, node, 0u})
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
  return out;
}

class KsTransportTest : public ::testing::Test {
 protected:
  // The device under test holds the filter; the test's objects must outlive it.
  std::shared_ptr<KsCaptureDevice> makeDevice() {
    filter.AddRef();  // the reference the device list's BindToObject would hand over
    return std::make_shared<KsCaptureDevice>(ComPtr<IBaseFilter>::adopt(&filter), "Test Camera");
  }

  void TearDown() override {
    for (const auto* object : std::initializer_list<const test::FakeObject<IKsControl>*>{&control, &node_a, &node_b, &node_c})
      EXPECT_EQ(object->references(), 0) << "an IKsControl reference was not released";
    EXPECT_EQ(topology.references(), 0);
    EXPECT_EQ(properties.references(), 0);
    EXPECT_EQ(filter.references(), 0);
  }

  test::FakeFilter filter;
  test::FakeKsControl control;
  test::FakeTopology topology;
  test::FakePropertySet properties;
  test::FakeKsControl node_a, node_b, node_c;
};

TEST_F(KsTransportTest, ChipIdIsOneSetAndOneGetOnTheNodeByteForByte) {
  filter.control = &control;
  filter.properties = &properties;
  control.answers = {{S_OK, {}}, {S_OK, bytes({0x00, 0x00, 0x33, 0x00})}};
  {
    device::ExtensionUnitChannel channel;
    channel.device = makeDevice();
    channel.node_id = 4;
    std::uint8_t chip = 0;
    ASSERT_TRUE(device::ReadChipId(channel, chip));
    EXPECT_EQ(chip, 0x33);
  }
  ASSERT_EQ(control.calls.size(), 2u);
  EXPECT_EQ(control.calls[0].property, kspNode(1, 0x10000002, 4));
  EXPECT_EQ(control.calls[0].payload, bytes({0x1F, 0x10, 0x00, 0xFF}));
  EXPECT_EQ(control.calls[1].property, kspNode(1, 0x10000001, 4));
  EXPECT_EQ(control.calls[1].payload, bytes({0, 0, 0, 0}));
  EXPECT_TRUE(properties.calls.empty());
}

TEST_F(KsTransportTest, FlashBlocksCarryTheirAddressBankAndData) {
  filter.control = &control;
  control.answers = {{S_OK, {}}, {S_OK, bytes({0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8})}};
  {
    device::ExtensionUnitChannel channel;
    channel.device = makeDevice();
    channel.node_id = 2;
    std::array<std::uint8_t, 8> block{};
    ASSERT_TRUE(device::ReadFlashBlock(channel, 1, 0x00, 0x00, block));
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.end()), bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    const std::array<std::uint8_t, 8> data = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};
    ASSERT_TRUE(device::WriteFlashBlock(channel, 1, data, 0xFF, 0xF0));
  }
  ASSERT_EQ(control.calls.size(), 3u);
  EXPECT_EQ(control.calls[0].property, kspNode(3, 0x10000002, 2));
  EXPECT_EQ(control.calls[0].payload, bytes({0x00, 0x00, 0x98, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(control.calls[1].property, kspNode(3, 0x10000001, 2));
  EXPECT_EQ(control.calls[1].data_length, 11u);
  EXPECT_EQ(control.calls[2].payload, bytes({0xF0, 0xFF, 0x18, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}));
}

TEST_F(KsTransportTest, OnlySOkIsSuccessAndFailuresKeepTheirHresult) {
  filter.control = &control;
  const auto device = makeDevice();
  std::array<std::uint8_t, 4> payload{};
  const struct {
    HRESULT result;
    int expected;
  } cases[] = {
      // The table itself is tested in device_lock_test.cpp.
      {S_OK, 0},
      {S_FALSE, -EIO},
      {HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED), -ENODEV},
      {E_FAIL, -EIO},
  };
  for (const auto& c : cases) {
    control.answers = {{c.result, {}}};
    device::ControlRequest request;
    request.selector = 1;
    request.flags = device::kFlagsGet;
    request.node_id = 2;
    request.payload = payload;
    EXPECT_EQ(device->control(request), c.expected) << std::hex << c.result;
    if (c.result != S_OK) {
      EXPECT_EQ(device->lastFailure(), c.result);
    }
  }
  EXPECT_EQ(device->failureDetail().rfind("Test Camera: HRESULT 0x80004005", 0), 0u) << device->failureDetail();
  const auto text = platform::windows::describeError(-ENODEV, HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED),
                                                     "USB Camera");
  EXPECT_NE(text.find("USB Camera"), std::string::npos) << text;
  EXPECT_NE(text.find("HRESULT 0x8007048F"), std::string::npos) << text;
}

TEST_F(KsTransportTest, FindsTheFirstDeviceSpecificNodeThatAcceptsTheVendorSet) {
  filter.topology = &topology;
  node_a.answers = {{HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND), {}}};  // another vendor's unit
  node_b.answers = {{S_FALSE, {}}};  // any success code means supported
  node_c.answers = {{S_OK, {}}};
  topology.nodes = {{kOtherNodeType, &node_c},
                    {test::kNodeTypeDevSpecific, &node_a},
                    {test::kNodeTypeDevSpecific, nullptr},  // no instance: skipped
                    {kOtherNodeType, &node_c},
                    {test::kNodeTypeDevSpecific, &node_b},
                    {test::kNodeTypeDevSpecific, &node_c}};
  EXPECT_EQ(makeDevice()->findExtensionUnitNode(device::kExtensionUnitPropertySet), 4u);

  ASSERT_EQ(node_a.calls.size(), 1u);
  EXPECT_EQ(node_a.calls[0].property, kspNode(0, 0x10000100, 1));
  EXPECT_TRUE(node_a.calls[0].data_null);
  EXPECT_EQ(node_a.calls[0].data_length, 0u);
  ASSERT_EQ(node_b.calls.size(), 1u);
  EXPECT_EQ(node_b.calls[0].property, kspNode(0, 0x10000100, 4));
  EXPECT_TRUE(node_c.calls.empty()) << "nodes of other types, or after the one found, are not probed";
}

TEST_F(KsTransportTest, NoUnitFoundSaysWhyNamingTheCamera) {
  const auto device = makeDevice();
  EXPECT_EQ(device->findExtensionUnitNode(device::kExtensionUnitPropertySet), std::nullopt);
  EXPECT_NE(device->unitLookupProblem().find("Test Camera"), std::string::npos);
  EXPECT_NE(device->unitLookupProblem().find("HRESULT 0x80004002"), std::string::npos)
      << device->unitLookupProblem();  // E_NOINTERFACE: no topology

  filter.topology = &topology;
  node_a.answers = {{E_FAIL, {}}};
  topology.nodes = {{test::kNodeTypeDevSpecific, &node_a}};
  EXPECT_EQ(device->findExtensionUnitNode(device::kExtensionUnitPropertySet), std::nullopt);
  EXPECT_NE(device->unitLookupProblem().find("no extension unit"), std::string::npos);
}

TEST_F(KsTransportTest, AsksAControlsLengthWithAnEmptyGetAndDescribesTheTopology) {
  filter.control = &control;
  control.answers = {{HRESULT_FROM_WIN32(ERROR_MORE_DATA), std::vector<std::uint8_t>(12)},
                     {HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND), {}}};
  const auto device = makeDevice();
  std::size_t length = 0;
  ASSERT_EQ(device->controlLength(4, 3, length), 0);
  EXPECT_EQ(length, 12u);
  EXPECT_EQ(device->controlLength(4, 9, length), -ENOPROTOOPT);
  ASSERT_EQ(control.calls.size(), 2u);
  EXPECT_EQ(control.calls[0].property, kspNode(3, 0x10000001, 4));
  EXPECT_TRUE(control.calls[0].data_null);
  EXPECT_EQ(control.calls[0].data_length, 0u);

  std::string problem;
  EXPECT_TRUE(device->topology(&problem).empty());
  EXPECT_NE(problem.find("Test Camera does not describe its kernel-streaming topology"), std::string::npos) << problem;
  filter.topology = &topology;
  topology.nodes = {{kOtherNodeType, nullptr}, {KSNODETYPE_DEV_SPECIFIC, nullptr}};
  const auto nodes = device->topology(&problem);
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(nodes[0].type, "{DFF229E1-F70F-11D0-B917-00A0C9223196}");
  EXPECT_EQ(nodes[1].index, 1u);
  EXPECT_EQ(nodes[1].type, "{941C7AC0-C559-11D0-8A2B-00A0C9255AC1}");  // KSNODETYPE_DEV_SPECIFIC
}

TEST_F(KsTransportTest, ChipIdFallsBackToDriverSetAThenB) {
  filter.control = &control;
  filter.properties = &properties;
  control.answers = {{E_FAIL, {}}};  // the selector-1 SET is refused
  const GUID set_b = platform::windows::toWindowsGuid(device::kDriverPropertySetB);
  properties.answer = [&](const test::PropertySetCall& call, std::uint8_t* data) {
    if (!IsEqualGUID(call.property_set, set_b)) return HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
    if (!call.set) data[28] = 0x5A, data[29] = 0x12;
    return S_OK;
  };
  {
    device::ExtensionUnitChannel channel;
    channel.device = makeDevice();
    channel.node_id = 1;
    std::uint8_t chip = 0;
    ASSERT_TRUE(device::ReadChipId(channel, chip));
    EXPECT_EQ(chip, 0x5A);
  }
  ASSERT_EQ(properties.calls.size(), 4u);
  const GUID set_a = platform::windows::toWindowsGuid(device::kDriverPropertySetA);
  const std::pair<bool, GUID> order[] = {{true, set_a}, {true, set_b}, {false, set_a}, {false, set_b}};
  for (std::size_t i = 0; i < 4; ++i) {
    const auto& call = properties.calls[i];
    EXPECT_EQ(call.set, order[i].first) << i;
    EXPECT_TRUE(IsEqualGUID(call.property_set, order[i].second)) << i;
    EXPECT_EQ(call.id, 0u);
    ASSERT_EQ(call.instance.size(), 40u);
    EXPECT_EQ(call.instance, call.data) << "the record is both instance and property data";
    EXPECT_EQ(word(call.data, 20), call.set ? 2u : 1u);
    EXPECT_EQ(word(call.data, 24), call.set ? 0x101Fu : 0u);
  }
}

TEST(WindowsDeviceListTest, WithoutTheSystemEnumeratorTheListIsUnavailable) {
  platform::windows::WindowsDeviceList list(
      [](ComPtr<ICreateDevEnum>&) { return REGDB_E_CLASSNOTREG; });
  std::vector<device::DeviceEntry> entries{{"stale", {}, {}}};
  EXPECT_EQ(list.enumerate(entries), -ENODEV);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(list.lastFailure(), REGDB_E_CLASSNOTREG);

  device::ExtensionUnitChannel channel;
  std::string said;
  EXPECT_EQ(device::DiscoverCamera(list, channel, [&](std::string_view line) { said += line; }), 1);
  EXPECT_EQ(said, "No devices found in the device list.");
}

// The real system device enumerator. Under Wine (and on a machine without a
// camera) the video-input category is empty.
TEST(WindowsDeviceListTest, RealEnumeratorWithoutCamerasListsNothing) {
  platform::windows::WindowsDeviceList list;
  std::vector<device::DeviceEntry> entries;
  ASSERT_EQ(list.enumerate(entries), 0);
  if (!entries.empty()) GTEST_SKIP() << "this machine has a camera: " << entries[0].id;
  device::ExtensionUnitChannel channel;
  std::string said;
  EXPECT_EQ(device::DiscoverCamera(list, channel, [&](std::string_view line) { said += line; }), 1);
  EXPECT_EQ(said, "There are no VideoInputDevice devices available");
  int error = 0;
  EXPECT_EQ(list.open({"\\\\?\\usb#vid_0000#gone", {}, {}}, &error), nullptr);
  EXPECT_EQ(error, -ENODEV);
}

}  // namespace
}  // namespace emberline
