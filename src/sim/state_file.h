#pragma once

// The saved state of a simulated camera and its file format.
//
// Layout (integers little-endian):
//   8 bytes   magic "EMBSIMST"
//   u32       format version (2)
//   u32 + n   settings: length, then a JSON object (keys as in SimSettings;
//             flash_id an array of three numbers, latency in "latency_us",
//             flash_status a number or null, the fault plan under "faults")
//   u32 + n   DSP registers (65,536 bytes)
//   u32 + n   memory space 9 (65,536 bytes)
//   u32 + n   flash content (the settings' flash_size)
//   u8        flash status register (bit 0: busy)
//   u32       CRC-32 (IEEE 802.3) of every byte before it

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/sim_camera.h"

namespace emberline::sim {

struct SavedState {
  SimSettings settings;
  FaultPlan faults;
  std::vector<std::uint8_t> registers;
  std::vector<std::uint8_t> memory9;
  std::vector<std::uint8_t> flash;
  std::uint8_t flash_status = 0;
};

inline constexpr std::uint32_t kStateFormatVersion = 2;

std::vector<std::uint8_t> encodeState(const SavedState& state);

// False, with what is wrong in `what`, for a damaged or foreign file.
bool decodeState(std::span<const std::uint8_t> bytes, SavedState& state, std::string& what);

std::uint32_t crc32(std::span<const std::uint8_t> bytes);

}  // namespace emberline::sim
