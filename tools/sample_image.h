#pragma once

// Deterministic flash images for the demo, the tests and the benchmark. All
// are 131,072 bytes, begin with the family signature "QR5X" and end with
// 8 bytes of 0xFF (the part of the flash a burn never programs).

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace emberline::tools {

enum class ImageKind {
  Sample,     // firmware-like: code, tables, a string area, blank stretches
  Dense,      // no blank 8-byte block at all: every block is programmed
  HalfBlank,  // alternating 512-byte runs of dense data and 0xFF
};

std::vector<std::uint8_t> makeImage(ImageKind kind);

// "sample", "dense", "half-blank".
std::optional<ImageKind> parseImageKind(std::string_view name);

}  // namespace emberline::tools
