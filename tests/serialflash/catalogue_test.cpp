#include "core/serialflash/catalogue.h"

#include <gtest/gtest.h>

namespace emberline::serialflash {
namespace {

using Id = std::array<std::uint8_t, 3>;

TEST(CatalogueTable, SelfCheck) {
  EXPECT_EQ(kFlashCatalogue[0].flash_type, 0);
  EXPECT_EQ(kFlashCatalogue[0].command_set, 0);
  EXPECT_EQ(kFlashCatalogue[0].spare, 0);
  for (std::size_t i = 1; i < kFlashCatalogue.size(); ++i) {
    SCOPED_TRACE(i);
    const FlashCatalogueEntry& e = kFlashCatalogue[i];
    EXPECT_NE(e.manufacturer, 0xFF) << "no wildcard in the manufacturer column";
    EXPECT_NE(e.flash_type, 0);
    EXPECT_LT(e.command_set, kFlashCommandSetCount);
    EXPECT_EQ(e.spare, 1);
    // Reachable in first-match order: its own bytes (wildcards filled with
    // an arbitrary value) find it, not an earlier entry.
    const Id id{e.manufacturer, e.device == 0xFF ? std::uint8_t{0x42} : e.device,
                e.third == 0xFF ? std::uint8_t{0x42} : e.third};
    EXPECT_EQ(findCatalogueEntry(id), i);
  }
  EXPECT_EQ(findCatalogueEntry(Id{0, 0, 0}), 0u) << "entry 0 is never matched";
}

TEST(CatalogueTable, DeviceKindFlags) {
  for (int kind = 0; kind < static_cast<int>(kDeviceKindCount); ++kind) {
    SCOPED_TRACE(kind);
    const bool a = kind == 8 || kind >= 12;
    const bool b = kind >= 18 && kind != 26;
    EXPECT_EQ(deviceKindFlags(kind).load_spi_commands, a);
    EXPECT_EQ(deviceKindFlags(kind).mode2_bypass, b);
  }
  EXPECT_FALSE(deviceKindFlags(-1).load_spi_commands);
  EXPECT_FALSE(deviceKindFlags(28).mode2_bypass);
}

struct LookupCase {
  Id id;
  std::uint8_t entry, type, set;
};

class CatalogueLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(CatalogueLookup, FindsFirstMatch) {
  const LookupCase& c = GetParam();
  DetectionResult result;
  result.id = c.id;
  EXPECT_EQ(SfLookupFlash(result), c.type);
  EXPECT_EQ(result.entry, c.entry);
  EXPECT_EQ(result.flash_type, c.type);
  EXPECT_EQ(result.command_set, c.set);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CatalogueLookup,
    ::testing::Values(
        LookupCase{{0xC2, 0x20, 0x11}, 1, 1, 1}, LookupCase{{0xC2, 0x22, 0x10}, 4, 1, 1},
        LookupCase{{0xBF, 0x48, 0x00}, 8, 3, 4}, LookupCase{{0xBF, 0x48, 0xFF}, 8, 3, 4},
        LookupCase{{0x9D, 0x7B, 0xFF}, 7, 8, 3}, LookupCase{{0x9D, 0x7B, 0x33}, 7, 8, 3},
        LookupCase{{0xEF, 0x30, 0x10}, 11, 7, 1}, LookupCase{{0xEF, 0x30, 0x11}, 0, 0, 0},
        LookupCase{{0x37, 0x30, 0x10}, 12, 10, 5}, LookupCase{{0x00, 0x00, 0x00}, 0, 0, 0},
        LookupCase{{0xFF, 0xFF, 0xFF}, 0, 0, 0},
        // A two-byte id (third 0xFF) reaches only the wildcard entries.
        LookupCase{{0xC2, 0x20, 0xFF}, 0, 0, 0}));

TEST(CatalogueLookupState, FailedLookupOverwritesEarlierMatch) {
  DetectionResult result;
  result.id = {0xBF, 0x48, 0x01};
  ASSERT_EQ(SfLookupFlash(result), 3);
  result.id = {0xEF, 0x30, 0x11};
  EXPECT_EQ(SfLookupFlash(result), 0);
  EXPECT_EQ(result.command_set, 0);
  EXPECT_EQ(result.flash_type, 0);
  EXPECT_EQ(result.entry, 0);
}

}  // namespace
}  // namespace emberline::serialflash
