// Start-up of the Qt dialog: message boxes and result without a camera, the
// window and its controls laid out from the template in both languages, and
// the About box reached from the window.

#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>

#include "gui/qt/control_widgets.h"
#include "gui_fixture.h"

namespace emberline::gui {
namespace {

using testing::GuiRig;

const std::set<int> kBurnPage{w::kCtlBrowse, w::kCtlImagePath, w::kCtlGo,
                              w::kCtlProgressData, w::kCtlStatus, w::kCtlTab};

TEST(GuiStartup, WithoutCameraShowsBothMessagesInOrderAndEndsWithMinusOne) {
  GuiRig rig(w::Language::English, /*with_camera=*/false);
  EXPECT_EQ(rig.dialog->runModal(), -1);
  EXPECT_EQ(rig.watcher.seen,
            (QStringList{QStringLiteral("Can't find video device!"), QStringLiteral("GetChipIDValue Failed!")}));
  EXPECT_FALSE(rig.dialog->isVisible());
}

class GuiLayout : public ::testing::TestWithParam<w::Language> {};

TEST_P(GuiLayout, PlacesEveryControlFromItsTemplateScaledToTheFont) {
  const w::Language language = GetParam();
  GuiRig rig(language);
  ASSERT_TRUE(rig.dialog->initialise());
  rig.dialog->show();
  EXPECT_TRUE(rig.watcher.seen.isEmpty());

  const app::DialogBaseUnits base = baseUnitsFor(rig.dialog->font());
  ASSERT_GT(base.x, 0);
  for (const app::ControlTemplate& c : app::mainDialogControls()) {
    const app::PixelRect want = app::toPixels(c.rect(language), base);
    const QRect got = rig.dialog->control(c.id)->geometry();
    EXPECT_EQ(got.topLeft(), QPoint(want.x, want.y)) << c.id;
    EXPECT_EQ(got.height(), want.height) << c.id;
    if (c.kind == app::ControlKind::StaticText) {
      EXPECT_GE(got.width(), want.width) << c.id;  // widened to its caption where needed
    } else {
      EXPECT_EQ(got.width(), want.width) << c.id;
    }
    if (c.kind == app::ControlKind::PushButton) {
      EXPECT_EQ(rig.dialog->controlText(c.id).toStdString(), c.caption(language)) << c.id;
    }
  }
  EXPECT_EQ(rig.dialog->size(), QSize(app::dialogUnitsToPixelsX(320, base), app::dialogUnitsToPixelsY(185, base)));
  EXPECT_EQ(rig.dialog->minimumSize(), rig.dialog->maximumSize());  // not resizable

  EXPECT_EQ(testing::visibleControls(*rig.dialog), kBurnPage);
  EXPECT_EQ(rig.dialog->tabControl()->count(), 2);
  EXPECT_EQ(rig.dialog->tabControl()->tabText(1).toStdString(),
            language == w::Language::English ? "Auxiliary Function" : "辅助功能");
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus).toStdString(),
            language == w::Language::English ? "No Task is Running..." : "没有任务正在运行...");
  EXPECT_FALSE(rig.dialog->windowIcon().isNull());
  EXPECT_FALSE(rig.dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(rig.dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
}

INSTANTIATE_TEST_SUITE_P(Languages, GuiLayout,
                         ::testing::Values(w::Language::English, w::Language::SimplifiedChinese));

TEST(GuiAbout, TheSystemMenuItemOpensTheAboutBoxWithTheIcon) {
  GuiRig rig;
  ASSERT_TRUE(rig.dialog->initialise());
  rig.dialog->show();
  QToolButton* button = rig.dialog->systemMenuButton();
  ASSERT_TRUE(button->isVisibleTo(rig.dialog.get()));
  EXPECT_FALSE(button->icon().isNull());
  const auto actions = rig.dialog->systemMenu()->actions();
  ASSERT_EQ(actions.size(), 1);
  EXPECT_EQ(actions.back()->text(), QStringLiteral("&About Common USB Emberline..."));

  bool icon_shown = false;
  QString title;
  rig.watcher.on_dialog = [&](QDialog* about) {
    title = about->windowTitle();
    const auto* icon = about->findChild<QLabel*>(QStringLiteral("aboutIcon"));
    icon_shown = icon && !icon->pixmap().isNull();
  };
  actions.back()->trigger();
  EXPECT_EQ(rig.watcher.seen, QStringList{QStringLiteral("emberline::gui::AboutDialog")});
  EXPECT_EQ(title, QStringLiteral("About Common USB Emberline"));
  EXPECT_TRUE(icon_shown);
}

}  // namespace
}  // namespace emberline::gui
