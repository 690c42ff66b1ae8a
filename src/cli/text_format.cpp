#include "cli/text_format.h"

#include <cstdio>

namespace emberline::cli {

std::string hexByte(std::uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
  return text;
}

std::string hexOffset(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%05X", static_cast<unsigned>(value));
  return text;
}

std::string flashIdText(const std::array<std::uint8_t, 3>& id) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X:%02X:%02X", static_cast<unsigned>(id[0]),
                static_cast<unsigned>(id[1]), static_cast<unsigned>(id[2]));
  return text;
}

namespace {

void escapeByte(std::string& out, unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02X", static_cast<unsigned>(byte));
  out += text;
}

// Length of the UTF-8 sequence starting at text[0] and its code point; 0
// when it is not well-formed (overlong, surrogate, truncated, beyond U+10FFFF).
std::size_t utf8Sequence(std::string_view text, char32_t& code) {
  const auto b0 = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
    code = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    code = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    code = b0 & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if ((b & 0xC0) != 0x80) return 0;
    code = (code << 6) | (b & 0x3F);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

// Bidirectional formatting characters and line separators: text from a
// camera must not reorder what the terminal shows after it.
bool reordersText(char32_t code) {
  return code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x2028 && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069);
}

}  // namespace

std::string visibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text[0]);
    if (byte < 0x80) {
      if (byte < 0x20 || byte == 0x7F)
        escapeByte(out, byte);
      else
        out.push_back(static_cast<char>(byte));
      text.remove_prefix(1);
      continue;
    }
    char32_t code = 0;
    const std::size_t length = utf8Sequence(text, code);
    if (length == 0 || code < 0xA0 || reordersText(code)) {
      // Not UTF-8, a C1 control such as U+009B (the one-byte CSI), or a
      // bidirectional control that would show the rest of the line backwards.
      const std::size_t bad = length == 0 ? 1 : length;
      for (std::size_t i = 0; i < bad; ++i) escapeByte(out, static_cast<unsigned char>(text[i]));
      text.remove_prefix(bad);
      continue;
    }
    out.append(text.substr(0, length));
    text.remove_prefix(length);
  }
  return out;
}

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace emberline::cli
