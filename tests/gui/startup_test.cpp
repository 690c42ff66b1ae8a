// Start-up of the Qt dialog: the boxes and result without a camera, the
// window laid out from the template in both languages, the About box.

#include <QFileDialog>
#include <QLabel>
#include <QTableWidget>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>

#include "gui/qt/control_widgets.h"
#include "gui/qt/station_main.h"
#include "gui_fixture.h"
#include "support/dialog_layout.h"

namespace emberline::gui {
namespace {

using namespace testing;

TEST(GuiStartup, WithoutCameraSaysSoOnceAndEndsWithMinusOne) {
  GuiRig rig(w::Language::English, /*with_camera=*/false);
  EXPECT_EQ(rig.dialog->runModal(), -1);
  ASSERT_EQ(rig.watcher.seen.size(), 1);
  EXPECT_TRUE(rig.watcher.seen[0].startsWith("Can't find video device!\n\nCheck that the camera is plugged in"));
  EXPECT_FALSE(rig.dialog->isVisible());
}

class GuiLayout : public ::testing::TestWithParam<w::Language> {};

// Every widget against the template written out by hand: caption and place
// (scaled to the dialog's font) in the dialog's language.
TEST_P(GuiLayout, EveryControlShowsItsCaptionAtItsTemplatePlace) {
  const w::Language language = GetParam();
  const bool zh = language == w::Language::SimplifiedChinese;
  GuiRig rig(language);
  rig.open();
  const app::DialogBaseUnits base = baseUnitsFor(rig.dialog->font());
  const auto px = [&](int units) { return app::dialogUnitsToPixelsX(units, base); };
  const auto py = [&](int units) { return app::dialogUnitsToPixelsY(units, base); };
  for (const test::ExpectedControl& c : test::kExpectedControls) {
    SCOPED_TRACE("control " + std::to_string(c.id));
    const QWidget* widget = rig.dialog->control(c.id);
    ASSERT_NE(widget, nullptr);
    if (!c.caption_en.empty()) {
      EXPECT_EQ(rig.dialog->controlText(c.id).toStdString(), zh ? c.caption_zh : c.caption_en);
    }
    const QRect got = widget->geometry();
    // Stage labels may be widened to their caption, nothing else is.
    const auto widthFits = [&](int want) {
      return got.width() == want || (c.kind == app::ControlKind::StaticText && got.width() > want);
    };
    if (!zh || c.rect_zh) {
      const app::PixelRect want = app::toPixels(zh ? *c.rect_zh : c.rect_en, base);
      EXPECT_EQ(got.topLeft(), QPoint(want.x, want.y));
      EXPECT_EQ(got.height(), want.height);
      EXPECT_TRUE(widthFits(want.width)) << got.width() << " for " << want.width;
    } else {
      const app::PixelRect en = app::toPixels(c.rect_en, base);
      EXPECT_LE(std::abs(got.x() - en.x), px(test::kChineseDrift));
      EXPECT_LE(std::abs(got.y() - en.y), py(test::kChineseDrift));
      EXPECT_LE(std::abs(got.height() - en.height), py(test::kChineseDrift));
      if (c.kind == app::ControlKind::StaticText) {
        EXPECT_GE(got.width(), en.width - px(test::kChineseDrift));
      } else {
        EXPECT_LE(std::abs(got.width() - en.width), px(test::kChineseDrift));
      }
    }
  }
  EXPECT_EQ(rig.dialog->size(), QSize(px(320), py(185)));
  EXPECT_EQ(visibleControls(*rig.dialog), kBurnPage);
  EXPECT_EQ(rig.dialog->tabControl()->tabText(0), zh ? "烧录" : "Burn");
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

// The window menu's station item opens the station window, modal over the
// dialog, on the folder of the dialog's simulated camera.
class GuiStationItem : public ::testing::TestWithParam<std::pair<w::Language, QString>> {};

TEST_P(GuiStationItem, AsksForTheImageThenOpensTheStationWindowOverTheDialog) {
  const w::Language language = GetParam().first;
  const auto line = std::filesystem::temp_directory_path() / ("gui-station-item-" + std::to_string(::getpid()));
  std::filesystem::remove_all(line);
  std::filesystem::create_directories(line);
  for (const char* name : {"a.sim", "b.sim"}) ASSERT_EQ(sim::SimCamera().save(line / name), 0);
  const auto image = writeImage("station-item.src");

  GuiRig rig(language);
  rig.dialog = std::make_unique<EmberlineDialog>(
      rig.devices, language, std::function<std::string()>{},
      [&](const std::filesystem::path& chosen, QWidget* parent) {
        openStationFromDialog(chosen, {}, "sim:" + (line / "a.sim").string(), language, parent);
      });
  rig.open();
  const auto actions = rig.dialog->systemMenu()->actions();
  ASSERT_EQ(actions.size(), 2);
  EXPECT_EQ(actions[0]->text(), GetParam().second);
  EXPECT_TRUE(actions[1]->text().contains(QStringLiteral("Common USB Emberline")));

  QStringList filters;
  rig.watcher.on_file_dialog = [&](QFileDialog* files) {
    filters = files->nameFilters();
    files->selectFile(QString::fromStdString(image.string()));
    static_cast<QDialog*>(files)->accept();
  };
  int rows = -1;
  QString title;
  rig.watcher.on_dialog = [&](QDialog* dialog) {
    if (auto* station = qobject_cast<StationDialog*>(dialog)) {
      rows = station->window()->table()->rowCount();
      title = station->windowTitle();
    }
  };
  actions[0]->trigger();
  EXPECT_EQ(filters.value(0), language == w::Language::English ? "Source File(*.SRC)" : "源文件(*.SRC)");
  EXPECT_EQ(rig.watcher.seen, QStringList{"emberline::gui::StationDialog"});
  EXPECT_EQ(rows, 2);
  EXPECT_TRUE(title.endsWith(QStringLiteral("station-item.src"))) << title.toStdString();
  std::filesystem::remove_all(line);
}

INSTANTIATE_TEST_SUITE_P(Languages, GuiStationItem,
                         ::testing::Values(std::pair{w::Language::English, QStringLiteral("&Station Window...")},
                                           std::pair{w::Language::SimplifiedChinese,
                                                     QStringLiteral("烧录站窗口(&S)...")}));

// The station's record file is appended to: the image or a camera's file
// would be damaged, so the station refuses to open and says why.
TEST(GuiStationRecord, ARecordFileThatIsTheImageOrACameraIsRefused) {
  const auto line = std::filesystem::temp_directory_path() / ("gui-station-record-" + std::to_string(::getpid()));
  std::filesystem::remove_all(line);
  std::filesystem::create_directories(line);
  ASSERT_EQ(sim::SimCamera().save(line / "a.sim"), 0);
  const auto image = writeImage("station-record.src");
  const auto image_bytes = readFile(image);
  const auto camera_bytes = readFile(line / "a.sim");
  const struct {
    std::filesystem::path record;
    const char* says;
  } cases[] = {{image, "are the same file"}, {line / "a.sim", "would be a camera"}, {line / "new.sim", "would be a camera"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.record.string());
    GuiRig rig;
    rig.dialog = std::make_unique<EmberlineDialog>(
        rig.devices, w::Language::English, std::function<std::string()>{},
        [&](const std::filesystem::path& chosen, QWidget* parent) {
          openStationFromDialog(chosen, c.record.string(), "sim:" + (line / "a.sim").string(), w::Language::English,
                                parent);
        });
    rig.open();
    dropFiles(*rig.dialog, {image});
    rig.dialog->systemMenu()->actions()[0]->trigger();
    ASSERT_EQ(rig.watcher.seen.size(), 1);
    EXPECT_TRUE(rig.watcher.seen[0].contains(QString::fromUtf8(c.says))) << rig.watcher.seen[0].toStdString();
  }
  EXPECT_EQ(readFile(image), image_bytes);
  EXPECT_EQ(readFile(line / "a.sim"), camera_bytes);
  EXPECT_FALSE(std::filesystem::exists(line / "new.sim"));
  std::filesystem::remove_all(line);
}

}  // namespace
}  // namespace emberline::gui
