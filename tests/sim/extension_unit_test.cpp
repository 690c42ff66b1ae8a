// The extension unit's selectors: registers, the flash block path in both
// banks, DSP memory, space 9, the information record and what it refuses.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "raw_camera.h"

namespace emberline::sim {
namespace {

using testing::RawCamera;
using Bytes = std::vector<std::uint8_t>;

std::string memoryText(const SimCamera& camera, std::uint32_t address, std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) {
    text.push_back(static_cast<char>(camera.memory(7, address + static_cast<std::uint32_t>(i))));
  }
  return text;
}

TEST(ExtensionUnit, RegistersFollowTheMarkersAndTheDoneFlagReadsOne) {
  SimCamera camera(SimSettings{.chip_id = 0x56, .reg_3c5 = 3});
  RawCamera raw(camera);
  EXPECT_EQ(raw.readReg(0x101F), 0x56);
  EXPECT_EQ(raw.readReg(0x03C5), 3);
  EXPECT_EQ(raw.writeReg(0x17C1, 0x5A), 0);
  EXPECT_EQ(raw.readReg(0x17C1), 0x5A);
  EXPECT_EQ(raw.set(1, {0x01, 0x10, 0x00, 0x7E}), -EINVAL) << "neither read nor write marker";

  // The done flag reads 1 after every transfer, unless the plan breaks it.
  EXPECT_EQ(raw.readReg(0x1084), 0) << "no transfer yet";
  raw.spi({0x05}, 1);
  EXPECT_EQ(raw.readReg(0x1084), 1);
  camera.setFaults(FaultPlan{.transfer_never_done = true});
  raw.spi({0x05}, 1);
  EXPECT_EQ(raw.readReg(0x1084), 0);
}

TEST(ExtensionUnit, BlockPathReachesBothBanksAndEachGetDeliversTheNextBlock) {
  SimCamera camera;
  std::vector<std::uint8_t> content(0x20000);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 7 + (i >> 16));
  camera.setFlash(content);
  RawCamera raw(camera);
  for (const std::uint32_t offset : {0x00000u, 0x0FFF8u, 0x10000u, 0x1FFF0u}) {
    const auto block = raw.readBlock(offset);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), content.begin() + offset)) << offset;
  }
  // F0 FF 18: the block at 0x1FFF0; then two GETs after one read set-up.
  raw.unprotect();
  raw.spi({0x06}, 0);
  raw.spi({0x60}, 0);
  raw.waitReady();
  EXPECT_EQ(raw.set(3, {0xF0, 0xFF, 0x18, 1, 2, 3, 4, 5, 6, 7, 8}), 0);
  EXPECT_EQ(camera.flash()[0x1FFF0], 1);
  EXPECT_EQ(camera.flash()[0x0FFF0], 0xFF);
  EXPECT_EQ(raw.set(3, {0xF0, 0xFF, 0x98, 0, 0, 0, 0, 0, 0, 0, 0}), 0);
  EXPECT_EQ(raw.get(3, 11), (Bytes{0xF0, 0xFF, 0x98, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(raw.get(3, 11), (Bytes{0xF8, 0xFF, 0x98, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

// The library's 12-byte form has the meaning of the dialog's 11-byte one:
// memory space 7 is the flash.
TEST(ExtensionUnit, LibraryFormReachesTheFlashToo) {
  SimCamera camera(SimSettings{.chip_id = 0x33});
  RawCamera raw(camera);
  // Ten bytes at 0x3E00 in chunks of one: one set-up, then a byte per GET.
  camera.setMemory(7, 0x3E00, Bytes{'A', 'B', 'C'});
  EXPECT_EQ(camera.flash()[0x3E00], 'A');
  EXPECT_EQ(raw.set(3, {0x00, 0x3E, 0x81, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0);
  EXPECT_EQ(raw.get(3, 12)[3], 'A');
  EXPECT_EQ(raw.get(3, 12), (Bytes{0x01, 0x3E, 0x81, 'B', 0, 0, 0, 0, 0, 0, 0, 0}));
  // Upper bank.
  camera.setMemory(7, 0x10010, Bytes{9, 8, 7});
  raw.set(3, {0x10, 0x00, 0x98, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(raw.get(3, 12), (Bytes{0x10, 0x00, 0x98, 9, 8, 7, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0}));
  // A write chunk of three bytes programs the flash.
  raw.unprotect();
  EXPECT_EQ(raw.set(3, {0x00, 0x20, 0x03, 0xAA, 0xBB, 0xCC, 0xDD, 0, 0, 0, 0, 0}), 0);
  EXPECT_EQ(camera.flash()[0x2002], 0xCC);
  EXPECT_EQ(camera.flash()[0x2003], 0xFF);
}

struct LayoutCase {
  std::uint8_t chip_id;
  std::uint16_t version_base;  // the version query's place (0: none)
  std::uint16_t version_tag;
  std::uint16_t export_base;
  std::uint16_t export_tag;
  std::uint16_t config;
};

class ChipMemoryLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ChipMemoryLayout, VersionBlockSitsWhereBothReadersLookAndConfigByteWhereItBelongs) {
  const auto& c = GetParam();
  SimCamera camera(SimSettings{.chip_id = c.chip_id, .wp_config = 0x21});
  if (c.version_base != 0) {
    EXPECT_EQ(memoryText(camera, c.version_tag, 5), "QR5XA");
    EXPECT_EQ(memoryText(camera, c.version_base + 10u, 10), "EM-1234567");
  }
  EXPECT_EQ(memoryText(camera, c.export_tag, 5), "QR5XA");
  EXPECT_EQ(memoryText(camera, c.export_base, 30), "2026-12-06EM-12345672612061200");
  EXPECT_EQ(camera.memory(7, c.config), 0x21);
}

INSTANTIATE_TEST_SUITE_P(Chips, ChipMemoryLayout,
                         ::testing::Values(LayoutCase{0x33, 0x1E00, 0x01F3, 0x1E00, 0x01F3, 0x000F},
                                           LayoutCase{0x16, 0x0FD0, 0x0153, 0x3E00, 0x01F3, 0x5834},
                                           LayoutCase{0x71, 0x3E05, 0x3E00, 0x0FD0, 0x0153, 0x8034},
                                           LayoutCase{0x76, 0x3FD0, 0x0153, 0x0FD0, 0x0153, 0xC034},
                                           LayoutCase{0x42, 0, 0, 0x0FD0, 0x0153, 0x8034}));

TEST(ExtensionUnit, OverlappingTagsOfChip90KeepTheVersionQueryCopy) {
  SimCamera camera(SimSettings{.chip_id = 0x90});
  EXPECT_EQ(memoryText(camera, 0x0150, 5), "QR5XA");
  EXPECT_EQ(memoryText(camera, 0x3E00, 10), "2026-12-06");
}

TEST(ExtensionUnit, Space9AnswersOnlyForKind23AndInfoCarriesTheModeByte) {
  SimCamera probed(SimSettings{.device_kind = 23, .mode_byte = 2});
  RawCamera raw(probed);
  for (const std::uint8_t high : {0x9F, 0xD2, 0xDF, 0xBF, 0xC7}) {
    ASSERT_EQ(raw.set(4, {0xF8, high, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0);
    EXPECT_EQ(raw.get(4, 12)[2], 8);
  }
  EXPECT_EQ(raw.get(5, 12)[2], 2);
  EXPECT_LT(raw.set(5, Bytes(12, 0)), 0) << "GET only";
  SimCamera plain(SimSettings{.device_kind = 0});
  EXPECT_LT(RawCamera(plain).set(4, {0xF8, 0x9F, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0);
}

TEST(ExtensionUnit, RefusesWrongLengthsSelectorsAndNodes) {
  SimCamera camera(SimSettings{.node_id = 4});
  RawCamera raw(camera);
  EXPECT_EQ(raw.set(1, {0x1F, 0x10, 0x00}), -EINVAL);
  EXPECT_EQ(raw.set(3, Bytes(10, 0)), -EINVAL);
  EXPECT_EQ(raw.set(4, Bytes(11, 0)), -EINVAL);
  EXPECT_EQ(raw.set(7, Bytes(4, 0)), -ENOENT);
  RawCamera wrong_node(camera.open(), 1);
  EXPECT_EQ(wrong_node.set(1, {0x1F, 0x10, 0x00, 0xFF}), -ENOENT);

  EXPECT_EQ(camera.open()->findExtensionUnitNode(device::kExtensionUnitPropertySet), 4u);
  SimCamera hidden(SimSettings{.node_findable = false});
  EXPECT_EQ(hidden.open()->findExtensionUnitNode(device::kExtensionUnitPropertySet), std::nullopt);
}

}  // namespace
}  // namespace emberline::sim
