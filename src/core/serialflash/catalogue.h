#pragma once

// The serial-flash parts the library knows, the SPI command sets they use and
// the per-device-kind flags. Read-only data; the lookup is the only logic.

#include <array>
#include <cstddef>
#include <cstdint>

namespace emberline::serialflash {

struct FlashCatalogueEntry {
  std::uint8_t manufacturer;  // first identification byte; matched exactly
  std::uint8_t device;        // second byte; 0xFF matches any value
  std::uint8_t third;         // third byte; 0xFF matches any value
  std::uint8_t flash_type;    // FlashType reported for the part; 0 = not identified
  std::uint8_t command_set;   // index into kFlashCommandSets
  std::uint8_t spare;         // 1 in real entries, 0 in entry 0; never read
};

inline constexpr std::size_t kFlashCatalogueSize = 14;
extern const std::array<FlashCatalogueEntry, kFlashCatalogueSize> kFlashCatalogue;

// One SPI opcode per column.
struct FlashCommandSet {
  std::uint8_t read;
  std::uint8_t write_enable;
  std::uint8_t program;
  std::uint8_t write_status;
  std::uint8_t chip_erase;
  std::uint8_t sector_erase;
  std::uint8_t write_disable;
};

inline constexpr std::size_t kFlashCommandSetCount = 6;
extern const std::array<FlashCommandSet, kFlashCommandSetCount> kFlashCommandSets;

struct DeviceKindEntry {
  bool load_spi_commands;  // flag A: lifting protection loads 0x5F3, 0x5F5, 0x5F8-0x5FB
  bool mode2_bypass;       // flag B: mode byte 2 leaves the status register alone
};

inline constexpr std::size_t kDeviceKindCount = 28;
extern const std::array<DeviceKindEntry, kDeviceKindCount> kDeviceKinds;

// The flags of `kind`; kinds outside the table read as both flags clear.
DeviceKindEntry deviceKindFlags(int kind);

// What the last flash detection found.
struct DetectionResult {
  std::array<std::uint8_t, 3> id{};  // identification bytes last read
  std::uint8_t command_set = 0;
  std::uint8_t flash_type = 0;
  std::uint8_t entry = 0;  // matched catalogue entry (0 = none)
};

// Catalogue entry matching `id` (1..13), or 0 when none does.
std::size_t findCatalogueEntry(const std::array<std::uint8_t, 3>& id);

// Looks result.id up, stores the match's command set, FlashType and entry in
// `result` and returns the FlashType (0 when nothing matched).
std::uint8_t SfLookupFlash(DetectionResult& result);

}  // namespace emberline::serialflash
