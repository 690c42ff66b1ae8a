// The dialog's requests: exact bytes, the chip-id fallback, and the caller's
// buffers left alone whenever a request fails.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/device/protocol.h"
#include "support/scripted_device.h"

namespace emberline::device {
namespace {

using test::Bytes;
using test::describe;
using Log = std::vector<std::string>;
using ::testing::ElementsAre;

struct ProtocolTest : ::testing::Test {
  std::shared_ptr<test::ScriptedDevice> camera = std::make_shared<test::ScriptedDevice>();
  ExtensionUnitChannel channel{camera, 4, 0, {}};
};

// The three property sets as they are stored, from their written forms.
TEST(PropertySets, HoldTheirGuidBytes) {
  using G = std::array<std::uint8_t, 16>;
  // {28F03370-6311-4A2E-BA2C-6890EB334016}
  EXPECT_EQ(kExtensionUnitPropertySet.bytes,
            (G{0x70, 0x33, 0xF0, 0x28, 0x11, 0x63, 0x2E, 0x4A, 0xBA, 0x2C, 0x68, 0x90, 0xEB, 0x33, 0x40, 0x16}));
  // {F1CAFC1D-D7D6-400F-A7FD-96715E0BD958}
  EXPECT_EQ(kDriverPropertySetA.bytes,
            (G{0x1D, 0xFC, 0xCA, 0xF1, 0xD6, 0xD7, 0x0F, 0x40, 0xA7, 0xFD, 0x96, 0x71, 0x5E, 0x0B, 0xD9, 0x58}));
  // {E02A32D0-D2FC-4628-A1DD-DE079B11DFE1}
  EXPECT_EQ(kDriverPropertySetB.bytes,
            (G{0xD0, 0x32, 0x2A, 0xE0, 0xFC, 0xD2, 0x28, 0x46, 0xA1, 0xDD, 0xDE, 0x07, 0x9B, 0x11, 0xDF, 0xE1}));
}

TEST_F(ProtocolTest, FrameCarriesTheUnitFieldsAndGetsAreSentZeroFilled) {
  camera->queueAnswer({1, 2, 3});
  std::array<std::uint8_t, 4> got{9, 9, 9, 9};
  ASSERT_TRUE(sendSet(channel, 3, Bytes{0xAA, 0xBB}));
  ASSERT_TRUE(sendGet(channel, 5, got));
  EXPECT_THAT(got, ElementsAre(1, 2, 3, 0));
  const auto log = camera->requests();
  EXPECT_EQ(describe(log), (Log{"S3/2 AA BB", "G5/4"}));
  EXPECT_EQ(log[1].payload, Bytes(4, 0));
  for (const auto& r : log) EXPECT_EQ(r.property_set, kExtensionUnitPropertySet);
  EXPECT_EQ(log[0].flags, 0x10000002u);
  EXPECT_EQ(log[1].flags, 0x10000001u);
  EXPECT_EQ(log[1].node_id, 4u);
}

TEST_F(ProtocolTest, FailuresKeepTheCallersBytesAndTheirErrno) {
  ExtensionUnitChannel empty;
  std::uint8_t id = 0x5A;
  EXPECT_FALSE(ReadChipId(empty, id));
  EXPECT_EQ(empty.last_error, -ENODEV);

  camera->failRequest(1, -EPIPE);
  camera->failRequest(2, -ETIMEDOUT);
  std::array<std::uint8_t, 3> kept{7, 7, 7};
  EXPECT_FALSE(sendSet(channel, 1, Bytes{1}));
  EXPECT_EQ(channel.last_error, -EPIPE);
  EXPECT_FALSE(sendGet(channel, 1, kept));
  EXPECT_EQ(channel.last_error, -ETIMEDOUT);
  EXPECT_THAT(kept, ElementsAre(7, 7, 7));
  EXPECT_TRUE(sendSet(channel, 1, Bytes{1}));
  EXPECT_EQ(channel.last_error, 0);
}

TEST_F(ProtocolTest, FlashBlocksCarryAddressAndBank) {
  const std::array<std::uint8_t, 8> data{1, 2, 3, 4, 5, 6, 7, 8};
  camera->queueAnswer({0, 0, 0, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7});
  std::array<std::uint8_t, 8> out{};
  ASSERT_TRUE(ReadFlashBlock(channel, 0, 0xFF, 0xF8, out));
  EXPECT_THAT(out, ElementsAre(0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7));
  ASSERT_TRUE(ReadFlashBlock(channel, 1, 0x00, 0x00, out));
  ASSERT_TRUE(WriteFlashBlock(channel, 1, data, 0xFF, 0xF0));
  ASSERT_TRUE(WriteFlashBlock(channel, 0, data, 0x12, 0x08));
  EXPECT_EQ(describe(camera->requests()),
            (Log{"S3/11 F8 FF 88", "G3/11", "S3/11 00 00 98", "G3/11",
                 "S3/11 F0 FF 18 01 02 03 04 05 06 07 08", "S3/11 08 12 08 01 02 03 04 05 06 07 08"}));
}

TEST_F(ProtocolTest, FailedBlockReadLeavesTheBufferAndSendsNoGetAfterAFailedSet) {
  for (std::size_t failing : {1u, 2u}) {
    auto device = std::make_shared<test::ScriptedDevice>();
    device->failRequest(failing);
    ExtensionUnitChannel ch{device, 4, 0, {}};
    std::array<std::uint8_t, 8> out;
    out.fill(0xFF);
    EXPECT_FALSE(ReadFlashBlock(ch, 0, 0, 0, out));
    EXPECT_EQ(Bytes(out.begin(), out.end()), Bytes(8, 0xFF));
    EXPECT_EQ(device->requests().size(), failing);
  }
}

// The chip id: through selector 1 when the unit takes the SET, else through
// the driver's property sets, A before B, for the Set and again for the Get.
struct ChipIdCase {
  const char* name;
  bool unit_set, unit_get;     // selector-1 SET and GET accepted
  const char* driver_accepts;  // e.g. "B.Set B.Get"
  Log expected;
  int chip_id;  // -1: ReadChipId fails
};

class ChipId : public ProtocolTest, public ::testing::WithParamInterface<ChipIdCase> {};

TEST_P(ChipId, FollowsTheFallbackOrder) {
  const auto& c = GetParam();
  if (!c.unit_set) camera->failRequest(1, -EPIPE);
  if (!c.unit_get) camera->failRequest(2, -EPIPE);
  camera->setResponder([](const ControlRequest& r) {
    if (r.op() == XuOp::Get) r.payload[2] = 0x33;
    return 0;
  });
  camera->setDriverResponder([&c](const Guid& set, XuOp op, std::span<std::uint8_t, 40> rec) {
    const std::string name = std::string(set == kDriverPropertySetA ? "A." : "B.") +
                             (op == XuOp::Set ? "Set" : "Get");
    if (std::string(c.driver_accepts).find(name) == std::string::npos) return -ENOENT;
    if (op == XuOp::Get) {
      rec[28] = 0x97;  // only the low byte of word 28 counts
      rec[29] = 0x12;
    }
    return 0;
  });
  std::uint8_t id = 0xEE;
  EXPECT_EQ(ReadChipId(channel, id), c.chip_id >= 0);
  EXPECT_EQ(id, c.chip_id >= 0 ? c.chip_id : 0xEE);
  // A failed fallback reports the unit's own error, not the driver's.
  EXPECT_EQ(channel.last_error, c.chip_id >= 0 ? 0 : -EPIPE);
  const auto log = camera->requests();
  EXPECT_EQ(describe(log), c.expected);
  for (const auto& r : log) {
    if (!r.driver_property) continue;
    // Set: word 20 = 2 and word 24 = 0x101F. Get: word 20 = 1, the rest zero.
    Bytes record(40, 0);
    record[20] = r.op == XuOp::Set ? 2 : 1;
    record[24] = r.op == XuOp::Set ? 0x1F : 0;
    record[25] = r.op == XuOp::Set ? 0x10 : 0;
    EXPECT_EQ(r.payload, record);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ChipId,
    ::testing::Values(
        ChipIdCase{"Unit", true, true, "A.Set A.Get", {"S1/4 1F 10 00 FF", "G1/4"}, 0x33},
        ChipIdCase{"UnitGetFailsNoFallback", true, false, "A.Set A.Get",
                   {"S1/4 1F 10 00 FF", "G1/4 !"}, -1},
        ChipIdCase{"DriverA", false, true, "A.Set A.Get",
                   {"S1/4 1F 10 00 FF !", "A.Set", "A.Get"}, 0x97},
        ChipIdCase{"DriverBOnly", false, true, "B.Set B.Get",
                   {"S1/4 1F 10 00 FF !", "A.Set !", "B.Set", "A.Get !", "B.Get"}, 0x97},
        ChipIdCase{"NoDriverSet", false, true, "A.Get",
                   {"S1/4 1F 10 00 FF !", "A.Set !", "B.Set !"}, -1},
        ChipIdCase{"NoDriverGet", false, true, "A.Set",
                   {"S1/4 1F 10 00 FF !", "A.Set", "A.Get !", "B.Get !"}, -1}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace emberline::device
