#pragma once

// The chip's version block in memory space 7: a 5-byte RomTag and three
// 10-byte text fields, at addresses that depend on the chip model; and the
// two texts made from it, the F/W Version text and the export file name.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace emberline::workflows {

struct VersionBlockAddresses {
  std::uint16_t base;  // first field; the second and third follow at +10, +20
  std::uint16_t tag;
};

struct VersionBlock {
  std::array<std::uint8_t, 10> field1{};
  std::array<std::uint8_t, 10> field2{};
  std::array<std::uint8_t, 10> field3{};
  std::array<std::uint8_t, 5> tag{};
};

// Where the F/W Version command reads the block; nullopt for models it does
// not know.
std::optional<VersionBlockAddresses> versionTextAddresses(std::uint8_t chip_id);
// Where the export name is read from; every model has an answer.
VersionBlockAddresses exportNameAddresses(std::uint8_t chip_id);
// Where each chip model keeps its write-protect configuration byte (space 7).
std::uint16_t writeProtectConfigAddress(std::uint8_t chip_id);

// Turns the chip's narrow text (bytes in the camera's code page) into UTF-8.
using NarrowTextDecoder = std::function<std::string(std::string_view)>;

// Every byte taken as Latin-1; the result is UTF-8.
std::string utf8FromLatin1(std::string_view bytes);

// Tag, second, first and third field on four lines (CR LF), ending at the
// first NUL byte, still as the chip's bytes.
std::string versionTextBytes(const VersionBlock& block);

// versionTextBytes() decoded to UTF-8, as Latin-1 when no decoder is given.
std::string formatVersionText(const VersionBlock& block, const NarrowTextDecoder& decode = {});

// "TAG4-FIELD2-T5-VYYMMDD_hh_mm-FIELD1.src" with the dashes of the first and
// second field dropped; nullopt when the name would hold a character other
// than ASCII letters, digits, '-' and '_'.
std::optional<std::string> exportNameFromBlock(const VersionBlock& block);

// Used when no version-derived name can be built.
inline constexpr const char* kDefaultExportName = "QorinAllRomFile.src";

}  // namespace emberline::workflows
