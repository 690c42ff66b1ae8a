#include "core/workflows/version_block.h"

#include <algorithm>
#include <cstddef>
#include <span>

namespace emberline::workflows {

std::optional<VersionBlockAddresses> versionTextAddresses(std::uint8_t chip_id) {
  switch (chip_id) {
    case 0x16:
    case 0x32:
      return VersionBlockAddresses{0x0FD0, 0x0153};
    case 0x23:
    case 0x33:
      return VersionBlockAddresses{0x1E00, 0x01F3};
    case 0x25:
    case 0x56:
      return VersionBlockAddresses{0x3E00, 0x01F3};
    case 0x70:
    case 0x71:
    case 0x83:
      return VersionBlockAddresses{0x3E05, 0x3E00};
    case 0x76:
      return VersionBlockAddresses{0x3FD0, 0x0153};
    case 0x90:
      return VersionBlockAddresses{0x3E00, 0x0150};
    default:
      return std::nullopt;
  }
}

VersionBlockAddresses exportNameAddresses(std::uint8_t chip_id) {
  switch (chip_id) {
    case 0x16:
    case 0x25:
      return {0x3E00, 0x01F3};
    case 0x23:
    case 0x33:
      return {0x1E00, 0x01F3};
    default:
      return {0x0FD0, 0x0153};
  }
}

namespace {

// The bytes up to the first NUL, as text.
std::string textOf(std::span<const std::uint8_t> bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  return std::string(bytes.begin(), end);
}

// Every byte but '-', NUL bytes included (they then fail the name check).
std::string withoutDashes(std::span<const std::uint8_t> field) {
  std::string out;
  for (std::uint8_t b : field) {
    if (b != '-') out.push_back(static_cast<char>(b));
  }
  return out;
}

bool allowedInName(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
         c == '_';
}

}  // namespace

std::string utf8FromLatin1(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return out;
}

std::string versionTextBytes(const VersionBlock& block) {
  std::string raw;
  const auto add = [&raw](std::span<const std::uint8_t> bytes) { raw.append(bytes.begin(), bytes.end()); };
  add(block.tag);
  raw += "\r\n";
  add(block.field2);
  raw += "\r\n";
  add(block.field1);
  raw += "\r\n";
  add(block.field3);
  raw.resize(raw.find('\0') == std::string::npos ? raw.size() : raw.find('\0'));
  return raw;
}

std::string formatVersionText(const VersionBlock& block, const NarrowTextDecoder& decode) {
  const std::string bytes = versionTextBytes(block);
  return decode ? decode(bytes) : utf8FromLatin1(bytes);
}

std::optional<std::string> exportNameFromBlock(const VersionBlock& block) {
  const std::span<const std::uint8_t> tag(block.tag);
  const std::span<const std::uint8_t> f3(block.field3);

  std::string name = textOf(tag.first(4));
  name += '-';
  name += withoutDashes(block.field2);
  name += '-';
  name += textOf(tag.subspan(4, 1));
  name += "-V";
  name += textOf(f3.subspan(0, 6));
  name += '_';
  name += textOf(f3.subspan(6, 2));
  name += '_';
  name += textOf(f3.subspan(8, 2));
  name += '-';
  name += withoutDashes(block.field1);

  if (!std::all_of(name.begin(), name.end(), allowedInName)) return std::nullopt;
  return name + ".src";
}

}  // namespace emberline::workflows
