// The station window on a folder of simulated cameras: rows follow the
// cameras plugged in and out, "Start All" burns each camera once, a camera
// plugged in afterwards waits for the next "Start All", and a failure's
// reason is readable in the window as it opens.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <filesystem>

#include "frontend/hotplug.h"
#include "gui/qt/station_window.h"
#include "sim/sim_camera.h"
#include "support/files.h"

namespace emberline::gui {
namespace {

class StationWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("station-window-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "line");
    std::vector<std::uint8_t> image(0x20000, 0xFF);
    for (std::size_t i = 4; i < 0x8000; ++i) image[i] = static_cast<std::uint8_t>(i * 13);
    image[0] = 'Q', image[1] = 'R', image[2] = '5', image[3] = 'X';
    test::writeFile(dir_ / "image.src", image);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void plug(const std::string& name, sim::SimSettings settings = {}) {
    ASSERT_EQ(sim::SimCamera(settings).save(dir_ / "line" / name), 0);
  }

  std::unique_ptr<StationWindow> open() {
    StationWindowSettings settings;
    settings.image = dir_ / "image.src";
    std::string error;
    auto source = frontend::openSimFolder("sim-dir:" + (dir_ / "line").string(), &error);
    EXPECT_TRUE(source) << error;
    return std::make_unique<StationWindow>(settings, std::move(source), nullptr);
  }

  static void waitUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 30000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }

  std::filesystem::path dir_;
};

TEST_F(StationWindowTest, BurnsEveryPluggedCameraOnceAndFollowsPlugging) {
  plug("a.sim");
  plug("b.sim");
  auto window = open();
  EXPECT_EQ(window->table()->rowCount(), 2);

  window->startAll();
  waitUntil([&] { return window->board().totals().passed == 2 && window->idle(); });
  EXPECT_EQ(window->board().totals().passed, 2u);
  EXPECT_EQ(window->table()->item(0, 5)->text().toStdString(), "Passed");
  for (const char* name : {"a.sim", "b.sim"}) {
    std::string error;
    const auto camera = sim::SimCamera::load(dir_ / "line" / name, &error);
    ASSERT_TRUE(camera) << error;
    EXPECT_TRUE(test::flashHolds(*camera, dir_ / "image.src")) << name;
  }

  // A new camera appears and waits; the burned ones are not burned again.
  plug("c.sim");
  std::filesystem::remove(dir_ / "line" / "a.sim");
  window->pollCameras();
  window->pollCameras();  // a new file is taken once it looks the same twice
  EXPECT_EQ(window->table()->rowCount(), 2);
  EXPECT_NE(window->totals()->text().indexOf(QStringLiteral("Waiting: 1")), -1) << window->totals()->text().toStdString();
  window->startAll();
  waitUntil([&] { return window->board().totals().passed == 3 && window->idle(); });
  EXPECT_EQ(window->board().totals().passed, 3u);
  EXPECT_EQ(window->board().totals().failed, 0u);
}

TEST_F(StationWindowTest, AFailuresReasonIsReadableAndStaysGreyedOnceTheCameraIsGone) {
  sim::SimSettings small;
  small.flash_size = 0x10000;  // the image wraps: verification fails
  plug("sim-camera-with-a-long-name-on-port-7.sim", small);
  auto window = open();
  window->show();
  window->startAll();
  waitUntil([&] { return window->idle() && window->board().totals().failed == 1; });
  QTableWidget* table = window->table();
  ASSERT_EQ(table->rowCount(), 1);
  const QString advice = QString::fromUtf8(
      workflows::operatorAdvice(workflows::FailureKind::VerifyMismatch, workflows::Language::English).data());
  EXPECT_EQ(table->item(0, station::kColumnStage)->text().toStdString(), "Verify: failed");
  EXPECT_EQ(table->item(0, station::kColumnResult)->text(), "Failed: " + advice);
  EXPECT_TRUE(table->item(0, station::kColumnResult)->toolTip().startsWith("Check Data Failed!\n" + advice));
  // At the window's first size the reason takes what the other columns
  // leave, at least half the table, however long the device's name is.
  int others = 0;
  for (int c = 0; c < station::kColumns; ++c) others += c == station::kColumnResult ? 0 : table->columnWidth(c);
  const int width = table->viewport()->width();
  EXPECT_GE(table->columnWidth(station::kColumnResult), width - others - 1);
  EXPECT_GE(2 * table->columnWidth(station::kColumnResult), width);
  EXPECT_NE(window->identity()->text().indexOf("SHA-256 "), -1);

  std::filesystem::remove(dir_ / "line" / "sim-camera-with-a-long-name-on-port-7.sim");
  window->pollCameras();
  window->pollCameras();  // a file is gone once it is missing twice
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_TRUE(table->item(0, station::kColumnDevice)->text().endsWith(" (unplugged)"));
  EXPECT_TRUE(table->item(0, station::kColumnResult)->foreground().color() ==
              window->palette().color(QPalette::Disabled, QPalette::Text));
  window->clear();
  EXPECT_EQ(table->rowCount(), 0);
  EXPECT_NE(window->totals()->text().indexOf("Failed: 1"), -1) << window->totals()->text().toStdString();
}

}  // namespace
}  // namespace emberline::gui
