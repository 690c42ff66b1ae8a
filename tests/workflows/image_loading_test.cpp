// Loading a source image: only files of exactly 131,072 bytes, all or nothing.

#include <gmock/gmock.h>

#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

using ::testing::ElementsAre;

using ImageLoadingTest = SessionTest;

TEST_F(ImageLoadingTest, StartsBlank) {
  EXPECT_THAT(std::vector<std::uint8_t>(session.image().begin(), session.image().end()),
              ::testing::Each(0xFF));
}

TEST_F(ImageLoadingTest, OnlyAnExactSizeReplacesTheImage) {
  const auto good = patternImage();
  load(good);

  const struct {
    const char* name;
    std::size_t size;  // 0: not a file of that size (see path)
    LoadResult result;
    const char* message;
  } cases[] = {
      {"short.bin", kImageSize - 1, LoadResult::WrongSize, "It is not a Rom file!"},
      {"long.hex", kImageSize + 1, LoadResult::WrongSize, "It is not a Rom file!"},
      {"missing.src", 0, LoadResult::CannotOpen, "Can't Open File!"},
      {"folder.src", 0, LoadResult::CannotOpen, "Can't Open File!"},
      {"exact.any", kImageSize, LoadResult::Loaded, nullptr},
  };
  std::filesystem::create_directory(dir / "folder.src");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = dir / c.name;
    if (c.size != 0) writeFile(path, std::vector<std::uint8_t>(c.size, 0x5A));
    ui.events.clear();
    EXPECT_EQ(session.LoadSourceImage(path), c.result);
    const std::vector<std::uint8_t> now(session.image().begin(), session.image().end());
    if (c.message != nullptr) {
      EXPECT_THAT(ui.outline(), ElementsAre("text 1001 " + path.string(), std::string("message ") + c.message));
      EXPECT_EQ(now, good);
    } else {
      EXPECT_THAT(ui.outline(), ElementsAre("text 1001 " + path.string(), "status 105"));
      EXPECT_EQ(now, std::vector<std::uint8_t>(kImageSize, 0x5A));
    }
  }
}

}  // namespace
}  // namespace emberline::workflows::testing
