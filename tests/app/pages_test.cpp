// The two tab pages: what each selection leaves visible over time.

#include "dialog_fixture.h"

namespace emberline::app {
namespace {

using testing::DialogRig;
using testing::kAuxiliaryPageVisible;
using testing::kBurnPageVisible;

class Pages : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(rig.init()); }
  // Loads an image and burns it, so the whole stage row is on screen.
  void burn() {
    rig.dialog->OnDropFiles({testing::writeFile(folder.path() / "fw.src", testing::familyImage())});
    rig.dialog->OnBnClickedGo();
    ASSERT_EQ(rig.status(), "Burn Successes!");
  }
  testing::TempFolder folder;
  DialogRig<> rig;
};

TEST_F(Pages, AuxiliaryShowsItsRowsAndTheAlwaysShownControlsOnly) {
  EXPECT_EQ(rig.dialog->OnTcnSelchangeTab(1), 0);
  EXPECT_EQ(rig.visibleControls(), kAuxiliaryPageVisible);
  EXPECT_EQ(rig.dialog->currentTab(), 1);
  EXPECT_EQ(rig.dialog->OnTcnSelchangeTab(0), 0);
  EXPECT_EQ(rig.visibleControls(), kBurnPageVisible);
}

TEST_F(Pages, StageRowStaysHiddenAfterAuxiliaryAndBackAfterABurn) {
  burn();
  std::set<int> after_burn = kBurnPageVisible;
  for (int id : kStageRow) after_burn.insert(id);
  EXPECT_EQ(rig.visibleControls(), after_burn);

  rig.dialog->OnTcnSelchangeTab(1);
  EXPECT_EQ(rig.visibleControls(), kAuxiliaryPageVisible);
  rig.dialog->OnTcnSelchangeTab(0);
  EXPECT_EQ(rig.visibleControls(), kBurnPageVisible);
}

TEST_F(Pages, SwitchesKeepTheStatusTextAndTheProgressBar) {
  burn();
  const ControlState before = rig.dialog->control(w::kCtlProgressData);
  for (int tab : {1, 0, 1}) {
    rig.dialog->OnTcnSelchangeTab(tab);
    EXPECT_EQ(rig.status(), "Burn Successes!");
    EXPECT_EQ(rig.dialog->control(w::kCtlProgressData).position, before.position);
    EXPECT_EQ(rig.dialog->control(w::kCtlProgressData).maximum, before.maximum);
  }
}

TEST_F(Pages, AnyOtherSelectionChangesNothing) {
  rig.dialog->OnTcnSelchangeTab(1);
  const auto events = rig.view.events.size();
  for (int other : {-1, 2, 7}) EXPECT_EQ(rig.dialog->OnTcnSelchangeTab(other), 0);
  EXPECT_EQ(rig.view.events.size(), events);
  EXPECT_EQ(rig.dialog->currentTab(), 1);
  EXPECT_EQ(rig.visibleControls(), kAuxiliaryPageVisible);
}

}  // namespace
}  // namespace emberline::app
