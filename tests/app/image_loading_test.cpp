// Loading the source image with "Browse" and by dropping files.

#include "dialog_fixture.h"

namespace emberline::app {
namespace {

using testing::DialogRig;
using testing::familyImage;
using testing::HeldLauncher;
using testing::kAuxiliaryPageVisible;
using testing::kBurnPageVisible;
using testing::writeFile;

template <typename Launcher>
class ImageLoadingBase : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(rig.init()); }
  std::filesystem::path file(const std::string& name, std::size_t size = w::kImageSize) {
    return writeFile(folder.path() / name, familyImage(size));
  }
  bool imageEquals(const std::vector<std::uint8_t>& bytes) {
    const auto image = rig.dialog->session()->image();
    return std::equal(image.begin(), image.end(), bytes.begin(), bytes.end());
  }
  bool imageBlank() {
    const auto image = rig.dialog->session()->image();
    return std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0xFF; });
  }
  testing::TempFolder folder;
  DialogRig<Launcher> rig;
};

using ImageLoading = ImageLoadingBase<InlineLauncher>;

TEST_F(ImageLoading, BrowseLoadsTheChosenFileWithoutChangingThePage) {
  const auto path = file("firmware.bin");
  rig.view.file_answers.push_back(path);
  EXPECT_TRUE(rig.dialog->OnCommand(w::kCtlBrowse));

  EXPECT_EQ(rig.view.offered_filters, (std::vector<std::string>{"*.SRC", "*.BIN", "*.HEX", "*.*"}));
  EXPECT_TRUE(imageEquals(familyImage()));
  EXPECT_EQ(rig.dialog->control(w::kCtlImagePath).text, path.string());
  EXPECT_EQ(rig.status(), "Click 'GO' to start burning...");
  EXPECT_TRUE(rig.view.matching("select").size() == 1);  // only start-up's
  EXPECT_TRUE(rig.view.messages.empty());
}

TEST_F(ImageLoading, CancelledBrowseChangesNothing) {
  const auto events = rig.view.events.size();
  rig.dialog->OnBnClickedBrowse();
  EXPECT_EQ(rig.view.events.size(), events + 1);  // the file dialog only
  EXPECT_TRUE(imageBlank());
}

struct DropCase {
  const char* name;
  std::size_t size;  // 0: no such file
  const char* message;  // empty: loads
};

class DropOnAuxiliaryPage : public ImageLoading, public ::testing::WithParamInterface<DropCase> {};

TEST_P(DropOnAuxiliaryPage, LoadsOnlyAnImageOfExactSizeAndThenShowsTheBurnPage) {
  const DropCase& c = GetParam();
  rig.dialog->OnTcnSelchangeTab(1);
  const auto path = c.size ? file("drop.hex", c.size) : folder.path() / "missing.src";
  rig.dialog->OnDropFiles({path});

  EXPECT_EQ(rig.dialog->control(w::kCtlImagePath).text, path.string());
  if (std::string(c.message).empty()) {
    EXPECT_TRUE(rig.view.messages.empty());
    EXPECT_TRUE(imageEquals(familyImage()));
    EXPECT_EQ(rig.dialog->currentTab(), 0);
    EXPECT_EQ(rig.view.events.back(), "hide 1017");
    EXPECT_EQ(rig.visibleControls(), kBurnPageVisible);
    EXPECT_EQ(rig.status(), "Click 'GO' to start burning...");
  } else {
    EXPECT_EQ(rig.view.messages, std::vector<std::string>{c.message});
    EXPECT_TRUE(imageBlank());
    EXPECT_EQ(rig.dialog->currentTab(), 1);
    EXPECT_EQ(rig.visibleControls(), kAuxiliaryPageVisible);
    EXPECT_EQ(rig.status(), "No Task is Running...");
  }
}

INSTANTIATE_TEST_SUITE_P(Files, DropOnAuxiliaryPage,
                         ::testing::Values(DropCase{"Exact", 131072, ""},
                                           DropCase{"OneShort", 131071, "It is not a Rom file!"},
                                           DropCase{"OneLong", 131073, "It is not a Rom file!"},
                                           DropCase{"Missing", 0, "Can't Open File!"}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(ImageLoading, OnlyTheFirstOfSeveralDroppedFilesCounts) {
  rig.dialog->OnDropFiles({file("good.src"), file("bad.src", 10)});
  EXPECT_TRUE(rig.view.messages.empty());
  EXPECT_TRUE(imageEquals(familyImage()));

  rig.dialog->OnDropFiles({file("bad.src", 10), file("good.src")});
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{"It is not a Rom file!"});
  EXPECT_TRUE(imageEquals(familyImage()));  // the earlier image stays
  EXPECT_EQ(rig.dialog->control(w::kCtlImagePath).text, (folder.path() / "bad.src").string());
}

TEST_F(ImageLoading, DropWithoutAFileNameDoesNothing) {
  const auto events = rig.view.events.size();
  rig.dialog->OnDropFiles({});
  rig.dialog->OnDropFiles({std::filesystem::path()});
  EXPECT_EQ(rig.view.events.size(), events);
}

using ImageLoadingWhileRunning = ImageLoadingBase<HeldLauncher>;

TEST_F(ImageLoadingWhileRunning, ADropDuringABurnIsRefusedAndTheBurnUsesTheEarlierImage) {
  const auto first = familyImage();
  rig.dialog->OnDropFiles({file("first.src")});
  rig.dialog->OnBnClickedGo();
  ASSERT_TRUE(rig.launcher.held);

  auto other = familyImage();
  other[100] ^= 0x5A;
  const auto second = writeFile(folder.path() / "second.src", other);
  rig.dialog->OnDropFiles({second});
  rig.view.file_answers.push_back(second);
  rig.dialog->OnBnClickedBrowse();
  EXPECT_EQ(rig.view.messages, std::vector<std::string>(2, std::string(kMsgBusy)));
  EXPECT_NE(rig.dialog->control(w::kCtlImagePath).text, second.string());
  EXPECT_TRUE(imageEquals(first));

  rig.launcher.runHeld();
  EXPECT_EQ(rig.status(), "Burn Successes!");
  const auto flash = rig.camera->flash();
  EXPECT_TRUE(std::equal(first.begin(), first.end() - 8, flash.begin()));
}

TEST_F(ImageLoadingWhileRunning, ADropDuringAnEraseLoads) {
  rig.dialog->OnTcnSelchangeTab(1);
  rig.dialog->OnBnClickedEraseSf();
  ASSERT_TRUE(rig.launcher.held);
  rig.dialog->OnDropFiles({file("fw.src")});
  EXPECT_TRUE(rig.view.messages.empty());
  EXPECT_TRUE(imageEquals(familyImage()));
  rig.launcher.runHeld();
}

}  // namespace
}  // namespace emberline::app
