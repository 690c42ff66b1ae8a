// What the operator sees around the workflows: the burn's stage row across
// page switches, a close that waits for the running workflow, where an
// export went, and what to do when no camera answers.

#include "core/app/operator_texts.h"
#include "core/station/sha256.h"
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
  rig.open();
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
  rig.open();
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
                  {"Closing when the task ends...", "", "Burn Failed!"},
                  MessageIcon::Warning},
        CloseCase{w::Language::SimplifiedChinese, true,
                  {"任务结束后关闭窗口...", "烧录中...\n任务结束后关闭窗口...",
                   "烧录成功！"},
                  MessageIcon::Information}),
    [](const auto& param_info) {
      return std::string(param_info.param.with_image ? "ChineseSuccess" : "EnglishFailure");
    });

// The path box and the identity under it name the image GO burns, whatever
// loads fail in between; an image that changed on disk is burned only on the
// operator's word, and then as it was loaded.
TEST(ImageBox, NamesTheImageGoBurnsAndAsksWhenItsFileChanged) {
  for (const auto language : {w::Language::English, w::Language::SimplifiedChinese}) {
    DialogRig<HeldLauncher> rig(language);
    rig.open();
    const auto path = [&] { return rig.dialog->control(w::kCtlImagePath).text; };
    const auto identity = [&] { return rig.dialog->control(w::kCtlImageIdentity).text; };
    const auto refused = writeImage("refused.src", w::kImageSize - 1);

    rig.dialog->OnDropFiles({refused});  // nothing loaded yet: the box stays empty
    EXPECT_EQ(path(), "");
    EXPECT_EQ(identity(), "");
    EXPECT_EQ(rig.view.messages().back(), "It is not a Rom file!\n\n" +
                                              std::string(w::operatorAdvice(w::FailureKind::BadImage, language)));
    EXPECT_EQ(rig.view.details.back(), refused.string());

    // An image with a version block where chip 0x33 keeps it.
    const auto image = writeImage("named.src");
    std::vector<std::uint8_t> bytes = readFile(image);
    const auto put = [&](std::size_t at, std::string_view text) { std::copy(text.begin(), text.end(), bytes.begin() + at); };
    put(0x01F3, "QR5XS");
    put(0x1E00, "2026-12-06");
    put(0x1E0A, "EM-1234567");
    put(0x1E14, "2612061200");
    test::writeFile(image, bytes);
    rig.dialog->OnDropFiles({image});
    const std::string named = "QR5XS EM-1234567 2026-12-06 2612061200\nSHA-256 " + station::sha256Hex(bytes).substr(0, 8);
    EXPECT_EQ(path(), image.string());
    EXPECT_EQ(identity(), named);

    for (const auto& bad : {refused, image.parent_path() / "missing.src"}) {
      rig.dialog->OnDropFiles({bad});
      EXPECT_EQ(path(), image.string());
      EXPECT_EQ(identity(), named);
      EXPECT_EQ(rig.view.details.back(), bad.string());
    }

    // The file changes after it was loaded: GO asks, No burns nothing.
    std::vector<std::uint8_t> changed = bytes;
    changed[0x100] ^= 0xFF;
    test::writeFile(image, changed);
    rig.view.answer = false;
    rig.view.events.clear();
    const int starts = rig.launcher.starts;
    rig.dialog->OnBnClickedGo();
    ASSERT_EQ(rig.view.matching("ask ").size(), 1u);
    EXPECT_EQ(rig.view.matching("ask ")[0].rfind("[no] ", 0), 0u);
    EXPECT_NE(rig.view.matching("ask ")[0].find(image.string()), std::string::npos);
    EXPECT_EQ(rig.launcher.starts, starts);
    // Yes burns the copy that was loaded, as the box still names it.
    rig.view.answer = true;
    rig.dialog->OnBnClickedGo();
    rig.launcher.runHeld();
    EXPECT_EQ(rig.status(), rig.dialog->loadString(w::kStrBurnSucceeded));
    const auto flash = rig.camera->flash();
    EXPECT_TRUE(std::equal(flash.begin(), flash.end() - 8, bytes.begin()));
  }
}

TEST(DialogMessages, FailuresWarnAndTheVersionTextInforms) {
  DialogRig<> rig;
  rig.open();
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
    rig.open();
    rig.dialog->OnBnClickedRomExport();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(rig.status(), "Export Rom Successes!");
    const std::filesystem::path shown = rig.dialog->control(w::kCtlExportName).text;
    EXPECT_EQ(shown.parent_path(), folder);
    EXPECT_EQ(readFile(shown).size(), w::kImageSize);
  }
  for (const auto language : {w::Language::English, w::Language::SimplifiedChinese}) {
    DialogRig<> rig(language, true, folder / "missing");
    rig.open();
    rig.dialog->OnBnClickedRomExport();
    ASSERT_EQ(rig.view.messages().size(), 1u);
    const std::string text = rig.view.messages()[0];
    EXPECT_NE(text.find((folder / "missing").string()), std::string::npos) << text;
    EXPECT_NE(text.find("No such file or directory"), std::string::npos) << text;
    EXPECT_EQ(rig.status(), rig.dialog->loadString(w::kStrExportFailed));
  }
}

// What to check is the platform's to say (frontend/device_advice); the
// dialog puts it below the system's own text, in one box, and ends.
TEST(DialogStartup, WithoutACameraShowsThePlatformsAdviceOnceAndEnds) {
  for (const std::string advice : {"", "Check the cable."}) {
    DialogRig<> rig(w::Language::English, /*with_camera=*/false);
    DialogOptions options;
    options.clock = &rig.clock;
    if (!advice.empty()) options.no_camera_advice = [advice] { return advice; };
    rig.dialog = std::make_unique<CEmberline_testDlg>(rig.devices, rig.view, rig.launcher, std::move(options));
    rig.open();
    const auto messages = rig.view.messages();
    ASSERT_EQ(messages.size(), 1u);  // one failure, one box
    EXPECT_EQ(rig.view.ended, -1);
    EXPECT_EQ(messages[0], advice.empty() ? "Can't find video device!" : "Can't find video device!\n\n" + advice);
  }
}

}  // namespace
}  // namespace emberline::app
