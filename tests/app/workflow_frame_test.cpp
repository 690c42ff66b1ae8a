// The workflow frame: the burn's stage table through the dialog, every start
// clearing the last result, no camera, the erase's question, one device
// operation at a time, failures with the operator's line, and the progress
// bars.

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

std::string advice(w::FailureKind kind, w::Language language = w::Language::English) {
  return std::string(w::operatorAdvice(kind, language));
}

TEST(BurnFrame, WalksTheStageTableWithEveryStartButtonOff) {
  DialogRig<> rig(w::Language::SimplifiedChinese);
  rig.open();
  const auto image = writeImage("burn.src");
  rig.dialog->OnDropFiles({image});
  rig.view.events.clear();
  const int persists = rig.persists;
  rig.dialog->OnCommand(w::kCtlGo);

  const auto& e = rig.view.events;
  // The last result goes before anything else happens.
  const std::vector<std::string> opening{"text 1014 ",   "hide 1004",    "hide 1007",    "hide 1008",
                                         "hide 1009",    "hide 1010",    "hide 1011",    "hide 1012",
                                         "disable 1002", "disable 1000", "disable 1005", "disable 1006",
                                         "disable 1017", "hold machine", "text 1014 烧录中..."};
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
    rig.open();
    rig.view.answer = true;  // Erase SF's question
    rig.view.events.clear();
    (rig.dialog.get()->*c.handler)();
    const auto& e = rig.view.events;
    EXPECT_EQ(static_cast<std::size_t>(std::count(e.begin(), e.end(), "hold machine")), c.holds);
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(e.back(), "ended");
  }
}

// A result on screen always belongs to the camera attached now: every start
// clears it, and without a camera the status line says so instead of keeping
// the last camera's "Burn Successes!".
TEST(NoCamera, EveryStartClearsTheLastResultAndSaysWhyNothingHappened) {
  for (const int button : {w::kCtlGo, w::kCtlEraseSf, w::kCtlRomExport, w::kCtlFwVersion}) {
    SCOPED_TRACE(button);
    DialogRig<> rig;
    rig.open();
    rig.dialog->OnDropFiles({writeImage("before.src")});
    rig.dialog->OnBnClickedGo();
    ASSERT_EQ(rig.status(), "Burn Successes!");
    rig.devices.setEnumerateError(-EIO);
    const auto requests = rig.camera->requestCount();
    rig.view.events.clear();

    rig.dialog->OnCommand(button);
    auto& events = rig.view.events;
    if (button == w::kCtlEraseSf) events.erase(events.begin());  // its question
    EXPECT_EQ(events.front(), "text 1014 ");
    EXPECT_EQ(rig.status(), std::string(kMsgNoVideoDevice));
    EXPECT_TRUE(rig.view.messages().empty());
    EXPECT_TRUE(rig.view.matching("show ").empty());
    EXPECT_EQ(rig.camera->requestCount(), requests);
    EXPECT_TRUE(rig.dialog->control(button).enabled);
  }
}

// "Erase SF" leaves a camera that does not start: it asks first, No being
// the answer Enter gives, in the dialog's language.
TEST(EraseQuestion, ErasesOnlyOnYes) {
  const struct {
    w::Language language;
    bool yes;
    std::string question;
  } rows[] = {
      {w::Language::English, false,
       "ask [no] Erase the camera's firmware? The camera will not start until an image is burned."},
      {w::Language::SimplifiedChinese, true, "ask [no] 要擦除摄像头的固件吗？在烧录固件之前，摄像头将无法启动。"},
  };
  for (const auto& row : rows) {
    DialogRig<HeldLauncher> rig(row.language);
    rig.open();
    rig.view.answer = row.yes;
    rig.view.events.clear();
    rig.dialog->OnBnClickedEraseSf();
    ASSERT_FALSE(rig.view.events.empty());
    EXPECT_EQ(rig.view.events.front(), row.question);
    EXPECT_EQ(rig.launcher.starts, row.yes ? 2 : 1);
    rig.launcher.runHeld();
    const auto flash = rig.camera->flash();
    const bool erased = std::all_of(flash.begin(), flash.end(), [](std::uint8_t b) { return b == 0xFF; });
    EXPECT_EQ(erased, row.yes);
    EXPECT_EQ(rig.status(), row.yes ? rig.dialog->loadString(w::kStrEraseSucceeded) : "No Task is Running...");
  }
}

