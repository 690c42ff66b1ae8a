#include "sample_image.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace emberline::tools {
namespace {

constexpr std::size_t kSize = 0x20000;
constexpr std::uint32_t kTailStart = kSize - 8;  // never programmed: stays 0xFF

// xorshift32: tiny, fixed, the same on every platform and compiler.
class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(seed) {}
  std::uint32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  std::uint8_t byte() { return static_cast<std::uint8_t>(next() >> 24); }
  // Never 0xFF, so a run of these never forms a blank block.
  std::uint8_t denseByte() { return static_cast<std::uint8_t>(next() % 0xFF); }

 private:
  std::uint32_t state_;
};

void putSignature(std::vector<std::uint8_t>& image) {
  const std::string_view signature = "QR5X";
  std::copy(signature.begin(), signature.end(), image.begin());
}

void putText(std::vector<std::uint8_t>& image, std::size_t at, std::string_view text) {
  std::copy(text.begin(), text.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
}

// The firmware's version block where the default chip (0x33) keeps it: the
// ROM tag at 0x01F3 and the three 10-byte fields from 0x1E00; and its
// write-protect configuration byte at 0x000F (0: no pin, the flash's opcodes).
void putVersionBlock(std::vector<std::uint8_t>& image) {
  putText(image, 0x01F3, "QR5XS");
  putText(image, 0x1E00, "2026-11-30");
  putText(image, 0x1E0A, "EM-7654321");
  putText(image, 0x1E14, "2611301745");
  image[0x000F] = 0x00;
}

// Instruction-like bytes of an 8-bit controller: an opcode from a small,
// skewed set followed by its operands, with returns now and then.
void fillCode(std::vector<std::uint8_t>& image, std::size_t begin, std::size_t end, Random& rng) {
  static constexpr std::array<std::uint8_t, 16> kOpcodes{0x74, 0x90, 0xE0, 0xF0, 0x12, 0x02,
                                                         0x80, 0x60, 0x70, 0xE5, 0xF5, 0x75,
                                                         0xA3, 0x24, 0xC3, 0x22};
  static constexpr std::array<int, 16> kOperands{1, 2, 0, 0, 2, 2, 1, 1, 1, 1, 1, 2, 0, 1, 0, 0};
  std::size_t at = begin;
  while (at < end) {
    const std::size_t op = rng.next() % kOpcodes.size();
    image[at++] = kOpcodes[op];
    for (int i = 0; i < kOperands[op] && at < end; ++i) image[at++] = rng.denseByte();
  }
}

// A lookup table: a smooth curve, like the gamma and colour tables of a
// camera's firmware.
void fillTable(std::vector<std::uint8_t>& image, std::size_t begin, std::size_t end) {
  for (std::size_t i = begin; i < end; ++i) {
    const std::size_t x = (i - begin) % 256;
    image[i] = static_cast<std::uint8_t>((x * x) / 256 + (x / 2) % 7);
  }
}

// NUL-terminated strings with blank gaps between them.
void fillStrings(std::vector<std::uint8_t>& image, std::size_t begin, std::size_t end) {
  static constexpr std::array<std::string_view, 6> kTexts{
      "Emberline sample image", "USB Camera", "QR5X family",
      "2026-12-06",             "EM-1234567", "not a real firmware"};
  std::size_t at = begin;
  for (std::size_t n = 0; at + 64 <= end; ++n) {
    const std::string_view text = kTexts[n % kTexts.size()];
    std::copy(text.begin(), text.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    image[at + text.size()] = 0x00;
    at += 64 + 64 * (n % 3);  // leaves 0xFF stretches of varying length
  }
}

std::vector<std::uint8_t> makeSample() {
  std::vector<std::uint8_t> image(kSize, 0xFF);
  Random rng(0x5EED1234);
  putSignature(image);
  // 0x00004-0x000FF: a small header: image size and a version tuple.
  image[4] = 0x00; image[5] = 0x00; image[6] = 0x02; image[7] = 0x00;
  image[8] = 1; image[9] = 4; image[10] = 7;
  fillCode(image, 0x00100, 0x06000, rng);
  fillTable(image, 0x08000, 0x0A000);
  fillCode(image, 0x0C000, 0x0C800, rng);
  fillCode(image, 0x10000, 0x14000, rng);  // the upper bank starts programmed
  fillTable(image, 0x18000, 0x18400);
  fillStrings(image, 0x1E000, 0x1F000);
  putVersionBlock(image);
  // A checksum of everything before it, just below the never-programmed tail.
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < 0x1FFF0; ++i) sum += image[i];
  for (int i = 0; i < 4; ++i) image[0x1FFF0 + i] = static_cast<std::uint8_t>(sum >> (8 * i));
  return image;
}

std::vector<std::uint8_t> makeDense() {
  std::vector<std::uint8_t> image(kSize, 0xFF);
  Random rng(0xD15EA5E5);
  for (std::size_t i = 0; i < kTailStart; ++i) image[i] = rng.denseByte();
  putSignature(image);
  return image;
}

std::vector<std::uint8_t> makeHalfBlank() {
  std::vector<std::uint8_t> image(kSize, 0xFF);
  Random rng(0x0BA1F0FF);
  for (std::size_t i = 0; i < kTailStart; ++i) {
    if ((i / 512) % 2 == 0) image[i] = rng.denseByte();
  }
  putSignature(image);
  return image;
}

}  // namespace

std::vector<std::uint8_t> makeImage(ImageKind kind) {
  switch (kind) {
    case ImageKind::Dense:
      return makeDense();
    case ImageKind::HalfBlank:
      return makeHalfBlank();
    case ImageKind::Sample:
      break;
  }
  return makeSample();
}

std::optional<ImageKind> parseImageKind(std::string_view name) {
  if (name == "sample") return ImageKind::Sample;
  if (name == "dense") return ImageKind::Dense;
  if (name == "half-blank") return ImageKind::HalfBlank;
  return std::nullopt;
}

}  // namespace emberline::tools
