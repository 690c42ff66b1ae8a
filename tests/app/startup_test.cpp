// Start-up (OnInitDialog), the About command and destruction.

#include "dialog_fixture.h"

#include "core/workflows/ui_port.h"

namespace emberline::app {
namespace {

using testing::DialogRig;
using testing::HeldLauncher;
using testing::kBurnPageVisible;

// How many requests discovery sends before the dialog reads the chip id.
std::uint64_t discoveryRequests() {
  auto camera = std::make_shared<sim::SimCamera>();
  sim::SimDeviceList devices;
  devices.add(camera);
  w::NullUiPort ui;
  device::ManualClock clock;
  w::CameraSession session(devices, ui, clock);
  session.setDiscoveryOutput([](std::string_view) {});
  EXPECT_EQ(session.DiscoverCamera(), 0);
  return camera->requestCount();
}

TEST(Startup, WithCameraRunsTheStepsInOrderAndShowsTheBurnPage) {
  DialogRig<> rig;
  EXPECT_TRUE(rig.init());

  const std::vector<std::string> expected{
      "sysmenu 16 &About Common USB Emberline...", "icon", "tab 0 Burn", "tab 1 Auxiliary Function",
      "select 0", "hide 1005", "hide 1006", "hide 1013", "hide 1017", "hide 1004", "hide 1007",
      "hide 1008", "hide 1009", "hide 1010", "hide 1011", "hide 1012",
      "text 1014 No Task is Running..."};
  EXPECT_EQ(rig.view.events, expected);
  EXPECT_EQ(rig.visibleControls(), kBurnPageVisible);
  EXPECT_FALSE(rig.dialog->control(w::kCtlGetRomType).enabled);
  EXPECT_FALSE(rig.dialog->control(w::kCtlRename).enabled);
  EXPECT_EQ(rig.dialog->session()->chipId(), 0x33);
  EXPECT_EQ(rig.dialog->imageSize(), 0x20000);
  const auto image = rig.dialog->session()->image();
  ASSERT_EQ(image.size(), 0x20000u);
  EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(rig.dialog->currentTab(), 0);
  EXPECT_FALSE(rig.dialog->endResult());
}

TEST(Startup, ChineseResourcesNameTheTabsAndStatus) {
  DialogRig<> rig(w::Language::SimplifiedChinese);
  rig.init();
  EXPECT_EQ(rig.view.matching("tab "), (std::vector<std::string>{"tab 0 烧录", "tab 1 辅助功能"}));
  EXPECT_EQ(rig.status(), "没有任务正在运行...");
  EXPECT_EQ(rig.dialog->control(w::kCtlGo).text, "开始烧录");
}

struct NoCameraCase {
  const char* name;
  std::function<void(sim::SimDeviceList&)> devices;
};

class StartupWithoutCamera : public ::testing::TestWithParam<NoCameraCase> {};

TEST_P(StartupWithoutCamera, ShowsBothMessagesAndEndsWithMinusOne) {
  DialogRig<> rig(w::Language::English, /*with_camera=*/false);
  GetParam().devices(rig.devices);
  EXPECT_FALSE(rig.init());
  EXPECT_EQ(rig.view.messages,
            (std::vector<std::string>{"Can't find video device!", "GetChipIDValue Failed!"}));
  EXPECT_EQ(rig.dialog->endResult(), -1);
  // The end is asked for right after the first message; initialisation goes on.
  const auto& e = rig.view.events;
  const auto end = std::find(e.begin(), e.end(), "end -1");
  ASSERT_NE(end, e.end());
  EXPECT_EQ(*(end - 1), "message Can't find video device!");
  EXPECT_NE(std::find(end, e.end(), "text 1014 No Task is Running..."), e.end());
}

INSTANTIATE_TEST_SUITE_P(
    Devices, StartupWithoutCamera,
    ::testing::Values(NoCameraCase{"EmptyList", [](sim::SimDeviceList&) {}},
                      NoCameraCase{"WebcamOnly", [](sim::SimDeviceList& d) { d.addWebcam("Webcam"); }},
                      NoCameraCase{"Unopenable", [](sim::SimDeviceList& d) { d.addUnopenable("Busy"); }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Startup, UnreadableChipIdShowsOneMessageAndKeepsTheDialog) {
  DialogRig<> rig;
  sim::FaultPlan plan;
  plan.vanish_after = discoveryRequests();
  rig.camera->setFaults(plan);

  EXPECT_FALSE(rig.init());
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{"GetChipIDValue Failed!"});
  EXPECT_FALSE(rig.dialog->endResult());
  EXPECT_EQ(rig.status(), "No Task is Running...");
  EXPECT_EQ(rig.visibleControls(), kBurnPageVisible);
}

TEST(SystemCommand, AboutItemOpensTheAboutBoxAndOtherCommandsPassOn) {
  DialogRig<> rig;
  rig.init();
  EXPECT_TRUE(rig.dialog->OnSysCommand(kIdmAboutBox));
  EXPECT_TRUE(rig.dialog->OnSysCommand(kIdmAboutBox | 0x3));  // low bits are the system's
  EXPECT_FALSE(rig.dialog->OnSysCommand(0xF060));              // close
  EXPECT_FALSE(rig.dialog->OnSysCommand(0xF020));              // minimise
  EXPECT_EQ(rig.view.about_boxes, 2);
}

TEST(Destroy, WaitsForTheRunningWorkerThenFreesTheImageBuffer) {
  testing::TempFolder folder;
  DialogRig<HeldLauncher> rig;
  rig.init();
  rig.dialog->OnDropFiles({testing::writeFile(folder.path() / "fw.src", testing::familyImage())});
  rig.dialog->OnBnClickedGo();
  ASSERT_TRUE(rig.launcher.held);
  EXPECT_FALSE(rig.dialog->canClose());

  rig.dialog->OnDestroy();
  EXPECT_EQ(rig.status(), "Burn Successes!");  // the worker ran to its end first
  EXPECT_EQ(rig.dialog->session(), nullptr);
  EXPECT_TRUE(rig.dialog->canClose());
  // Handlers after destruction do nothing.
  rig.dialog->OnBnClickedGo();
  EXPECT_EQ(rig.launcher.starts, 1);
}

}  // namespace
}  // namespace emberline::app
