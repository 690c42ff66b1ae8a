#include "core/serialflash/catalogue.h"

#include <gtest/gtest.h>

namespace emberline::serialflash {
namespace {

using Id = std::array<std::uint8_t, 3>;

// The catalogue as the part list has it: the identification bytes of every
// entry (0xFF: any), its FlashType and command set.
struct CatalogueRow {
  Id id;
  std::uint8_t type, set;
};
constexpr CatalogueRow kCatalogueRows[] = {
    {{0x00, 0x00, 0x00}, 0, 0},  {{0xC2, 0x20, 0x11}, 1, 1},  {{0xC2, 0x22, 0x11}, 1, 1},
    {{0xC2, 0x20, 0x10}, 1, 1},  {{0xC2, 0x22, 0x10}, 1, 1},  {{0x1F, 0x65, 0x01}, 4, 2},
    {{0x9D, 0x20, 0xFF}, 8, 3},  {{0x9D, 0x7B, 0xFF}, 8, 3},  {{0xBF, 0x48, 0xFF}, 3, 4},
    {{0x8C, 0x30, 0x10}, 12, 1}, {{0xC8, 0x40, 0x10}, 13, 1}, {{0xEF, 0x30, 0x10}, 7, 1},
    {{0x37, 0x30, 0x10}, 10, 5}, {{0xA1, 0x31, 0x10}, 14, 1},
};

// read, write enable, program, write status, chip erase, sector erase, write disable
constexpr std::array<std::array<std::uint8_t, 7>, 6> kCommandSetRows{{
    {0x03, 0x04, 0x03, 0x05, 0x03, 0x03, 0x04},
    {0x03, 0x06, 0x02, 0x01, 0x60, 0x20, 0x04},
    {0x03, 0x06, 0x02, 0x01, 0x60, 0x20, 0x04},
    {0x03, 0x06, 0x02, 0x01, 0xC7, 0xD7, 0x04},
    {0x03, 0x06, 0xAF, 0x01, 0x60, 0x20, 0x04},
    {0x03, 0x06, 0x02, 0x01, 0xC7, 0x20, 0x04},
}};

TEST(CatalogueTable, EveryEntryIsFoundByItsBytesWithItsTypeAndCommandSet) {
  ASSERT_EQ(kFlashCatalogue.size(), std::size(kCatalogueRows));
  for (std::size_t i = 1; i < std::size(kCatalogueRows); ++i) {
    SCOPED_TRACE(i);
    const auto& row = kCatalogueRows[i];
    // A wildcard byte is tried with an arbitrary value.
    DetectionResult result;
    result.id = {row.id[0], row.id[1] == 0xFF ? std::uint8_t{0x42} : row.id[1],
                 row.id[2] == 0xFF ? std::uint8_t{0x42} : row.id[2]};
    EXPECT_EQ(SfLookupFlash(result), row.type);
    EXPECT_EQ(result.entry, i);
    EXPECT_EQ(result.command_set, row.set);
  }
  EXPECT_EQ(findCatalogueEntry(Id{0, 0, 0}), 0u) << "entry 0 is never matched";
}

TEST(CatalogueTable, CommandSetsHoldTheirOpcodes) {
  for (std::size_t set = 0; set < kCommandSetRows.size(); ++set) {
    SCOPED_TRACE(set);
    const auto& s = kFlashCommandSets[set];
    const auto& row = kCommandSetRows[set];
    EXPECT_EQ((std::array<std::uint8_t, 7>{s.read, s.write_enable, s.program, s.write_status, s.chip_erase,
                                           s.sector_erase, s.write_disable}),
              row);
  }
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
