// Start-up of the Qt dialog: the boxes and result without a camera, the
// window laid out from the template in both languages, the About box.

#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>

#include "gui/qt/control_widgets.h"
#include "gui_fixture.h"

namespace emberline::gui {
namespace {

using namespace testing;

TEST(GuiStartup, WithoutCameraShowsBothMessagesInOrderAndEndsWithMinusOne) {
  GuiRig rig(w::Language::English, /*with_camera=*/false);
  EXPECT_EQ(rig.dialog->runModal(), -1);
  ASSERT_EQ(rig.watcher.seen.size(), 2);
  EXPECT_TRUE(rig.watcher.seen[0].startsWith("Can't find video device!\n\nCheck that the camera is plugged in"));
  EXPECT_EQ(rig.watcher.seen[1], "GetChipIDValue Failed!");
  EXPECT_FALSE(rig.dialog->isVisible());
}

class GuiLayout : public ::testing::TestWithParam<w::Language> {};

TEST_P(GuiLayout, PlacesTheControlsFromTheirTemplateScaledToTheFont) {
  const w::Language language = GetParam();
  GuiRig rig(language);
  rig.open();
  const app::DialogBaseUnits base = baseUnitsFor(rig.dialog->font());
  for (const app::ControlTemplate& c : app::mainDialogControls()) {
    const app::PixelRect want = app::toPixels(c.rect(language), base);
    const QRect got = rig.dialog->control(c.id)->geometry();
    // Stage labels may be widened to their caption, nothing else is.
    EXPECT_TRUE(got.topLeft() == QPoint(want.x, want.y) && got.height() == want.height &&
                (got.width() == want.width || (c.kind == app::ControlKind::StaticText && got.width() > want.width)))
        << c.id;
  }
  EXPECT_EQ(rig.dialog->size(), QSize(app::dialogUnitsToPixelsX(320, base), app::dialogUnitsToPixelsY(185, base)));
  EXPECT_EQ(visibleControls(*rig.dialog), kBurnPage);
  const bool zh = language == w::Language::SimplifiedChinese;
  EXPECT_EQ(rig.dialog->controlText(w::kCtlGo), zh ? "开始烧录" : "GO");
  EXPECT_EQ(rig.dialog->tabControl()->tabText(1), zh ? "辅助功能" : "Auxiliary Function");
  EXPECT_TRUE(rig.watcher.seen.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Languages, GuiLayout,
                         ::testing::Values(w::Language::English, w::Language::SimplifiedChinese));

TEST(GuiStartup, TheWindowMenusAboutItemOpensTheAboutBoxWithTheIcon) {
  GuiRig rig;
  rig.open();
  EXPECT_FALSE(rig.dialog->windowIcon().isNull());
  ASSERT_TRUE(rig.dialog->systemMenuButton()->isVisibleTo(rig.dialog.get()));
  const auto actions = rig.dialog->systemMenu()->actions();
  ASSERT_EQ(actions.size(), 1);
  EXPECT_EQ(actions[0]->text(), "&About Common USB Emberline...");
  bool icon_shown = false;
  rig.watcher.on_dialog = [&](QDialog* about) {
    const auto* icon = about->findChild<QLabel*>(QStringLiteral("aboutIcon"));
    icon_shown = icon && !icon->pixmap().isNull();
  };
  actions[0]->trigger();
  EXPECT_EQ(rig.watcher.seen, QStringList{"emberline::gui::AboutDialog"});
  EXPECT_TRUE(icon_shown);
}

}  // namespace
}  // namespace emberline::gui
