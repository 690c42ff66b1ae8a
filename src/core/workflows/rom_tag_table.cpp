#include "core/workflows/rom_tag_table.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <charconv>
#include <sstream>

namespace emberline::workflows {
extern const char kDefaultRomTagTableText[];  // generated from res/rom_tag_table.txt

namespace {

constexpr std::uint8_t kExact = 0;
constexpr std::uint8_t kMinimum = 1;
constexpr unsigned kMaxVersionByte = 127;  // a signed record byte reaches no further

bool isTagCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// One entry line: TAG YY MM DD REGISTER MODE, then an optional comment.
bool parseEntry(std::string_view line, RomTagEntry& entry, std::string& what) {
  std::istringstream in{std::string(line)};
  std::string tag, reg, mode;
  unsigned yy = 0, mm = 0, dd = 0;
  if (!(in >> tag >> yy >> mm >> dd >> reg >> mode)) {
    what = "expected TAG YY MM DD REGISTER MODE";
    return false;
  }
  std::string rest;
  if (in >> rest && rest[0] != '#') {
    what = "unexpected '" + rest + "' after the mode";
    return false;
  }
  if (tag.size() < 4 || tag.size() > 5 || !std::all_of(tag.begin(), tag.end(), isTagCharacter)) {
    what = "the tag '" + tag + "' is not 4 or 5 letters and digits";
    return false;
  }
  if (yy > kMaxVersionByte || mm > kMaxVersionByte || dd > kMaxVersionByte) {
    what = "a build date byte is above 127";
    return false;
  }
  unsigned value = 0;
  const char* digits_end = reg.data() + reg.size();
  const auto parsed = reg.size() > 2 ? std::from_chars(reg.data() + 2, digits_end, value, 16)
                                     : std::from_chars_result{reg.data(), std::errc::invalid_argument};
  if (!reg.starts_with("0x") || parsed.ec != std::errc{} || parsed.ptr != digits_end || value > 0xFFFF) {
    what = "the register '" + reg + "' is not 0x0000 to 0xFFFF";
    return false;
  }
  if (mode != "exact" && mode != "min") {
    what = "the mode '" + mode + "' is neither exact nor min";
    return false;
  }
  entry = {};
  std::copy(tag.begin(), tag.end(), entry.tag.begin());
  entry.version = {static_cast<std::uint8_t>(yy), static_cast<std::uint8_t>(mm), static_cast<std::uint8_t>(dd)};
  entry.sf_type_register = static_cast<std::uint16_t>(value);
  entry.match_mode = mode == "exact" ? kExact : kMinimum;
  return true;
}

}  // namespace

bool parseRomTagTable(std::string_view text, RomTagTable& table, std::string& error) {
  RomTagTable parsed;
  std::size_t number = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++number;
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] == '#') continue;
    RomTagEntry entry{};
    std::string what;
    if (!parseEntry(line, entry, what)) {
      error = "line " + std::to_string(number) + ": " + what;
      return false;
    }
    if (parsed.size() == kMaxRomTagEntries) {
      error = "more than " + std::to_string(kMaxRomTagEntries) + " entries";
      return false;
    }
    parsed.push_back(entry);
  }
  if (parsed.empty()) {
    error = "no entry (the first entry is the fallback, so a table needs one)";
    return false;
  }
  table = std::move(parsed);
  return true;
}

const RomTagTable& defaultRomTagTable() {
  static const RomTagTable table = [] {
    RomTagTable parsed;
    std::string error;
    parseRomTagTable(kDefaultRomTagTableText, parsed, error);  // checked by the tests
    if (parsed.empty()) parsed.push_back({{'Q', 'R', '5', 'X', 0}, {0, 0, 0}, 0x10FC, kExact});
    return parsed;
  }();
  return table;
}

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

std::size_t findRomTagEntry(const RomTagTable& table, const RomIdRecord& record) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    const auto& entry = table[i];
    if (romTagMatches(record.data(), entry.tag.data()) && versionTaken(record, entry)) return i;
  }
  return 0;
}

std::vector<std::string> checkRomTagTable(const RomTagTable& table) {
  std::vector<std::string> problems;
  const auto name = [](std::size_t i) { return "entry " + std::to_string(i); };
  // Registers the workflows and the library drive for other purposes.
  const auto reserved = [](std::uint16_t reg) {
    return reg == 0x101F || reg == 0x1040 || reg == 0x1006 || reg == 0x1007 || reg == 0x1073 ||
           (reg >= 0x1080 && reg <= 0x1093) || reg == 0x17C1 || reg == 0x17C2 ||
           (reg >= 0x05F3 && reg <= 0x05FB) || reg == 0x03C5;
  };
  for (std::size_t i = 0; i < table.size(); ++i) {
    const auto& e = table[i];
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
      const auto& earlier = table[j];
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
