// Page switches through the tab bar, files dropped on the dialog, and the
// file dialog of "Browse".

#include <QFileDialog>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "gui_fixture.h"

namespace emberline::gui {
namespace {

using testing::GuiRig;

const std::set<int> kBurnPage{w::kCtlBrowse, w::kCtlImagePath, w::kCtlGo,
                              w::kCtlProgressData, w::kCtlStatus, w::kCtlTab};
const std::set<int> kAuxiliaryPage{w::kCtlEraseSf, w::kCtlRomExport, w::kCtlExportName, w::kCtlFwVersion,
                                   w::kCtlProgressData, w::kCtlStatus, w::kCtlTab};

class GuiPages : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.dialog->initialise());
    rig.dialog->show();
  }
  void selectTab(int index) { rig.dialog->tabControl()->tabBar()->setCurrentIndex(index); }
  bool imageBlank() {
    const auto image = rig.dialog->controller().session()->image();
    return std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0xFF; });
  }
  testing::TempFolder folder;
  GuiRig rig;
};

TEST_F(GuiPages, TabBarSwitchesWhichControlsAreShown) {
  selectTab(1);
  EXPECT_EQ(testing::visibleControls(*rig.dialog), kAuxiliaryPage);
  selectTab(0);
  EXPECT_EQ(testing::visibleControls(*rig.dialog), kBurnPage);
}

TEST_F(GuiPages, AValidDropOnTheAuxiliaryPageLoadsAndBringsTheBurnPageForward) {
  selectTab(1);
  const auto path = testing::writeImage(folder.path() / "firmware.bin");
  testing::dropFiles(*rig.dialog, {path});
  EXPECT_TRUE(rig.watcher.seen.isEmpty());
  EXPECT_EQ(rig.dialog->tabControl()->currentIndex(), 0);
  EXPECT_EQ(testing::visibleControls(*rig.dialog), kBurnPage);
  EXPECT_EQ(rig.dialog->controlText(w::kCtlImagePath).toStdString(), path.string());
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), QStringLiteral("Click 'GO' to start burning..."));
  EXPECT_FALSE(imageBlank());
}

TEST_F(GuiPages, AWrongSizeDropIsRefusedAndLeavesThePage) {
  selectTab(1);
  testing::dropFiles(*rig.dialog, {testing::writeImage(folder.path() / "short.src", 131071),
                                   testing::writeImage(folder.path() / "good.src")});
  EXPECT_EQ(rig.watcher.seen, QStringList{QStringLiteral("It is not a Rom file!")});
  EXPECT_EQ(rig.dialog->tabControl()->currentIndex(), 1);
  EXPECT_EQ(testing::visibleControls(*rig.dialog), kAuxiliaryPage);
  EXPECT_TRUE(imageBlank());  // the second file of the drop is ignored
}

TEST_F(GuiPages, ADropWhileABurnRunsIsRefused) {
  // The burn without an image stops at its message box; while the box is
  // open the worker is still running, and a file arrives.
  bool dropped = false;
  bool scheduled = false;
  rig.watcher.on_message = [&](QMessageBox* box) {
    if (box->text() != QStringLiteral("No Source File!") || dropped) return true;
    if (!scheduled) {
      scheduled = true;
      QTimer::singleShot(0, [&] {
        EXPECT_TRUE(rig.dialog->controller().busy());
        testing::dropFiles(*rig.dialog, {testing::writeImage(folder.path() / "fw.src")});
        dropped = true;
      });
    }
    return false;
  };
  qobject_cast<QPushButton*>(rig.dialog->control(w::kCtlGo))->click();
  ASSERT_TRUE(testing::waitUntil([&] { return !rig.dialog->controller().busy(); }));
  EXPECT_EQ(rig.watcher.seen, (QStringList{QStringLiteral("No Source File!"), QString::fromUtf8(app::kMsgBusy.data())}));
  EXPECT_TRUE(imageBlank());
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), QStringLiteral("Burn Failed!"));
}

TEST_F(GuiPages, BrowseOffersTheSourceFiltersAndLoadsTheChosenFile) {
  const auto path = testing::writeImage(folder.path() / "firmware.SRC");
  QStringList filters;
  rig.watcher.on_file_dialog = [&](QFileDialog* dialog) {
    filters = dialog->nameFilters();
    dialog->selectFile(QString::fromStdString(path.string()));
    static_cast<QDialog*>(dialog)->accept();
  };
  qobject_cast<QPushButton*>(rig.dialog->control(w::kCtlBrowse))->click();
  ASSERT_EQ(filters.size(), 4);
  EXPECT_EQ(filters.first(), QStringLiteral("Source File(*.SRC)"));
  EXPECT_EQ(filters.last(), QStringLiteral("All File (*.*)"));
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), QStringLiteral("Click 'GO' to start burning..."));
  EXPECT_EQ(rig.dialog->tabControl()->currentIndex(), 0);
  EXPECT_FALSE(imageBlank());
}

}  // namespace
}  // namespace emberline::gui
