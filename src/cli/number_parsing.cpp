#include "cli/number_parsing.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "core/serialflash/catalogue.h"

namespace emberline::cli {

namespace {

struct Maker {
  std::string_view name;
  std::uint8_t code;
};

// JEDEC manufacturer codes of the makers the catalogue has parts from.
constexpr Maker kMakers[] = {
    {"macronix", 0xC2}, {"atmel", 0x1F},    {"issi", 0x9D},   {"sst", 0xBF},   {"esmt", 0x8C},
    {"gigadevice", 0xC8}, {"winbond", 0xEF}, {"amic", 0x37},   {"fudan", 0xA1},
};

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// The maker's first catalogue part; a wildcard column is given a value the
// part matches (0x10).
std::optional<std::array<std::uint8_t, 3>> firstPartOf(std::uint8_t maker) {
  for (std::size_t i = 1; i < serialflash::kFlashCatalogue.size(); ++i) {
    const auto& e = serialflash::kFlashCatalogue[i];
    if (e.manufacturer != maker) continue;
    return std::array<std::uint8_t, 3>{e.manufacturer, e.device == 0xFF ? std::uint8_t{0x10} : e.device,
                                       e.third == 0xFF ? std::uint8_t{0x10} : e.third};
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> parseNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  if (ec != std::errc{} || ptr != end) return std::nullopt;
  return value;
}

std::optional<std::array<std::uint8_t, 3>> parseFlashId(std::string_view text, std::string* error) {
  const std::string name = lower(text);
  for (const auto& maker : kMakers) {
    if (name == maker.name) {
      if (auto id = firstPartOf(maker.code)) return id;
    }
  }
  std::array<std::uint8_t, 3> id{};
  std::string_view rest = text;
  for (std::size_t i = 0; i < id.size(); ++i) {
    const auto colon = rest.find(':');
    const std::string_view part = rest.substr(0, colon);
    std::uint8_t byte = 0;
    const auto* end = part.data() + part.size();
    const auto [ptr, ec] = std::from_chars(part.data(), end, byte, 16);
    const bool last = i + 1 == id.size();
    if (part.empty() || part.size() > 2 || ec != std::errc{} || ptr != end ||
        (last != (colon == std::string_view::npos))) {
      if (error)
        *error = "'" + std::string(text) + "' is not a flash id: give three hex bytes such as C2:20:11, or a maker (" +
                 flashMakerNames() + ")";
      return std::nullopt;
    }
    id[i] = byte;
    if (!last) rest.remove_prefix(colon + 1);
  }
  return id;
}

std::string flashMakerNames() {
  std::string names;
  for (const auto& maker : kMakers) {
    if (!names.empty()) names += ", ";
    names += maker.name;
  }
  return names;
}

}  // namespace emberline::cli
