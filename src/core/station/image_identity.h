#pragma once

// Which image is which, as an operator compares them: the version block the
// image carries (where a camera of its chip keeps it, so it reads as
// `version` would read it after the burn) and the first 8 hex digits of the
// image's SHA-256. The dialog, the station window and the command line show
// the same pair.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/workflows/version_block.h"

namespace emberline::station {

struct ImageIdentity {
  std::string version;  // the four version lines on one line, UTF-8
  std::string sha256;   // lower-case hex, all 64 digits

  std::string shortSha256() const { return sha256.substr(0, 8); }
  // "QR5XS EM-1234567 2026-12-06 2612061200  SHA-256 1a2b3c4d"
  std::string line() const;
};

// The chip whose layout is read when the camera's is not known (the
// family's usual chip, which the sample image and simulated cameras use).
inline constexpr std::uint8_t kDefaultIdentityChip = 0x33;

// The identity of a whole image (kImageSize bytes). `chip_id` chooses where
// the version block is read; a chip without a known block, or none, reads
// it where kDefaultIdentityChip keeps it.
ImageIdentity identifyImage(std::span<const std::uint8_t> image, std::optional<std::uint8_t> chip_id = {},
                            const workflows::NarrowTextDecoder& decode = {});

}  // namespace emberline::station
