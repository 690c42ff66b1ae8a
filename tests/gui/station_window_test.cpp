// The station window on a folder of simulated cameras: rows follow the
// cameras plugged in and out, "Start All" burns each camera once, and a
// camera plugged in afterwards waits for the next "Start All".

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

  void plug(const std::string& name) { ASSERT_EQ(sim::SimCamera().save(dir_ / "line" / name), 0); }

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
  waitUntil([&] { return window->tally().passed == 2 && window->idle(); });
  EXPECT_EQ(window->tally().passed, 2u);
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
  waitUntil([&] { return window->tally().passed == 3 && window->idle(); });
  EXPECT_EQ(window->tally().passed, 3u);
  EXPECT_EQ(window->tally().failed, 0u);
}

}  // namespace
}  // namespace emberline::gui
