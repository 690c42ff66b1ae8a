#pragma once

// The flash parts the simulated camera can carry: how each answers the
// identification commands and which program and erase opcodes it accepts.
// One data table; SpiNorFlash turns an entry into behaviour.

#include <array>
#include <cstdint>
#include <span>

namespace emberline::sim {

// Two identification bytes a part shifts out, or none.
struct IdPair {
  bool present = false;
  std::uint8_t first = 0xFF;
  std::uint8_t second = 0xFF;
};

struct SimFlashPart {
  const char* description = "";
  // Key matched against SimSettings::flash_id.
  std::uint8_t maker = 0;
  std::uint8_t device = 0;
  std::uint8_t third = 0;
  bool any_third = false;

  bool answers_jedec = true;  // 0x9F: the configured id, behind 0x7F when asked
  IdPair id_15{};             // 0x15: two bytes, repeated
  IdPair id_90{};             // 0x90 + 3 address bytes: address bit 0 picks which comes first
  IdPair id_ab{};             // 0xAB + 3 address bytes, answered like 0x90
  int signature_ab = -1;      // 0xAB + 3 dummy bytes: one signature byte, repeated (-1: none)
  int status_d7 = -1;         // 0xD7: a status byte, repeated (-1: not a status command)

  std::uint8_t program = 0x02;                   // 0x02 page program, 0xAF auto-increment
  std::array<std::uint8_t, 2> chip_erase{0x60, 0xC7};  // 0 = unused slot
  std::uint8_t sector_erase = 0x20;
  std::uint32_t sector_size = 4096;
  bool fast_read = true;        // 0x0B with one dummy byte, besides 0x03
  bool array_read_e8 = false;   // 0xE8 with four dummy bytes
  std::uint8_t protect_bits = 0x0C;  // block-protect bits: any set protects the array
  bool status_write_needs_ewsr = false;  // write status only right after 0x50
  // Volatile protect bits: a status write takes no time, so no busy polls.
  bool instant_status_write = false;
};

// Every modelled part, catalogue parts first.
std::span<const SimFlashPart> simFlashParts();

// The part for `id`, or a generic JEDEC part when none matches.
const SimFlashPart& simFlashPartFor(const std::array<std::uint8_t, 3>& id);

}  // namespace emberline::sim
