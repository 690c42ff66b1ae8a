#include "sim/chip_memory_layout.h"

#include <algorithm>
#include <string>

#include "sim/sim_camera.h"

namespace emberline::sim {

namespace {

// The version query's table: chips without an entry have nothing to read.
bool versionQueryPlace(std::uint8_t chip_id, VersionBlockPlace& place) {
  switch (chip_id) {
    case 0x16: case 0x32: place = {0x0FD0, 0x0153}; return true;
    case 0x23: case 0x33: place = {0x1E00, 0x01F3}; return true;
    case 0x25: case 0x56: place = {0x3E00, 0x01F3}; return true;
    case 0x70: case 0x71: case 0x83: place = {0x3E05, 0x3E00}; return true;
    case 0x76: place = {0x3FD0, 0x0153}; return true;
    case 0x90: place = {0x3E00, 0x0150}; return true;
    default: return false;
  }
}

// The export name's table, which has a place for every chip.
VersionBlockPlace exportNamePlace(std::uint8_t chip_id) {
  switch (chip_id) {
    case 0x16: case 0x25: return {0x3E00, 0x01F3};
    case 0x23: case 0x33: return {0x1E00, 0x01F3};
    default: return {0x0FD0, 0x0153};
  }
}

// Copies exactly `length` bytes of `text`, NUL-padded.
void putText(std::span<std::uint8_t> memory, std::uint32_t address, const std::string& text,
             std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    const auto byte = i < text.size() ? static_cast<std::uint8_t>(text[i]) : std::uint8_t{0};
    memory[(address + i) % memory.size()] = byte;
  }
}

}  // namespace

std::vector<VersionBlockPlace> versionBlockPlaces(std::uint8_t chip_id) {
  // The export name's place first, so that where the two tags overlap
  // (chip 0x90) the version query's copy is the one left intact.
  std::vector<VersionBlockPlace> places{exportNamePlace(chip_id)};
  VersionBlockPlace query{};
  if (versionQueryPlace(chip_id, query)) places.push_back(query);
  return places;
}

std::uint16_t writeProtectConfigAddress(std::uint8_t chip_id) {
  switch (chip_id) {
    case 0x33: return 0x000F;
    case 0x32: case 0x75: case 0x76: return 0xC034;
    case 0x16: return 0x5834;
    default: return 0x8034;
  }
}

void layOutFlash(const SimSettings& settings, std::span<std::uint8_t> flash) {
  for (const auto& place : versionBlockPlaces(settings.chip_id)) {
    putText(flash, place.base, settings.field1, 10);
    putText(flash, place.base + 10u, settings.field2, 10);
    putText(flash, place.base + 20u, settings.field3, 10);
    putText(flash, place.tag, settings.tag, 5);
  }
  flash[writeProtectConfigAddress(settings.chip_id) % flash.size()] = settings.wp_config;
}

void layOutProbeMemory(const SimSettings& settings, std::span<std::uint8_t> memory9) {
  // The last probe word holds the ROM tag and a version byte, so a caller
  // that shows the probe's buffer shows something readable.
  putText(memory9, kProbeAddresses[4], settings.tag, 5);
  memory9[kProbeAddresses[4] + 5u] = 1;
}

}  // namespace emberline::sim
