#include "core/serialflash/catalogue.h"

namespace emberline::serialflash {

// Entry 0 stands for "not identified" and is never matched by the search.
const std::array<FlashCatalogueEntry, kFlashCatalogueSize> kFlashCatalogue{{
    // maker  device third  type  set  spare
    {0x00, 0x00, 0x00, 0, 0, 0},
    {0xC2, 0x20, 0x11, 1, 1, 1},
    {0xC2, 0x22, 0x11, 1, 1, 1},
    {0xC2, 0x20, 0x10, 1, 1, 1},
    {0xC2, 0x22, 0x10, 1, 1, 1},
    {0x1F, 0x65, 0x01, 4, 2, 1},
    {0x9D, 0x20, 0xFF, 8, 3, 1},
    {0x9D, 0x7B, 0xFF, 8, 3, 1},
    {0xBF, 0x48, 0xFF, 3, 4, 1},
    {0x8C, 0x30, 0x10, 12, 1, 1},
    {0xC8, 0x40, 0x10, 13, 1, 1},
    {0xEF, 0x30, 0x10, 7, 1, 1},
    {0x37, 0x30, 0x10, 10, 5, 1},
    {0xA1, 0x31, 0x10, 14, 1, 1},
}};

const std::array<FlashCommandSet, kFlashCommandSetCount> kFlashCommandSets{{
    // read  wren  prog  wrsr  chip  sect  wrdi
    {0x03, 0x04, 0x03, 0x05, 0x03, 0x03, 0x04},  // 0: not identified
    {0x03, 0x06, 0x02, 0x01, 0x60, 0x20, 0x04},
    {0x03, 0x06, 0x02, 0x01, 0x60, 0x20, 0x04},
    {0x03, 0x06, 0x02, 0x01, 0xC7, 0xD7, 0x04},
    {0x03, 0x06, 0xAF, 0x01, 0x60, 0x20, 0x04},
    {0x03, 0x06, 0x02, 0x01, 0xC7, 0x20, 0x04},
}};

namespace {
constexpr DeviceKindEntry kPlain{false, false};
constexpr DeviceKindEntry kLoad{true, false};
constexpr DeviceKindEntry kLoadBypass{true, true};
}  // namespace

const std::array<DeviceKindEntry, kDeviceKindCount> kDeviceKinds{{
    kPlain, kPlain, kPlain, kPlain, kPlain, kPlain, kPlain, kPlain,                      // 0-7
    kLoad,                                                                               // 8
    kPlain, kPlain, kPlain,                                                              // 9-11
    kLoad, kLoad, kLoad, kLoad, kLoad, kLoad,                                            // 12-17
    kLoadBypass, kLoadBypass, kLoadBypass, kLoadBypass, kLoadBypass, kLoadBypass,        // 18-23
    kLoadBypass, kLoadBypass,                                                            // 24-25
    kLoad,                                                                               // 26
    kLoadBypass,                                                                         // 27
}};

DeviceKindEntry deviceKindFlags(int kind) {
  if (kind < 0 || static_cast<std::size_t>(kind) >= kDeviceKinds.size()) return kPlain;
  return kDeviceKinds[static_cast<std::size_t>(kind)];
}

std::size_t findCatalogueEntry(const std::array<std::uint8_t, 3>& id) {
  for (std::size_t i = 1; i < kFlashCatalogue.size(); ++i) {
    const auto& e = kFlashCatalogue[i];
    if (e.manufacturer != id[0]) continue;  // no wildcard in the maker column
    if (e.device != 0xFF && e.device != id[1]) continue;
    if (e.third != 0xFF && e.third != id[2]) continue;
    return i;
  }
  return 0;
}

std::uint8_t SfLookupFlash(DetectionResult& result) {
  const std::size_t entry = findCatalogueEntry(result.id);
  const auto& e = kFlashCatalogue[entry];
  result.entry = static_cast<std::uint8_t>(entry);
  result.command_set = e.command_set;
  result.flash_type = e.flash_type;
  return e.flash_type;
}

}  // namespace emberline::serialflash
