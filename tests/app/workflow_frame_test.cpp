// The workflow frame through the dialog: burn, erase, export and the version
// query on the simulated camera, and one device operation at a time.

#include "dialog_fixture.h"

namespace emberline::app {
namespace {

using testing::DialogRig;
using testing::familyImage;
using testing::HeldLauncher;
using testing::writeFile;

// The distinct positions of a progress bar, in order.
std::vector<int> positions(const std::vector<std::string>& progress_events) {
  std::vector<int> out;
  for (const std::string& e : progress_events) {
    const int pos = std::stoi(e.substr(e.find('@') + 1));
    if (out.empty() || out.back() != pos) out.push_back(pos);
  }
  return out;
}

class BurnThroughDialog : public ::testing::TestWithParam<w::Language> {};

TEST_P(BurnThroughDialog, WalksTheStageTableAndProgramsTheFlash) {
  const bool zh = GetParam() == w::Language::SimplifiedChinese;
  testing::TempFolder folder;
  DialogRig<> rig(GetParam());
  ASSERT_TRUE(rig.init());
  const auto image = familyImage();
  rig.dialog->OnDropFiles({writeFile(folder.path() / "fw.src", image)});
  rig.view.events.clear();
  const int persists_before = rig.persists;

  EXPECT_TRUE(rig.dialog->OnCommand(w::kCtlGo));

  const auto& e = rig.view.events;
  // Handler: the stage row goes first; worker: every start button is off
  // before the burn says anything.
  const std::vector<std::string> opening{
      "hide 1004", "hide 1007", "hide 1008", "hide 1009", "hide 1010", "hide 1011", "hide 1012",
      "disable 1002", "disable 1000", "disable 1005", "disable 1006", "disable 1017"};
  ASSERT_GE(e.size(), opening.size());
  EXPECT_EQ(std::vector<std::string>(e.begin(), e.begin() + opening.size()), opening);

  EXPECT_EQ(rig.view.matching("text 1014"),
            (std::vector<std::string>{zh ? "text 1014 烧录中..." : "text 1014 Burning...",
                                      zh ? "text 1014 烧录成功！" : "text 1014 Burn Successes!"}));
  EXPECT_EQ(positions(rig.view.matching("progress 1004")), (std::vector<int>{0, 1, 3, 6, 8, 9}));
  EXPECT_EQ(rig.view.matching("show "),
            (std::vector<std::string>{"show 1004", "show 1007", "show 1008", "show 1009", "show 1010",
                                      "show 1011", "show 1012"}));
  // Positions past the bar's end (the programming stage's) are held at its end.
  for (const std::string& p : rig.view.matching("progress 1003 0..13004"))
    EXPECT_LE(std::stoi(p.substr(p.find('@') + 1)), 13004) << p;
  EXPECT_NE(std::find(e.begin(), e.end(), "progress 1003 0..13004 @13004"), e.end());

  EXPECT_EQ(std::vector<std::string>(e.end() - 5, e.end()),
            (std::vector<std::string>{"enable 1002", "enable 1000", "enable 1005", "enable 1006",
                                      "enable 1017"}));
  EXPECT_TRUE(rig.view.messages.empty());
  EXPECT_FALSE(rig.dialog->busy());
  EXPECT_EQ(rig.view.ended_workflows, 1);
  EXPECT_EQ(rig.persists, persists_before + 1);
  const auto flash = rig.camera->flash();
  EXPECT_TRUE(std::equal(image.begin(), image.end() - 8, flash.begin()));
}

INSTANTIATE_TEST_SUITE_P(Languages, BurnThroughDialog,
                         ::testing::Values(w::Language::English, w::Language::SimplifiedChinese));

TEST(Burn, WithoutAnImageFailsWithItsMessageAndFreesTheButtons) {
  DialogRig<> rig;
  rig.init();
  rig.dialog->OnBnClickedGo();
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{"No Source File!"});
  EXPECT_EQ(rig.status(), "Burn Failed!");
  for (int id : {w::kCtlGo, w::kCtlBrowse, w::kCtlEraseSf, w::kCtlRomExport, w::kCtlFwVersion})
    EXPECT_TRUE(rig.dialog->control(id).enabled) << id;
}

struct StartCase {
  const char* name;
  void (CEmberline_testDlg::*handler)();
};

class StartWithoutCamera : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartWithoutCamera, OnlyHidesTheStageRow) {
  DialogRig<HeldLauncher> rig;
  rig.init();
  rig.devices.setEnumerateError(-EIO);
  rig.view.events.clear();
  (rig.dialog.get()->*GetParam().handler)();
  EXPECT_EQ(rig.view.events, (std::vector<std::string>{"hide 1004", "hide 1007", "hide 1008", "hide 1009",
                                                       "hide 1010", "hide 1011", "hide 1012"}));
  EXPECT_EQ(rig.launcher.starts, 0);
  EXPECT_FALSE(rig.dialog->busy());
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, StartWithoutCamera,
    ::testing::Values(StartCase{"Go", &CEmberline_testDlg::OnBnClickedGo},
                      StartCase{"EraseSf", &CEmberline_testDlg::OnBnClickedEraseSf},
                      StartCase{"RomExport", &CEmberline_testDlg::OnBnClickedRomExport}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(OneOperationAtATime, EveryOtherDeviceCommandIsRefusedWhileAWorkflowRuns) {
  testing::TempFolder folder;
  DialogRig<HeldLauncher> rig;
  rig.init();
  rig.dialog->OnDropFiles({writeFile(folder.path() / "fw.src", familyImage())});
  rig.dialog->OnBnClickedGo();
  ASSERT_EQ(rig.dialog->runningWorkflow(), Workflow::Burn);
  const auto requests = rig.camera->requestCount();

  rig.view.events.clear();
  for (int id : {w::kCtlGo, w::kCtlEraseSf, w::kCtlRomExport, w::kCtlFwVersion}) rig.dialog->OnCommand(id);
  EXPECT_EQ(rig.view.messages, std::vector<std::string>(4, std::string(kMsgBusy)));
  EXPECT_EQ(rig.view.matching("hide").size(), 0u);  // the running burn's row is left alone
  EXPECT_EQ(rig.launcher.starts, 1);
  EXPECT_EQ(rig.camera->requestCount(), requests);  // nobody touched the camera

  rig.launcher.runHeld();
  EXPECT_FALSE(rig.dialog->busy());
  EXPECT_TRUE(rig.dialog->canClose());
  rig.dialog->OnBnClickedEraseSf();
  EXPECT_EQ(rig.launcher.starts, 2);
  rig.launcher.runHeld();
}

TEST(Erase, ThroughTheAuxiliaryPageBlanksTheFlashWithoutTheStageRow) {
  DialogRig<> rig;
  rig.init();
  rig.camera->setFlash(familyImage());
  rig.dialog->OnTcnSelchangeTab(1);
  rig.view.events.clear();
  EXPECT_TRUE(rig.dialog->OnCommand(w::kCtlEraseSf));

  EXPECT_EQ(rig.view.matching("text 1014"),
            (std::vector<std::string>{"text 1014 Erasing...", "text 1014 Flash Erase Successes!"}));
  EXPECT_TRUE(rig.view.matching("show").empty());
  EXPECT_TRUE(rig.view.matching("progress 1004").empty());
  EXPECT_EQ(rig.view.matching("disable").front(), "disable 1005");
  EXPECT_TRUE(rig.dialog->control(w::kCtlBrowse).enabled);  // only the burn takes Browse
  const auto flash = rig.camera->flash();
  EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_TRUE(rig.view.messages.empty());
}

TEST(Export, WritesTheFlashUnderTheVersionNameShownInItsBox) {
  testing::TempFolder folder;
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  DialogRig<> rig;
  rig.init();
  auto content = familyImage();
  rig.camera->setFlash(content);
  rig.dialog->OnTcnSelchangeTab(1);
  rig.dialog->OnBnClickedRomExport();
  std::filesystem::current_path(cwd);

  EXPECT_EQ(rig.status(), "Export Rom Successes!");
  const std::string name = rig.dialog->control(w::kCtlExportName).text;
  EXPECT_EQ(name, "QR5X-EM1234567-A-V261206_12_00-20261206.src");
  std::ifstream in(folder.path() / name, std::ios::binary);
  std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::fill(content.end() - 8, content.end(), 0xFF);  // the last block is never read
  EXPECT_EQ(file, content);
  EXPECT_TRUE(rig.dialog->control(w::kCtlRomExport).enabled);
}

TEST(FwVersion, ShowsTheVersionTextUnderItsCaption) {
  DialogRig<> rig;
  rig.init();
  rig.dialog->OnTcnSelchangeTab(1);
  EXPECT_TRUE(rig.dialog->OnCommand(w::kCtlFwVersion));
  EXPECT_EQ(rig.view.messages,
            std::vector<std::string>{"Get F/W Version: QR5XA\r\nEM-1234567\r\n2026-12-06\r\n2612061200"});
  EXPECT_FALSE(rig.dialog->busy());
}

TEST(ProgressBars, HoldTheirPositionInsideTheRange) {
  DialogRig<> rig;
  rig.init();
  w::UiPort& port = rig.dialog->port();
  port.setProgressRange(w::kCtlProgressData, 0, 13004);
  port.setProgressPos(w::kCtlProgressData, 13104);
  EXPECT_EQ(rig.dialog->control(w::kCtlProgressData).position, 13004);
  port.setProgressRange(w::kCtlProgressData, 0, 2);
  EXPECT_EQ(rig.dialog->control(w::kCtlProgressData).position, 2);
  port.setProgressPos(w::kCtlProgressData, -5);
  EXPECT_EQ(rig.dialog->control(w::kCtlProgressData).position, 0);
  // Ids the dialog does not have are ignored.
  port.showControl(4242, true);
  port.setControlText(4242, "x");
  EXPECT_FALSE(rig.dialog->control(4242).visible);
}

}  // namespace
}  // namespace emberline::app
