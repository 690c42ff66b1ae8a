// Start-up and destruction.

#include "dialog_fixture.h"

namespace emberline::app {
namespace {

using namespace testing;

TEST(DialogStartup, WithCameraRunsItsStepsInOrderAndLeavesTheBurnPage) {
  DialogRig<HeldLauncher> rig;
  rig.dialog->OnInitDialog();
  // The window is set up on the UI thread; the camera is looked for on the
  // worker, with the start buttons off meanwhile.
  EXPECT_EQ(rig.view.events,
            (std::vector<std::string>{"sysmenu 16 &About Common USB Emberline...", "icon", "tab 0 Burn",
                                      "tab 1 Auxiliary Function", "select 0", "hide 1005", "hide 1006",
                                      "hide 1013", "hide 1017", "hide 1004", "hide 1007", "hide 1008",
                                      "hide 1009", "hide 1010", "hide 1011", "hide 1012",
                                      "text 1014 No Task is Running...", "disable 1002", "disable 1005",
                                      "disable 1006", "disable 1017"}));
  EXPECT_EQ(rig.camera->requestCount(), 0u);
  rig.view.events.clear();
  rig.launcher.runHeld();
  EXPECT_EQ(rig.view.events, (std::vector<std::string>{"enable 1002", "enable 1005", "enable 1006",
                                                       "enable 1017", "ended"}));
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

  rig.open();
  EXPECT_EQ(rig.view.messages(),
            std::vector<std::string>{"GetChipIDValue Failed!\n\n" +
                                     std::string(w::operatorAdvice(w::FailureKind::Unplugged, w::Language::English))});
  EXPECT_FALSE(rig.dialog->endResult());
  EXPECT_EQ(rig.visible(), kBurnPage);
}

TEST(DialogDestroy, WaitsForTheRunningWorkerThenFreesTheImage) {
  DialogRig<HeldLauncher> rig;
  rig.open();
  rig.dialog->OnDropFiles({writeImage("destroy.src")});
  rig.dialog->OnBnClickedGo();
  ASSERT_FALSE(rig.dialog->canClose());
  rig.dialog->OnDestroy();
  EXPECT_EQ(rig.status(), "Burn Successes!");  // the worker ran to its end first
  EXPECT_EQ(rig.dialog->session(), nullptr);
  rig.dialog->OnBnClickedGo();  // handlers after destruction do nothing
  EXPECT_EQ(rig.launcher.starts, 3);  // the start-up, the burn, and the session let go on the worker
}

// The window menu's station item, in both languages, before the About item.
class DialogStationItem : public ::testing::TestWithParam<std::pair<w::Language, std::string>> {};

TEST_P(DialogStationItem, OpensTheStationOnTheLoadedOrAChosenImageAndNeverWhileAWorkflowRuns) {
  DialogRig<HeldLauncher> rig(GetParam().first, true, {}, /*station_window=*/true);
  rig.open();
  const std::vector<std::string> items = rig.view.matching("sysmenu ");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0], "32 " + GetParam().second);
  EXPECT_EQ(items[1].substr(0, 3), "16 ");

  // Nothing loaded: the file dialog asks first; cancelling it opens nothing,
  // and a chosen file goes to the station without replacing the dialog's image.
  rig.view.events.clear();
  EXPECT_TRUE(rig.dialog->OnSysCommand(kIdmStation));
  rig.view.chosen_file = "/line/chosen.src";
  EXPECT_TRUE(rig.dialog->OnSysCommand(kIdmStation));
  EXPECT_EQ(rig.view.events, (std::vector<std::string>{"file-dialog *.SRC", "file-dialog *.SRC",
                                                       "station /line/chosen.src"}));
  EXPECT_TRUE(rig.imageIs(std::vector<std::uint8_t>(0x20000, 0xFF)));

  // A loaded image is used as it is; a failed load afterwards does not replace it.
  const auto image = writeImage("station.src");
  rig.dialog->OnDropFiles({image});
  rig.dialog->OnDropFiles({writeImage("short.src", 100)});
  rig.view.events.clear();
  rig.dialog->OnSysCommand(kIdmStation);
  EXPECT_EQ(rig.view.matching("station "), std::vector<std::string>{image.string()});
  EXPECT_TRUE(rig.view.matching("file-dialog").empty());

  // While the burn runs, the station would drive the same camera: refused.
  rig.view.events.clear();
  rig.dialog->OnBnClickedGo();
  EXPECT_TRUE(rig.dialog->OnSysCommand(kIdmStation));
  EXPECT_EQ(rig.view.messages(), std::vector<std::string>{std::string(kMsgBusy)});
  EXPECT_TRUE(rig.view.matching("station ").empty());
  rig.launcher.runHeld();
  rig.dialog->OnSysCommand(kIdmStation);
  EXPECT_EQ(rig.view.matching("station ").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogStationItem,
                         ::testing::Values(std::pair{w::Language::English, std::string("&Station Window...")},
                                           std::pair{w::Language::SimplifiedChinese,
                                                     std::string("烧录站窗口(&S)...")}));

TEST(DialogWithoutStation, AFaceWithoutAStationWindowOffersNoItemAndPassesTheCommandOn) {
  DialogRig<> rig;
  rig.open();
  EXPECT_EQ(rig.view.matching("sysmenu ").size(), 1u);
  EXPECT_FALSE(rig.dialog->OnSysCommand(kIdmStation));
  EXPECT_TRUE(rig.view.matching("station ").empty());
}

}  // namespace
}  // namespace emberline::app
