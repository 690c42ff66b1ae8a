#include "core/device/guid.h"

#include <cstdio>

namespace emberline::device {

std::string toString(const Guid& g) {
  const auto& b = g.bytes;
  char text[40];
  std::snprintf(text, sizeof text,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                b[14], b[15]);
  return text;
}

std::optional<Guid> parseGuid(std::string_view text) {
  // Hex digit pairs in text order, and the byte each becomes in memory
  // (Data1-3 are little-endian).
  constexpr std::size_t kPairAt[16] = {1, 3, 5, 7, 10, 12, 15, 17, 20, 22, 25, 27, 29, 31, 33, 35};
  constexpr std::size_t kByteOf[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  if (text.size() != 38 || text.front() != '{' || text.back() != '}' || text[9] != '-' ||
      text[14] != '-' || text[19] != '-' || text[24] != '-')
    return std::nullopt;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  Guid guid;
  for (std::size_t i = 0; i < 16; ++i) {
    const int high = digit(text[kPairAt[i]]);
    const int low = digit(text[kPairAt[i] + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    guid.bytes[kByteOf[i]] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return guid;
}

}  // namespace emberline::device
