#pragma once

// Small text helpers the commands share.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace emberline::cli {

// "0x33"
std::string hexByte(std::uint8_t value);
// "0x1F800"
std::string hexOffset(std::uint32_t value);
// "C2:20:11"
std::string flashIdText(const std::array<std::uint8_t, 3>& id);
// The lines of a text whose lines end in CR LF or LF.
std::vector<std::string> splitLines(std::string_view text);

}  // namespace emberline::cli
