// What the operator sees around the workflows: the burn's stage row across
// page switches, a close that waits for the running workflow, where an
// export went, and what to do when no camera answers.

#include "dialog_fixture.h"

namespace emberline::app {
namespace {

using namespace testing;

std::set<int> stageRowShown(const DialogRig<HeldLauncher>& rig) {
  std::set<int> ids;
  for (int id : kStageRow)
    if (rig.dialog->control(id).visible) ids.insert(id);
  return ids;
}

TEST(StageRow, ShowsTheBurnsRealStateWheneverTheBurnPageIsShown) {
  DialogRig<HeldLauncher> rig;
  rig.dialog->OnInitDialog();
  rig.dialog->OnDropFiles({writeImage("stages.src")});
  rig.dialog->OnBnClickedGo();
  // The burn runs its stages while the Auxiliary page is shown.
  rig.dialog->OnTcnSelchangeTab(1);
  rig.launcher.runHeld();
  EXPECT_EQ(rig.visible(), kAuxiliaryPage);

  rig.dialog->OnTcnSelchangeTab(0);
  const std::set<int> whole_row(kStageRow.begin(), kStageRow.end());
  EXPECT_EQ(stageRowShown(rig), whole_row);
  EXPECT_EQ(rig.dialog->control(w::kCtlProgressStage).position, 9);
  rig.dialog->OnTcnSelchangeTab(1);
  rig.dialog->OnDropFiles({writeImage("stages.src")});  // a drop brings the Burn page back too
  EXPECT_EQ(stageRowShown(rig), whole_row);

  // Another workflow's start hides the row for good.
  rig.dialog->OnTcnSelchangeTab(1);
  rig.dialog->OnBnClickedEraseSf();
  rig.launcher.runHeld();
  rig.dialog->OnTcnSelchangeTab(0);
  EXPECT_TRUE(stageRowShown(rig).empty());
  EXPECT_EQ(rig.visible(), kBurnPage);
}

struct CloseCase {
  w::Language language;
  bool with_image;
  std::vector<std::string> statuses;  // before the worker runs, while it runs, at its end
  MessageIcon result_icon;
};

class CloseDuringWorkflow : public ::testing::TestWithParam<CloseCase> {};

TEST_P(CloseDuringWorkflow, WaitsSaysSoAndShowsTheResultBeforeTheDialogEnds) {
  const CloseCase& c = GetParam();
  DialogRig<HeldLauncher> rig(c.language);
  rig.dialog->OnInitDialog();
  if (c.with_image) rig.dialog->OnDropFiles({writeImage("close.src")});
  EXPECT_TRUE(rig.dialog->requestClose(1));  // nothing runs: at once

  rig.dialog->OnBnClickedGo();
  EXPECT_FALSE(rig.dialog->requestClose(2));
  EXPECT_FALSE(rig.dialog->requestClose(2));  // said once
  EXPECT_EQ(rig.status(), c.statuses[0]);
  std::vector<std::string> during;
  rig.view.on_message = [&] { during.push_back(rig.status()); };
  rig.view.events.clear();
  rig.launcher.runHeld();

  EXPECT_EQ(rig.status(), c.statuses[2]);
  ASSERT_FALSE(during.empty());
  EXPECT_EQ(during.back(), c.statuses[2]);  // the result box opens over the result
  EXPECT_EQ(rig.view.messages().back(), c.statuses[2]);
  EXPECT_EQ(rig.view.icons.back(), c.result_icon);
  // The dialog ends only after the operator closed the result box.
  const auto& e = rig.view.events;
  const auto box = std::find(e.begin(), e.end(), "message " + c.statuses[2]);
  EXPECT_EQ(std::find(e.begin(), e.end(), "end 2") - box, 1);
  EXPECT_EQ(rig.view.ended, 2);
  if (c.with_image) {
    EXPECT_EQ(rig.view.matching("text 1014 ").front(), c.statuses[1]);
  }
  EXPECT_FALSE(rig.dialog->pendingClose());
}

INSTANTIATE_TEST_SUITE_P(
    Languages, CloseDuringWorkflow,
    ::testing::Values(
        CloseCase{w::Language::English, false,
                  {"No Task is Running...\nClosing when the task ends...", "", "Burn Failed!"},
                  MessageIcon::Warning},
        CloseCase{w::Language::SimplifiedChinese, true,
                  {"请单击“开始烧录”！\n任务结束后关闭窗口...", "烧录中...\n任务结束后关闭窗口...",
                   "烧录成功！"},
                  MessageIcon::Information}),
    [](const auto& param_info) {
      return std::string(param_info.param.with_image ? "ChineseSuccess" : "EnglishFailure");
    });

TEST(DialogMessages, FailuresWarnAndTheVersionTextInforms) {
  DialogRig<> rig;
  rig.dialog->OnInitDialog();
  rig.dialog->OnBnClickedGo();  // no image: "No Source File!"
  rig.dialog->OnBnClickedFwVersion();
  EXPECT_EQ(rig.view.messages().size(), 2u);
  EXPECT_EQ(rig.view.icons, (std::vector<MessageIcon>{MessageIcon::Warning, MessageIcon::Information}));
}

TEST(DialogExport, ShowsTheFullPathWrittenAndNamesAFolderItCannotWriteTo) {
  const auto folder = std::filesystem::temp_directory_path() / "emberline-app-export";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  {
    DialogRig<> rig;  // writes into the current folder
    rig.dialog->OnInitDialog();
    rig.dialog->OnBnClickedRomExport();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(rig.status(), "Export Rom Successes!");
    const std::filesystem::path shown = rig.dialog->control(w::kCtlExportName).text;
    EXPECT_EQ(shown.parent_path(), folder);
    EXPECT_EQ(readFile(shown).size(), w::kImageSize);
  }
  for (const auto language : {w::Language::English, w::Language::SimplifiedChinese}) {
    DialogRig<> rig(language, true, folder / "missing");
    rig.dialog->OnInitDialog();
    rig.dialog->OnBnClickedRomExport();
    ASSERT_EQ(rig.view.messages().size(), 1u);
    const std::string text = rig.view.messages()[0];
    EXPECT_NE(text.find((folder / "missing").string()), std::string::npos) << text;
    EXPECT_NE(text.find("No such file or directory"), std::string::npos) << text;
    EXPECT_EQ(rig.status(), rig.dialog->loadString(w::kStrExportFailed));
  }
}

// What to check is the platform's to say (frontend/device_advice); the
// dialog puts it below the system's own text, and shows that text alone
// without it.
TEST(DialogStartup, WithoutACameraShowsThePlatformsAdviceBelowTheSystemText) {
  for (const std::string advice : {"", "Check the cable."}) {
    DialogRig<> rig(w::Language::English, /*with_camera=*/false);
    DialogOptions options;
    options.clock = &rig.clock;
    if (!advice.empty()) options.no_camera_advice = [advice] { return advice; };
    rig.dialog = std::make_unique<CEmberline_testDlg>(rig.devices, rig.view, rig.launcher, std::move(options));
    rig.dialog->OnInitDialog();
    ASSERT_EQ(rig.view.messages().size(), 2u);
    EXPECT_EQ(rig.view.messages()[0], advice.empty() ? "Can't find video device!" : "Can't find video device!\n\n" + advice);
  }
}

}  // namespace
}  // namespace emberline::app
