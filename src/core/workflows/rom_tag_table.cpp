#include "core/workflows/rom_tag_table.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace emberline::workflows {
namespace {

constexpr std::uint8_t kExact = 0;
constexpr std::uint8_t kMinimum = 1;

// SFType registers of the mask ROM generations. The ROM reads the flash type
// from a byte of its patch area, and that byte moved between generations.
constexpr std::uint16_t kRegGen1 = 0x10FC;  // the family default
constexpr std::uint16_t kRegGen1Early = 0x10FD;
constexpr std::uint16_t kRegGen2 = 0x17F0;
constexpr std::uint16_t kRegGen3 = 0x17F8;
constexpr std::uint16_t kRegLegacy = 0x0FFC;

}  // namespace

// Searched in order; exact builds come before the ranges that would hide
// them. Entry 0 doubles as the fallback for records no entry takes (no tag
// read, an unknown tag, a build date that does not parse).
const std::array<RomTagEntry, kRomTagTableSize> kRomTagTable{{
    // tag                     yy  mm  dd    register       mode
    {{'Q', 'R', '5', 'X', 0}, {0, 0, 0}, kRegGen1, kExact},  // 0: undated ROM, fallback
    {{'Q', 'R', '5', 'X', 0}, {13, 4, 16}, kRegGen1Early, kExact},
    {{'Q', 'R', '5', 'X', 0}, {13, 9, 2}, kRegGen1Early, kExact},
    {{'Q', 'R', '5', 'X', 0}, {24, 0, 0}, kRegGen2, kMinimum},
    {{'Q', 'R', '5', 'X', 0}, {0, 0, 0}, kRegGen1, kMinimum},
    {{'Q', 'R', '5', 'A', 0}, {0, 0, 0}, kRegGen1, kMinimum},
    {{'Q', 'R', '5', 'B', 0}, {22, 0, 0}, kRegGen2, kMinimum},
    {{'Q', 'R', '5', 'B', 0}, {0, 0, 0}, kRegGen1, kMinimum},
    {{'Q', 'R', '5', 'C', 0}, {0, 0, 0}, kRegGen2, kMinimum},
    {{'Q', 'R', '6', 'X', 0}, {20, 0, 0}, kRegGen3, kMinimum},
    {{'Q', 'R', '6', 'X', 0}, {0, 0, 0}, kRegGen2, kMinimum},
    {{'Q', 'R', '6', 'C', 0}, {0, 0, 0}, kRegGen3, kMinimum},
    {{'Q', 'R', '7', 'X', 0}, {0, 0, 0}, kRegGen3, kMinimum},
    {{'Q', 'R', '3', 'A', 0}, {0, 0, 0}, kRegLegacy, kMinimum},
    {{'Q', 'R', '3', 'B', 0}, {0, 0, 0}, kRegLegacy, kMinimum},
    {{'Z', 'K', '5', 'T', 'O'}, {12, 11, 30}, kRegLegacy, kExact},
    {{'Z', 'K', '5', 'T', 'O'}, {13, 0, 0}, kRegGen1, kMinimum},
    {{'Z', 'K', '5', 'T', 'O'}, {0, 0, 0}, kRegLegacy, kMinimum},
    {{'Z', 'K', '4', 'T', 0}, {0, 0, 0}, kRegLegacy, kMinimum},
    {{'Z', 'K', '3', 'T', 0}, {0, 0, 0}, kRegLegacy, kMinimum},
}};

bool romTagMatches(const std::uint8_t* record_tag, const char* entry_tag) {
  for (int i = 0; i < 4; ++i) {
    const int a = std::tolower(record_tag[i]);
    const int b = std::tolower(static_cast<unsigned char>(entry_tag[i]));
    if (a != b) return false;
    if (a == 0) return true;  // both end here
  }
  return true;
}

namespace {

bool versionTaken(const RomIdRecord& record, const RomTagEntry& entry) {
  // Record bytes are signed, entry bytes unsigned.
  const auto rec = [&record](int i) { return static_cast<int>(static_cast<std::int8_t>(record[i])); };
  if (entry.match_mode == kExact) {
    return rec(5) == entry.version[0] && rec(6) == entry.version[1] && rec(7) == entry.version[2];
  }
  return rec(5) >= entry.version[0];
}

}  // namespace

std::size_t findRomTagEntry(const RomIdRecord& record) {
  for (std::size_t i = 0; i < kRomTagTable.size(); ++i) {
    const auto& entry = kRomTagTable[i];
    if (romTagMatches(record.data(), entry.tag.data()) && versionTaken(record, entry)) return i;
  }
  return 0;
}

std::vector<std::string> checkRomTagTable() {
  std::vector<std::string> problems;
  const auto name = [](std::size_t i) { return "entry " + std::to_string(i); };
  // Registers the workflows and the library drive for other purposes.
  const auto reserved = [](std::uint16_t reg) {
    return reg == 0x101F || reg == 0x1040 || reg == 0x1006 || reg == 0x1007 || reg == 0x1073 ||
           (reg >= 0x1080 && reg <= 0x1093) || reg == 0x17C1 || reg == 0x17C2 ||
           (reg >= 0x05F3 && reg <= 0x05FB) || reg == 0x03C5;
  };
  for (std::size_t i = 0; i < kRomTagTable.size(); ++i) {
    const auto& e = kRomTagTable[i];
    for (int c = 0; c < 4; ++c) {
      if (!std::isupper(static_cast<unsigned char>(e.tag[c])) &&
          !std::isdigit(static_cast<unsigned char>(e.tag[c]))) {
        problems.push_back(name(i) + ": tag character " + std::to_string(c) +
                           " is not an upper-case letter or digit");
      }
    }
    if (reserved(e.sf_type_register)) problems.push_back(name(i) + ": register is used elsewhere");
    // A signed record byte never reaches 0x80 or more.
    const bool unreachable = e.match_mode == kExact
                                 ? std::any_of(e.version.begin(), e.version.end(),
                                               [](std::uint8_t v) { return v >= 0x80; })
                                 : e.version[0] >= 0x80;
    if (unreachable) problems.push_back(name(i) + ": version can never match");
    for (std::size_t j = 0; j < i; ++j) {
      const auto& earlier = kRomTagTable[j];
      if (!romTagMatches(reinterpret_cast<const std::uint8_t*>(e.tag.data()), earlier.tag.data())) {
        continue;
      }
      const bool hidden = earlier.match_mode == kExact
                              ? e.match_mode == kExact && e.version == earlier.version
                              : e.version[0] >= earlier.version[0];
      if (hidden) problems.push_back(name(i) + " is hidden by " + name(j));
    }
  }
  return problems;
}

}  // namespace emberline::workflows
