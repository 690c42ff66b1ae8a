// Progress in the Qt dialog: a worker's positions reach the bars while a
// stage runs, not only when the next stage begins.

#include <QProgressBar>

#include <chrono>

#include "gui_fixture.h"

namespace emberline::gui {
namespace {

using namespace testing;

TEST(GuiProgress, TheDataBarMovesWhileTheBlocksAreProgrammed) {
  GuiRig rig(w::Language::English, /*with_camera=*/false);
  sim::SimSettings slow;
  slow.latency = std::chrono::microseconds(30);  // the programming stage lasts a few hundred ms
  rig.devices.add(std::make_shared<sim::SimCamera>(slow));
  rig.open();
  dropFiles(*rig.dialog, {writeImage("progress.src")});

  auto* data = qobject_cast<QProgressBar*>(rig.dialog->control(w::kCtlProgressData));
  auto shown = [&](int id) { return rig.dialog->control(id)->isVisibleTo(rig.dialog.get()); };
  std::set<int> while_programming;
  click(*rig.dialog, w::kCtlGo);
  ASSERT_TRUE(waitUntil([&] {
    if (shown(w::kCtlStageBurn) && !shown(w::kCtlStageBurnOk)) while_programming.insert(data->value());
    return !rig.dialog->controller().busy();
  }));
  EXPECT_EQ(rig.dialog->controlText(w::kCtlStatus), "Burn Successes!");
  EXPECT_GT(while_programming.size(), 3u);
}

}  // namespace
}  // namespace emberline::gui
