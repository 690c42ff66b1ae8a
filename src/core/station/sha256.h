#pragma once

// SHA-256 of an image, for the record of each attempt.

#include <cstdint>
#include <span>
#include <string>

namespace emberline::station {

// Lower-case hexadecimal digest of `data`.
std::string sha256Hex(std::span<const std::uint8_t> data);

}  // namespace emberline::station
