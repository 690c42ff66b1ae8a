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
// Text from a camera (version fields, names, tags) made safe for a terminal:
// control characters (C0, DEL, C1), escape sequences, bidirectional controls
// and bytes that are not UTF-8 become \xNN (each byte), so that a camera
// cannot drive the user's terminal or reorder its lines. Printable UTF-8
// passes as it is.
std::string visibleText(std::string_view text);
// The lines of a text whose lines end in CR LF or LF.
std::vector<std::string> splitLines(std::string_view text);

}  // namespace emberline::cli
