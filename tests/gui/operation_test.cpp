// The operator's jobs through the Qt dialog on the simulated camera: pages,
// drops and Browse, a whole burn, erase and export, closing mid-workflow.

#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>

#include "core/app/operator_texts.h"
#include "gui_fixture.h"

namespace emberline::gui {
namespace {

using namespace testing;

TEST(GuiPages, TabsSwitchTheControlsAndAValidDropBringsTheBurnPageBack) {
  GuiRig rig;
  rig.open();
  selectTab(*rig.dialog, 1);
  EXPECT_EQ(visibleControls(*rig.dialog), kAuxiliaryPage);

  // A wrong size is refused and the second file of a drop is ignored.
  dropFiles(*rig.dialog, {writeImage("short.src", 131073), writeImage("good.src")});
  EXPECT_EQ(rig.watcher.seen, QStringList{"It is not a Rom file!\n\n" + advice(w::FailureKind::BadImage)});
  EXPECT_EQ(visibleControls(*rig.dialog), kAuxiliaryPage);
  EXPECT_TRUE(rig.imageBlank());

  dropFiles(*rig.dialog, {writeImage("good.src")});
  EXPECT_EQ(rig.dialog->tabControl()->currentIndex(), 0);
  EXPECT_EQ(visibleControls(*rig.dialog), kBurnPage);
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), "Click 'GO' to start burning...");
  EXPECT_FALSE(rig.imageBlank());
}

TEST(GuiPages, BrowseOffersSourceFilesFirstAndLoadsTheChoice) {
  GuiRig rig;
  rig.open();
  QStringList filters;
  QString initial_name;
  rig.watcher.on_file_dialog = [&](QFileDialog* dialog) {
    filters = dialog->nameFilters();
    if (const auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) initial_name = name->text();
    dialog->selectFile(QString::fromStdString(writeImage("firmware.SRC").string()));
    static_cast<QDialog*>(dialog)->accept();
  };
  click(*rig.dialog, w::kCtlBrowse);
  EXPECT_EQ(filters, (QStringList{"Source File(*.SRC)", "Source File(*.BIN)", "Source File(*.HEX)",
                                  "All File (*.*)"}));
  EXPECT_EQ(initial_name, "*.SRC");
  EXPECT_FALSE(rig.imageBlank());
}

class GuiBurn : public ::testing::TestWithParam<w::Language> {};

TEST_P(GuiBurn, ProgramsTheCameraAndEndsWithEveryStageDone) {
  GuiRig rig(GetParam());
  rig.open();
  const auto image = writeImage("burn.src");
  dropFiles(*rig.dialog, {image});
  click(*rig.dialog, w::kCtlGo);
  ASSERT_TRUE(rig.idle());

  EXPECT_TRUE(rig.watcher.seen.isEmpty()) << rig.watcher.seen.join('|').toStdString();
  const bool zh = GetParam() == w::Language::SimplifiedChinese;
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), zh ? "烧录成功！" : "Burn Successes!");
  for (int id : app::kStageRow) EXPECT_TRUE(rig.dialog->control(id)->isVisibleTo(rig.dialog.get())) << id;
  EXPECT_EQ(qobject_cast<QProgressBar*>(rig.dialog->control(w::kCtlProgressStage))->value(), 9);
  for (int id : {w::kCtlGo, w::kCtlBrowse, w::kCtlEraseSf, w::kCtlRomExport, w::kCtlFwVersion})
    EXPECT_TRUE(rig.dialog->control(id)->isEnabled()) << id;
  EXPECT_TRUE(rig.flashHolds(image));
  // The other page hides the stage row; the Burn page shows it as the burn left it.
  selectTab(*rig.dialog, 1);
  EXPECT_EQ(visibleControls(*rig.dialog), kAuxiliaryPage);
  selectTab(*rig.dialog, 0);
  std::set<int> burn_page_after_burn = kBurnPage;
  burn_page_after_burn.insert(app::kStageRow.begin(), app::kStageRow.end());
  EXPECT_EQ(visibleControls(*rig.dialog), burn_page_after_burn);
}

