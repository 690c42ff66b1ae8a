#pragma once

// Where the firmware keeps its version block and write-protect configuration
// byte in the flash (memory space 7), per chip id, and the space-9 words the
// device-kind probe reads.

#include <cstdint>
#include <span>
#include <vector>

namespace emberline::sim {

struct SimSettings;

struct VersionBlockPlace {
  std::uint16_t base;      // three 10-byte fields at base, base + 10, base + 20
  std::uint16_t tag;       // the 5-byte ROM tag
};

// Every place a reader of the version block may look for `chip_id`: the
// version query's place (when it has one) and the export name's place.
std::vector<VersionBlockPlace> versionBlockPlaces(std::uint8_t chip_id);

// Address of the write-protect configuration byte for `chip_id`.
std::uint16_t writeProtectConfigAddress(std::uint8_t chip_id);

// The five addresses the device-kind probe reads in space 9.
inline constexpr std::uint16_t kProbeAddresses[] = {0x9FF8, 0xD2B2, 0xDFF8, 0xBFF8, 0xC7F8};

// Writes a new camera's version block and configuration byte into its flash
// image (offsets wrap on a small part).
void layOutFlash(const SimSettings& settings, std::span<std::uint8_t> flash);

// Fills fresh probe memory (space 9) from `settings`.
void layOutProbeMemory(const SimSettings& settings, std::span<std::uint8_t> memory9);

}  // namespace emberline::sim
