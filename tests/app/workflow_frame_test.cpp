// The workflow frame: the burn's stage table through the dialog, the start
// handlers without a camera, one device operation at a time, and the
// progress bars.

#include <algorithm>

#include "dialog_fixture.h"

namespace emberline::app {
namespace {

using namespace testing;

// A bar's distinct positions, in order.
std::vector<int> positions(const std::vector<std::string>& events) {
  std::vector<int> out;
  for (const std::string& e : events) {
    const int pos = std::stoi(e.substr(1));
    if (out.empty() || out.back() != pos) out.push_back(pos);
  }
  return out;
}

TEST(BurnFrame, WalksTheStageTableWithEveryStartButtonOff) {
  DialogRig<> rig(w::Language::SimplifiedChinese);
  rig.dialog->OnInitDialog();
  const auto image = writeImage("burn.src");
  rig.dialog->OnDropFiles({image});
  rig.view.events.clear();
  const int persists = rig.persists;
  rig.dialog->OnCommand(w::kCtlGo);

  const auto& e = rig.view.events;
  const std::vector<std::string> opening{"hide 1004",    "hide 1007",    "hide 1008",    "hide 1009",
                                         "hide 1010",    "hide 1011",    "hide 1012",    "hold machine", "disable 1002",
                                         "disable 1000", "disable 1005", "disable 1006", "disable 1017",
                                         "text 1014 烧录中..."};
  EXPECT_EQ(std::vector<std::string>(e.begin(), e.begin() + opening.size()), opening);
  EXPECT_EQ(positions(rig.view.matching("progress 1004 ")), (std::vector<int>{0, 1, 3, 6, 8, 9}));
  EXPECT_EQ(rig.view.matching("show "),
            (std::vector<std::string>{"1004", "1007", "1008", "1009", "1010", "1011", "1012"}));
  const std::vector<std::string> closing{"text 1014 烧录成功！", "enable 1002", "enable 1000", "enable 1005",
                                         "enable 1006", "enable 1017", "ended"};
  EXPECT_EQ(std::vector<std::string>(e.end() - closing.size(), e.end()), closing);
  EXPECT_EQ(rig.persists, persists + 1);  // the camera's state is saved after the workflow
  EXPECT_TRUE(rig.flashHolds(image));
}

// The face keeps the machine awake and holds a shutdown off while the flash
// is written (burn, erase), not while it is only read (export).
TEST(BurnFrame, TheMachineIsHeldWhileTheFlashIsWritten) {
  const struct {
    void (CEmberline_testDlg::*handler)();
    std::size_t holds;
  } cases[] = {{&CEmberline_testDlg::OnBnClickedGo, 1},
               {&CEmberline_testDlg::OnBnClickedEraseSf, 1},
               {&CEmberline_testDlg::OnBnClickedRomExport, 0}};
  for (const auto& c : cases) {
    DialogRig<> rig(w::Language::English, true, std::filesystem::temp_directory_path());
    rig.dialog->OnInitDialog();
    rig.view.events.clear();
    (rig.dialog.get()->*c.handler)();
    const auto& e = rig.view.events;
    EXPECT_EQ(static_cast<std::size_t>(std::count(e.begin(), e.end(), "hold machine")), c.holds);
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(e.back(), "ended");
  }
}

TEST(BurnFrame, StartHandlersWithoutACameraOnlyHideTheStageRow) {
  for (auto handler : {&CEmberline_testDlg::OnBnClickedGo, &CEmberline_testDlg::OnBnClickedEraseSf,
                       &CEmberline_testDlg::OnBnClickedRomExport}) {
    DialogRig<HeldLauncher> rig;
    rig.dialog->OnInitDialog();
    rig.devices.setEnumerateError(-EIO);
    rig.view.events.clear();
    (rig.dialog.get()->*handler)();
    EXPECT_EQ(rig.view.events, (std::vector<std::string>{"hide 1004", "hide 1007", "hide 1008", "hide 1009",
                                                         "hide 1010", "hide 1011", "hide 1012"}));
    EXPECT_EQ(rig.launcher.starts, 0);
  }
}

TEST(OneOperationAtATime, EveryDeviceCommandIsRefusedWhileAWorkflowRuns) {
  DialogRig<HeldLauncher> rig;
  rig.dialog->OnInitDialog();
  rig.dialog->OnTcnSelchangeTab(1);
  rig.dialog->OnBnClickedEraseSf();
  ASSERT_EQ(rig.dialog->runningWorkflow(), Workflow::Erase);
  const auto requests = rig.camera->requestCount();
  rig.view.events.clear();

  for (int id : {w::kCtlGo, w::kCtlEraseSf, w::kCtlRomExport, w::kCtlFwVersion}) rig.dialog->OnCommand(id);
  EXPECT_EQ(rig.view.messages(), std::vector<std::string>(4, std::string(kMsgBusy)));
  EXPECT_TRUE(rig.view.matching("hide").empty());
  EXPECT_EQ(rig.launcher.starts, 1);
  EXPECT_EQ(rig.camera->requestCount(), requests);  // nobody else touched the camera
  // The erase does not read the image: a file may be loaded meanwhile.
  const auto image = writeImage("during-erase.src");
  rig.dialog->OnDropFiles({image});
  EXPECT_TRUE(rig.imageIs(readFile(image)));

  rig.launcher.runHeld();
  EXPECT_EQ(rig.status(), "Flash Erase Successes!");
  EXPECT_TRUE(rig.dialog->canClose());
  rig.dialog->OnCommand(w::kCtlFwVersion);  // the version block was erased with the flash
  EXPECT_EQ(rig.view.messages().back().rfind("Get F/W Version: \xC3\xBF\xC3\xBF", 0), 0u) << rig.view.messages().back();
}

TEST(DialogProgressBars, HoldTheirPositionInsideTheRangeAndUnknownIdsAreIgnored) {
  DialogRig<> rig;
  w::UiPort& port = rig.dialog->port();
  port.setProgressRange(w::kCtlProgressData, 0, 13004);
  port.setProgressPos(w::kCtlProgressData, 13104);  // the programming stage goes past the end
  EXPECT_EQ(rig.dialog->control(w::kCtlProgressData).position, 13004);
  port.setProgressRange(w::kCtlProgressData, 0, 2);
  EXPECT_EQ(rig.dialog->control(w::kCtlProgressData).position, 2);
  port.showControl(4242, true);
  EXPECT_FALSE(rig.dialog->control(4242).visible);
}

}  // namespace
}  // namespace emberline::app
