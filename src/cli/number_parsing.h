#pragma once

// Numbers and flash ids as the sim options take them.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace emberline::cli {

// Decimal ("131072") or 0x-prefixed hexadecimal ("0x20000"); nullopt for
// anything else (signs, spaces, a leading zero is still decimal).
std::optional<std::uint64_t> parseNumber(std::string_view text);

// Three identification bytes "C2:20:11" (hex, any case), or the name of a
// maker in the flash catalogue ("macronix"), which gives that maker's first
// catalogue part. nullopt and a message otherwise.
std::optional<std::array<std::uint8_t, 3>> parseFlashId(std::string_view text, std::string* error);

// The maker names parseFlashId accepts, comma-separated, for help texts.
std::string flashMakerNames();

}  // namespace emberline::cli
