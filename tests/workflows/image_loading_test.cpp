// Loading a source image: only files of exactly 131,072 bytes, all or nothing.

#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

using ImageLoadingTest = SessionTest;

// The path box changes only with the image: a refused file leaves both as
// they were.
TEST_F(ImageLoadingTest, OnlyAnExactSizeReplacesTheImageAndItsPath) {
  EXPECT_THAT(std::vector<std::uint8_t>(session.image().begin(), session.image().end()), ::testing::Each(0xFF));
  const auto good = patternImage();
  load(good);
  std::filesystem::create_directory(dir / "folder.src");
  const struct {
    const char* name;
    std::size_t size;  // 0: nothing written there
    LoadResult result;
    const char* event;
  } cases[] = {
      {"short.bin", kImageSize - 1, LoadResult::WrongSize, "message It is not a Rom file!"},
      {"long.hex", kImageSize + 1, LoadResult::WrongSize, "message It is not a Rom file!"},
      {"missing.src", 0, LoadResult::CannotOpen, "message Can't Open File!"},
      {"folder.src", 0, LoadResult::CannotOpen, "message Can't Open File!"},
      {"exact.any", kImageSize, LoadResult::Loaded, "status 105"},
  };
  for (const auto& c : cases) {
    const auto path = dir / c.name;
    if (c.size != 0) writeFile(path, std::vector<std::uint8_t>(c.size, 0x5A));
    ui.events.clear();
    EXPECT_EQ(session.LoadSourceImage(path), c.result) << c.name;
    if (c.result == LoadResult::Loaded) {
      EXPECT_THAT(ui.events, ::testing::ElementsAre("text 1001 " + path.string(), c.event));
    } else {
      EXPECT_THAT(ui.events, ::testing::ElementsAre(c.event));
    }
    const std::vector<std::uint8_t> now(session.image().begin(), session.image().end());
    EXPECT_EQ(now, c.size == kImageSize ? std::vector<std::uint8_t>(kImageSize, 0x5A) : good) << c.name;
  }
}

}  // namespace
}  // namespace emberline::workflows::testing
