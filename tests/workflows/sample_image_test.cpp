// The generated images: the committed sample is the generator's output, and
// each kind has the shape the demo and the benchmark rely on.

#include <gmock/gmock.h>

#include "sample_image.h"
#include "workflows/session_fixture.h"

namespace emberline::tools {
namespace {

TEST(SampleImage, TheCommittedSampleIsWhatTheGeneratorMakes) {
  EXPECT_TRUE(workflows::testing::readFile(EMBERLINE_SAMPLE_IMAGE) == makeImage(ImageKind::Sample))
      << "regenerate res/sample/sample.src with emberline_mksample";
}

TEST(SampleImage, EveryKindIsABurnableImageOfItsShape) {
  const std::tuple<ImageKind, std::size_t, std::size_t> cases[] = {
      {ImageKind::Sample, 4000, 12000}, {ImageKind::Dense, 1, 1}, {ImageKind::HalfBlank, 8192, 8192}};
  for (const auto& [kind, min_blank, max_blank] : cases) {
    const auto image = makeImage(kind);
    ASSERT_EQ(image.size(), workflows::kImageSize);
    EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "QR5X");
    std::size_t blank = 0;
    for (std::size_t o = 0; o < image.size(); o += 8) blank += workflows::testing::isBlank(&image[o]);
    EXPECT_TRUE(workflows::testing::isBlank(&image[image.size() - 8]));  // never programmed
    EXPECT_GE(blank, min_blank);
    EXPECT_LE(blank, max_blank);
  }
}

}  // namespace
}  // namespace emberline::tools