TEST(OneOperationAtATime, EveryDeviceCommandIsRefusedWhileAWorkflowRuns) {
  DialogRig<HeldLauncher> rig;
  rig.open();
  rig.dialog->OnTcnSelchangeTab(1);
  rig.dialog->OnBnClickedEraseSf();
  ASSERT_EQ(rig.dialog->runningWorkflow(), Workflow::Erase);
  const auto requests = rig.camera->requestCount();
  rig.view.events.clear();

  for (int id : {w::kCtlGo, w::kCtlEraseSf, w::kCtlRomExport, w::kCtlFwVersion}) rig.dialog->OnCommand(id);
  EXPECT_EQ(rig.view.messages(), std::vector<std::string>(4, std::string(kMsgBusy)));
  EXPECT_TRUE(rig.view.matching("hide").empty());
  EXPECT_EQ(rig.launcher.starts, 2);  // the start-up's and the erase's
  EXPECT_EQ(rig.camera->requestCount(), requests);  // nobody else touched the camera
  // The erase does not read the image: a file may be loaded meanwhile.
  const auto image = writeImage("during-erase.src");
  rig.dialog->OnDropFiles({image});
  EXPECT_TRUE(rig.imageIs(readFile(image)));

  rig.launcher.runHeld();
  EXPECT_EQ(rig.status(), "Flash Erase Successes!");
  EXPECT_TRUE(rig.dialog->canClose());
  rig.dialog->OnCommand(w::kCtlFwVersion);  // the version block was erased with the flash
  rig.launcher.runHeld();
  EXPECT_EQ(rig.view.messages().back().rfind("Get F/W Version: \xC3\xBF\xC3\xBF", 0), 0u) << rig.view.messages().back();
}

// Each failure: one box, the system's own text first, then one line in the
// dialog's language saying what happened and what to do.
TEST(FailureMessages, CarryTheSystemsTextAndTheOperatorsLine) {
  const struct {
    const char* what;
    w::Language language;
    sim::FaultPlan faults;
    std::string text;  // how the system's text begins
    w::FailureKind kind;
  } rows[] = {
      {"unplugged while programming", w::Language::English, [] { sim::FaultPlan p; p.vanish_after = 3000; return p; }(),
       "Write Flash Failed at 0x", w::FailureKind::UnpluggedDuringBurn},
      {"unplugged while programming", w::Language::SimplifiedChinese,
       [] { sim::FaultPlan p; p.vanish_after = 3000; return p; }(), "Write Flash Failed at 0x",
       w::FailureKind::UnpluggedDuringBurn},
      {"a refused write", w::Language::English, [] { sim::FaultPlan p; p.fail_request = 3000; return p; }(),
       "Write Flash Failed at 0x", w::FailureKind::Refused},
      {"a wrong byte read back", w::Language::SimplifiedChinese,
       [] { sim::FaultPlan p; p.wrong_byte_at = 0x400; return p; }(), "Check Data Failed!",
       w::FailureKind::VerifyMismatch},
      {"a flash that stays busy", w::Language::English, [] { sim::FaultPlan p; p.flash_never_ready = true; return p; }(),
       "The flash stayed busy", w::FailureKind::FlashBusy},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    DialogRig<> rig(row.language);
    rig.open();
    rig.dialog->OnDropFiles({writeImage("fails.src")});
    rig.camera->setFaults(row.faults);
    rig.dialog->OnBnClickedGo();
    const auto messages = rig.view.messages();
    ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(messages);
    EXPECT_EQ(messages[0].rfind(row.text, 0), 0u) << messages[0];
    const std::string line = "\n\n" + advice(row.kind, row.language);
    ASSERT_GT(messages[0].size(), line.size());
    EXPECT_EQ(messages[0].substr(messages[0].size() - line.size()), line) << messages[0];
    EXPECT_EQ(rig.status(), rig.dialog->loadString(w::kStrBurnFailed));
  }
}

// A camera pulled out anywhere in a burn gives one box, whichever request it
// was pulled out at: the first failure ends the burn, nothing after it adds
// a second box for the same cause.
TEST(FailureMessages, OneUnplugGivesOneBoxWhereverItHappens) {
  DialogRig<> rig;
  rig.open();
  const auto image = writeImage("unplug.src");
  rig.dialog->OnDropFiles({image});
  for (std::uint64_t after = 1; after < 7000; after += after < 120 ? 1 : 997) {
    SCOPED_TRACE(after);
    sim::FaultPlan plan;
    plan.vanish_after = after;
    rig.camera->setFaults(plan);
    rig.view.events.clear();
    rig.dialog->OnBnClickedGo();
    const auto messages = rig.view.messages();
    if (rig.status() == kMsgNoVideoDevice) {  // gone before the burn began
      EXPECT_TRUE(messages.empty());
      continue;
    }
    ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(messages);
    EXPECT_NE(messages[0].find("\n\nThe camera was unplugged"), std::string::npos) << messages[0];
    EXPECT_EQ(rig.status(), "Burn Failed!");
  }
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
