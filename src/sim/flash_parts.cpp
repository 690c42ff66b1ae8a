#include "sim/flash_parts.h"

#include "sim/sim_camera.h"

namespace emberline::sim {

namespace {

// The first block mirrors the library's catalogue, one plausible part per
// entry; the second holds parts the catalogue does not know, each reaching a
// different branch of the workflow's own flash-type detection.
constexpr SimFlashPart kParts[] = {
    {.description = "C2 20 11: 1 Mbit JEDEC part (0x90 C2 10, 0xAB 10)",
     .maker = 0xC2, .device = 0x20, .third = 0x11,
     .id_90 = {true, 0xC2, 0x10}, .signature_ab = 0x10},
    {.description = "C2 22 11: 1 Mbit JEDEC part (0x90 C2 11, 0xAB 11)",
     .maker = 0xC2, .device = 0x22, .third = 0x11,
     .id_90 = {true, 0xC2, 0x11}, .signature_ab = 0x11},
    {.description = "C2 20 10: 512 Kbit JEDEC part (0x90 C2 05, 0xAB 05)",
     .maker = 0xC2, .device = 0x20, .third = 0x10,
     .id_90 = {true, 0xC2, 0x05}, .signature_ab = 0x05},
    {.description = "C2 22 10: 512 Kbit JEDEC part (0x90 C2 05, 0xAB 05)",
     .maker = 0xC2, .device = 0x22, .third = 0x10,
     .id_90 = {true, 0xC2, 0x05}, .signature_ab = 0x05},
    {.description = "1F 65 01: 512 Kbit JEDEC part, no other id command",
     .maker = 0x1F, .device = 0x65, .third = 0x01},
    {.description = "9D 20 xx: JEDEC part (0xAB 9D 20), chip erase 0xC7 only, sector erase 0xD7",
     .maker = 0x9D, .device = 0x20, .any_third = true,
     .id_ab = {true, 0x9D, 0x20}, .chip_erase = {0xC7, 0}, .sector_erase = 0xD7},
    {.description = "9D 7B xx: JEDEC part (0xAB 9D 7B), chip erase 0xC7 only, sector erase 0xD7",
     .maker = 0x9D, .device = 0x7B, .any_third = true,
     .id_ab = {true, 0x9D, 0x7B}, .chip_erase = {0xC7, 0}, .sector_erase = 0xD7},
    {.description = "BF 48: no 0x9F, 0x90/0xAB BF 48, programs with 0xAF (one byte per command), "
                    "erases with 0x60, status write only after 0x50 and at once",
     .maker = 0xBF, .device = 0x48, .any_third = true, .answers_jedec = false,
     .id_90 = {true, 0xBF, 0x48}, .id_ab = {true, 0xBF, 0x48}, .program = 0xAF,
     .chip_erase = {0x60, 0}, .fast_read = false, .status_write_needs_ewsr = true,
     .instant_status_write = true},
    {.description = "8C 30 10: 512 Kbit JEDEC part (0x90 8C 05, 0xAB 05)",
     .maker = 0x8C, .device = 0x30, .third = 0x10,
     .id_90 = {true, 0x8C, 0x05}, .signature_ab = 0x05},
    {.description = "C8 40 10: 512 Kbit JEDEC part (0x90 C8 05, 0xAB 05)",
     .maker = 0xC8, .device = 0x40, .third = 0x10,
     .id_90 = {true, 0xC8, 0x05}, .signature_ab = 0x05},
    {.description = "EF 30 10: 512 Kbit JEDEC part (0x90 EF 05, 0xAB 05)",
     .maker = 0xEF, .device = 0x30, .third = 0x10,
     .id_90 = {true, 0xEF, 0x05}, .signature_ab = 0x05},
    {.description = "37 30 10: 512 Kbit JEDEC part, chip erase 0xC7 only",
     .maker = 0x37, .device = 0x30, .third = 0x10,
     .id_90 = {true, 0x37, 0x05}, .signature_ab = 0x05, .chip_erase = {0xC7, 0}},
    {.description = "A1 31 10: 512 Kbit JEDEC part (0xAB 05)",
     .maker = 0xA1, .device = 0x31, .third = 0x10, .signature_ab = 0x05},

    {.description = "1F 60: old part, only 0x15 answers (1F 60), chip erase 0x62 only",
     .maker = 0x1F, .device = 0x60, .any_third = true, .answers_jedec = false,
     .id_15 = {true, 0x1F, 0x60}, .chip_erase = {0x62, 0}, .sector_erase = 0x52,
     .sector_size = 0x8000, .fast_read = false},
    {.description = "20 20 11: JEDEC part of maker 0x20 (0xAB 10), chip erase 0xC7 only",
     .maker = 0x20, .device = 0x20, .third = 0x11, .signature_ab = 0x10,
     .chip_erase = {0xC7, 0}, .sector_erase = 0xD8, .sector_size = 0x10000},
    {.description = "20 10: old part, only 0xAB answers (signature 10), chip erase 0xC7 only",
     .maker = 0x20, .device = 0x10, .any_third = true, .answers_jedec = false,
     .signature_ab = 0x10, .chip_erase = {0xC7, 0}, .sector_erase = 0xD8,
     .sector_size = 0x10000},
    {.description = "9D 7C: old part, only 0xAB answers (9D 7C), chip erase 0xC7 only",
     .maker = 0x9D, .device = 0x7C, .any_third = true, .answers_jedec = false,
     .id_ab = {true, 0x9D, 0x7C}, .chip_erase = {0xC7, 0}, .sector_erase = 0xD7},
    {.description = "1F 22: page part without 0x9F, 0xD7 status 0C, array read 0xE8",
     .maker = 0x1F, .device = 0x22, .any_third = true, .answers_jedec = false,
     .status_d7 = 0x0C, .chip_erase = {0x60, 0}, .fast_read = false, .array_read_e8 = true},
};

constexpr SimFlashPart kGenericPart{.description = "generic JEDEC part answering the configured id"};

bool matches(const SimFlashPart& part, const std::array<std::uint8_t, 3>& id) {
  return part.maker == id[0] && part.device == id[1] && (part.any_third || part.third == id[2]);
}

}  // namespace

std::span<const SimFlashPart> simFlashParts() { return kParts; }

const SimFlashPart& simFlashPartFor(const std::array<std::uint8_t, 3>& id) {
  for (const auto& part : kParts) {
    if (matches(part, id)) return part;
  }
  return kGenericPart;
}

std::vector<SimFlashPartInfo> simulatedFlashParts() {
  std::vector<SimFlashPartInfo> out;
  for (const auto& part : kParts) {
    out.push_back({{part.maker, part.device, part.any_third ? std::uint8_t{0} : part.third},
                   part.any_third, part.description});
  }
  return out;
}

}  // namespace emberline::sim
