#pragma once

// Which chip register receives the flash type code (SFType) for the chip's
// mask ROM, chosen by the ROM's tag and build version.
//
// The table is our own choice, not the chip maker's: the default one is built
// in from res/rom_tag_table.txt (where its format and what it does on a
// camera whose ROM expects another register are written down), and a user who
// has the camera maker's table can load it instead.
//
// The RomIdRecord (8 bytes) is built from the chip's version block (see
// rom_id_record.h): bytes 0-4 the RomTag ("QR5XA"), bytes 5-7 the ROM's build
// date as year, month and day (two decimal digits each, from the third
// version field "YYMMDDhhmm"); a pair that is not two digits gives 0xFF.
// Record bytes are compared as signed values, entry bytes as unsigned ones, so
// a record byte of 0x80 or more never matches a version.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace emberline::workflows {

using RomIdRecord = std::array<std::uint8_t, 8>;

struct RomTagEntry {
  std::array<char, 5> tag;                // only the first four characters are compared
  std::array<std::uint8_t, 3> version;    // year, month, day of the ROM build
  std::uint16_t sf_type_register;         // the register that receives the SFType
  std::uint8_t match_mode;                // 0: exact version; non-zero: year at least version[0]
};

// Searched in order; entry 0 doubles as the fallback. Never empty.
using RomTagTable = std::vector<RomTagEntry>;

inline constexpr std::size_t kMaxRomTagEntries = 256;

// The built-in table (res/rom_tag_table.txt).
const RomTagTable& defaultRomTagTable();

// Reads a table in the text form of res/rom_tag_table.txt. False, with the
// line and what is wrong with it in `error`, for anything else.
bool parseRomTagTable(std::string_view text, RomTagTable& table, std::string& error);

// The first four tag characters equal ignoring letter case (a NUL present in
// both ends the comparison early).
bool romTagMatches(const std::uint8_t* record_tag, const char* entry_tag);

// The entry the record selects: the first one taken, or 0 (the fallback).
std::size_t findRomTagEntry(const RomTagTable& table, const RomIdRecord& record);

// Self-check of a table: tags, registers, unreachable or shadowed entries.
// Empty when sound.
std::vector<std::string> checkRomTagTable(const RomTagTable& table);

}  // namespace emberline::workflows
