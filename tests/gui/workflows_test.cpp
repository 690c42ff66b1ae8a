// Whole jobs through the dialog on the simulated camera: a burn with its
// stage row, erase and export from the Auxiliary page, the version box, and
// closing while a workflow runs.

#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "gui_fixture.h"

namespace emberline::gui {
namespace {

using testing::GuiRig;

void click(EmberlineDialog& dialog, int id) {
  auto* button = qobject_cast<QPushButton*>(dialog.control(id));
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(button->isVisibleTo(&dialog) && button->isEnabled()) << id;
  button->click();
}

bool idle(EmberlineDialog& dialog) { return testing::waitUntil([&] { return !dialog.controller().busy(); }); }

class GuiBurn : public ::testing::TestWithParam<w::Language> {};

TEST_P(GuiBurn, ProgramsTheCameraAndEndsWithEveryStageDone) {
  const bool zh = GetParam() == w::Language::SimplifiedChinese;
  testing::TempFolder folder;
  GuiRig rig(GetParam());
  ASSERT_TRUE(rig.dialog->initialise());
  rig.dialog->show();
  const auto path = testing::writeImage(folder.path() / "fw.src");
  testing::dropFiles(*rig.dialog, {path});

  click(*rig.dialog, w::kCtlGo);
  EXPECT_TRUE(rig.dialog->controller().busy());
  ASSERT_TRUE(idle(*rig.dialog));

  EXPECT_TRUE(rig.watcher.seen.isEmpty()) << rig.watcher.seen.join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus).toStdString(), zh ? "烧录成功！" : "Burn Successes!");
  for (int id : app::kStageRow) EXPECT_TRUE(rig.dialog->control(id)->isVisibleTo(rig.dialog.get())) << id;
  auto* stage = qobject_cast<QProgressBar*>(rig.dialog->control(w::kCtlProgressStage));
  EXPECT_EQ(stage->maximum(), 9);
  EXPECT_EQ(stage->value(), 9);
  for (int id : {w::kCtlGo, w::kCtlBrowse, w::kCtlEraseSf, w::kCtlRomExport, w::kCtlFwVersion})
    EXPECT_TRUE(rig.dialog->control(id)->isEnabled()) << id;

  const auto image = testing::readFile(path);
  const auto flash = rig.camera->flash();
  EXPECT_TRUE(std::equal(image.begin(), image.end() - 8, flash.begin()));
}

INSTANTIATE_TEST_SUITE_P(Languages, GuiBurn,
                         ::testing::Values(w::Language::English, w::Language::SimplifiedChinese));

TEST(GuiAuxiliary, EraseAndExportFromTheAuxiliaryPage) {
  testing::TempFolder folder;
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());  // the export writes here
  GuiRig rig;
  std::vector<std::uint8_t> content(w::kImageSize, 0xA5);
  rig.camera->setFlash(content);
  ASSERT_TRUE(rig.dialog->initialise());
  rig.dialog->show();
  rig.dialog->tabControl()->tabBar()->setCurrentIndex(1);

  click(*rig.dialog, w::kCtlRomExport);
  ASSERT_TRUE(idle(*rig.dialog));
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), QStringLiteral("Export Rom Successes!"));
  const std::string name = rig.dialog->controlText(w::kCtlExportName).toStdString();
  std::fill(content.end() - 8, content.end(), 0xFF);
  EXPECT_EQ(testing::readFile(folder.path() / name), content) << name;

  click(*rig.dialog, w::kCtlEraseSf);
  ASSERT_TRUE(idle(*rig.dialog));
  std::filesystem::current_path(cwd);
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), QStringLiteral("Flash Erase Successes!"));
  const auto flash = rig.camera->flash();
  EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_FALSE(rig.dialog->control(w::kCtlProgressStage)->isVisibleTo(rig.dialog.get()));
  EXPECT_TRUE(rig.watcher.seen.isEmpty());
}

TEST(GuiAuxiliary, VersionQueryShowsItsBoxLineByLine) {
  GuiRig rig;
  ASSERT_TRUE(rig.dialog->initialise());
  rig.dialog->show();
  rig.dialog->tabControl()->tabBar()->setCurrentIndex(1);
  click(*rig.dialog, w::kCtlFwVersion);
  EXPECT_EQ(rig.watcher.seen,
            QStringList{QStringLiteral("Get F/W Version: QR5XA\nEM-1234567\n2026-12-06\n2612061200")});
}

TEST(GuiClose, ClosingWhileAWorkflowRunsWaitsForItsEnd) {
  GuiRig rig;
  ASSERT_TRUE(rig.dialog->initialise());
  rig.dialog->show();
  bool still_open = false;
  bool asked = false;
  rig.watcher.on_message = [&](QMessageBox*) {
    if (!asked) {
      asked = true;
      // The operator closes the dialog while the burn's box is open.
      QTimer::singleShot(0, [&] {
        rig.dialog->reject();
        still_open = rig.dialog->isVisible();
      });
      return false;
    }
    return still_open;
  };
  click(*rig.dialog, w::kCtlGo);  // no image: the burn stops at its message
  ASSERT_TRUE(testing::waitUntil([&] { return !rig.dialog->isVisible(); }));
  EXPECT_TRUE(still_open);
  EXPECT_FALSE(rig.dialog->controller().busy());
  EXPECT_EQ(rig.dialog->result(), QDialog::Rejected);
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), QStringLiteral("Burn Failed!"));
}

}  // namespace
}  // namespace emberline::gui
