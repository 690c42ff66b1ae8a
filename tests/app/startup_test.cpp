// Start-up and destruction.

#include "dialog_fixture.h"

namespace emberline::app {
namespace {

using namespace testing;

TEST(DialogStartup, WithCameraRunsItsStepsInOrderAndLeavesTheBurnPage) {
  DialogRig<> rig;
  EXPECT_TRUE(rig.dialog->OnInitDialog());
  EXPECT_EQ(rig.view.events,
            (std::vector<std::string>{"sysmenu 16 &About Common USB Emberline...", "icon", "tab 0 Burn",
                                      "tab 1 Auxiliary Function", "select 0", "hide 1005", "hide 1006",
                                      "hide 1013", "hide 1017", "hide 1004", "hide 1007", "hide 1008",
                                      "hide 1009", "hide 1010", "hide 1011", "hide 1012",
                                      "text 1014 No Task is Running..."}));
  EXPECT_EQ(rig.visible(), kBurnPage);
  EXPECT_EQ(rig.dialog->session()->chipId(), 0x33);
  EXPECT_TRUE(rig.imageIs(std::vector<std::uint8_t>(0x20000, 0xFF)));
  EXPECT_FALSE(rig.dialog->endResult());
}

TEST(DialogStartup, ACameraWhoseChipIdCannotBeReadGivesOneMessageAndTheDialogStays) {
  DialogRig<> rig;
  // The camera answers discovery, then is gone.
  w::NullUiPort quiet;
  w::CameraSession probe(rig.devices, quiet, rig.clock);
  const auto before = rig.camera->requestCount();
  probe.DiscoverCamera();
  sim::FaultPlan plan;
  plan.vanish_after = rig.camera->requestCount() - before;
  rig.camera->setFaults(plan);

  EXPECT_FALSE(rig.dialog->OnInitDialog());
  EXPECT_EQ(rig.view.messages(), std::vector<std::string>{"GetChipIDValue Failed!"});
  EXPECT_FALSE(rig.dialog->endResult());
  EXPECT_EQ(rig.visible(), kBurnPage);
}

TEST(DialogDestroy, WaitsForTheRunningWorkerThenFreesTheImage) {
  DialogRig<HeldLauncher> rig;
  rig.dialog->OnInitDialog();
  rig.dialog->OnDropFiles({writeImage("destroy.src")});
  rig.dialog->OnBnClickedGo();
  ASSERT_FALSE(rig.dialog->canClose());
  rig.dialog->OnDestroy();
  EXPECT_EQ(rig.status(), "Burn Successes!");  // the worker ran to its end first
  EXPECT_EQ(rig.dialog->session(), nullptr);
  rig.dialog->OnBnClickedGo();  // handlers after destruction do nothing
  EXPECT_EQ(rig.launcher.starts, 1);
}

}  // namespace
}  // namespace emberline::app
