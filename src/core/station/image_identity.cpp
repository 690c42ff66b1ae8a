#include "core/station/image_identity.h"

#include <algorithm>

#include "core/station/sha256.h"

namespace emberline::station {

namespace {

template <std::size_t N>
void copyAt(std::span<const std::uint8_t> image, std::size_t at, std::array<std::uint8_t, N>& into) {
  into.fill(0);
  if (at >= image.size()) return;
  const std::size_t n = std::min(N, image.size() - at);
  std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(at), n, into.begin());
}

}  // namespace

std::string ImageIdentity::line() const { return version + "  SHA-256 " + shortSha256(); }

ImageIdentity identifyImage(std::span<const std::uint8_t> image, std::optional<std::uint8_t> chip_id,
                            const workflows::NarrowTextDecoder& decode) {
  auto where = chip_id ? workflows::versionTextAddresses(*chip_id) : std::nullopt;
  if (!where) where = workflows::versionTextAddresses(kDefaultIdentityChip);
  // The version block lives in the flash, at the same offsets in the image.
  workflows::VersionBlock block;
  copyAt(image, where->base, block.field1);
  copyAt(image, where->base + 10u, block.field2);
  copyAt(image, where->base + 20u, block.field3);
  copyAt(image, where->tag, block.tag);
  std::string version = workflows::formatVersionText(block, decode);
  // One line: the CR LF between the text's lines become spaces.
  std::string joined;
  for (std::size_t i = 0; i < version.size(); ++i) {
    if (version[i] == '\r' && i + 1 < version.size() && version[i + 1] == '\n') {
      joined += ' ';
      ++i;
    } else {
      joined += version[i];
    }
  }
  return {joined, sha256Hex(image)};
}

}  // namespace emberline::station