INSTANTIATE_TEST_SUITE_P(Languages, GuiBurn,
                         ::testing::Values(w::Language::English, w::Language::SimplifiedChinese));

TEST(GuiAuxiliary, ExportsAndErasesFromTheAuxiliaryPage) {
  const auto folder = std::filesystem::temp_directory_path() / "emberline-gui-export";
  std::filesystem::create_directories(folder);
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(folder);  // the export writes here
  GuiRig rig;
  std::vector<std::uint8_t> content(w::kImageSize, 0xA5);
  rig.camera->setFlash(content);
  rig.open();
  selectTab(*rig.dialog, 1);

  click(*rig.dialog, w::kCtlRomExport);
  ASSERT_TRUE(rig.idle());
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), "Export Rom Successes!");
  std::fill(content.end() - 8, content.end(), 0xFF);  // the last block is never read
  EXPECT_EQ(readFile(folder / rig.dialog->controlText(w::kCtlExportName).toStdString()), content);

  rig.watcher.answer_yes = true;  // "Erase the camera's firmware?"
  click(*rig.dialog, w::kCtlEraseSf);
  ASSERT_TRUE(rig.idle());
  std::filesystem::current_path(cwd);
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), "Flash Erase Successes!");
  const auto flash = rig.camera->flash();
  EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(rig.watcher.seen, QStringList{"? " + QString::fromStdString(app::eraseQuestion(w::Language::English))});
}

struct CloseCase {
  w::Language language;
  bool by_enter;  // else the close box
};

class GuiWhileRunning : public ::testing::TestWithParam<CloseCase> {};

TEST_P(GuiWhileRunning, ADropIsRefusedAndAClosingWaitsAndShowsTheResultFirst) {
  // Without an image the burn stops at its message box; while the box is
  // open the worker still runs, a file arrives and the operator closes.
  const CloseCase& c = GetParam();
  GuiRig rig(c.language);
  rig.open();
  bool acted = false;
  bool still_open = false;
  QString waiting_status;
  rig.watcher.on_message = [&](QMessageBox* box) {
    if (!box->text().startsWith("No Source File!") || acted) return true;
    acted = true;
    QTimer::singleShot(0, [&] {
      dropFiles(*rig.dialog, {writeImage("late.src")});
      if (c.by_enter) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(rig.dialog->control(w::kCtlImagePath), &enter);
      } else {
        rig.dialog->close();
      }
      still_open = rig.dialog->isVisible();
      waiting_status = rig.dialog->controlText(w::kCtlStatus);
    });
    return false;
  };
  click(*rig.dialog, w::kCtlGo);
  ASSERT_TRUE(waitUntil([&] { return !rig.dialog->isVisible(); }));

  const bool zh = c.language == w::Language::SimplifiedChinese;
  const QString failed = zh ? "烧录失败！" : "Burn Failed!";
  EXPECT_EQ(rig.watcher.seen, (QStringList{"No Source File!\n\n" + advice(w::FailureKind::NoImage, c.language),
                                           QString::fromUtf8(app::kMsgBusy.data()), failed}));
  EXPECT_EQ(rig.watcher.icons, QList<QMessageBox::Icon>(3, QMessageBox::Warning));
  EXPECT_TRUE(still_open);
  EXPECT_EQ(waiting_status, zh ? "任务结束后关闭窗口..." : "Closing when the task ends...");
  EXPECT_TRUE(rig.imageBlank());
  EXPECT_EQ(rig.dialog->result(), c.by_enter ? QDialog::Accepted : QDialog::Rejected);
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), failed);
}

INSTANTIATE_TEST_SUITE_P(Ways, GuiWhileRunning,
                         ::testing::Values(CloseCase{w::Language::English, false},
                                           CloseCase{w::Language::SimplifiedChinese, true}),
                         [](const auto& param_info) {
                           return std::string(param_info.param.by_enter ? "EnterInChinese" : "CloseBoxInEnglish");
                         });

}  // namespace
}  // namespace emberline::gui
