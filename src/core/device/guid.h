#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace emberline::device {

// A GUID as its 16 bytes are laid out in memory (Data1-3 little-endian), which
// is also how a USB extension-unit descriptor carries guidExtensionCode.
struct Guid {
  std::array<std::uint8_t, 16> bytes{};

  friend bool operator==(const Guid&, const Guid&) = default;
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in the usual registry notation.
std::string toString(const Guid& guid);
// The reverse of toString (either case); nullopt for any other text.
std::optional<Guid> parseGuid(std::string_view text);

// The camera family's vendor extension unit: {28F03370-6311-4A2E-BA2C-6890EB334016}.
inline constexpr Guid kExtensionUnitPropertySet{{0x70, 0x33, 0xF0, 0x28, 0x11, 0x63, 0x2E, 0x4A,
                                                 0xBA, 0x2C, 0x68, 0x90, 0xEB, 0x33, 0x40, 0x16}};

// Camera-driver property sets that expose DSP registers; only the chip-id
// fallback uses them. A: {F1CAFC1D-D7D6-400F-A7FD-96715E0BD958}, tried first.
inline constexpr Guid kDriverPropertySetA{{0x1D, 0xFC, 0xCA, 0xF1, 0xD6, 0xD7, 0x0F, 0x40,
                                           0xA7, 0xFD, 0x96, 0x71, 0x5E, 0x0B, 0xD9, 0x58}};
// B: {E02A32D0-D2FC-4628-A1DD-DE079B11DFE1}, tried when A refuses.
inline constexpr Guid kDriverPropertySetB{{0xD0, 0x32, 0x2A, 0xE0, 0xFC, 0xD2, 0x28, 0x46,
                                           0xA1, 0xDD, 0xDE, 0x07, 0x9B, 0x11, 0xDF, 0xE1}};

}  // namespace emberline::device
