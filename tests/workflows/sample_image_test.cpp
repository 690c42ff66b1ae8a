// The generated images: the committed sample is the generator's output, and
// each kind has the shape the demo and the benchmark rely on.

#include <gmock/gmock.h>

#include <fstream>
#include <iterator>

#include "core/workflows/camera_session.h"
#include "sample_image.h"

namespace emberline::tools {
namespace {

std::size_t blankBlocks(const std::vector<std::uint8_t>& image) {
  std::size_t n = 0;
  for (std::size_t o = 0; o + 8 <= image.size(); o += 8) {
    n += std::all_of(image.begin() + o, image.begin() + o + 8, [](auto b) { return b == 0xFF; });
  }
  return n;
}

TEST(SampleImage, TheCommittedSampleIsWhatTheGeneratorMakes) {
  std::ifstream in(EMBERLINE_SAMPLE_IMAGE, std::ios::binary);
  const std::vector<std::uint8_t> committed{std::istreambuf_iterator<char>(in), {}};
  EXPECT_TRUE(committed == makeImage(ImageKind::Sample)) << "regenerate res/sample/sample.src";
}

TEST(SampleImage, EveryKindIsABurnableImageOfItsShape) {
  const struct {
    ImageKind kind;
    std::size_t min_blank, max_blank;
  } cases[] = {
      {ImageKind::Sample, 4000, 12000},
      {ImageKind::Dense, 1, 1},  // only the tail
      {ImageKind::HalfBlank, 8192, 8192},
  };
  for (const auto& c : cases) {
    const auto image = makeImage(c.kind);
    ASSERT_EQ(image.size(), workflows::kImageSize);
    EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "QR5X");
    EXPECT_THAT(std::vector<std::uint8_t>(image.end() - 8, image.end()), ::testing::Each(0xFF));
    EXPECT_GE(blankBlocks(image), c.min_blank);
    EXPECT_LE(blankBlocks(image), c.max_blank);
    EXPECT_EQ(image, makeImage(c.kind));
  }
  EXPECT_EQ(parseImageKind("half-blank"), ImageKind::HalfBlank);
  EXPECT_EQ(parseImageKind("other"), std::nullopt);
}

}  // namespace
}  // namespace emberline::tools
