// Workflows stopped from outside at a request boundary, and flashes that
// never get ready: each ends with a message saying how far it got and what
// the flash holds, never with a success over content it did not check.

#include "core/workflows/device_error_text.h"
#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

class InterruptionTest : public SessionTest {
 protected:
  InterruptionTest() { freshStop(); }

  void freshStop() {
    stop = std::make_unique<device::StopSource>();
    session.setStopToken(stop->token());
    clock.on_sleep = nullptr;
    ui.events.clear();
  }

  // Requests a stop at the first event equal to `event`, or `progress`
  // data-bar positions after it; with `in_wait`, at the first sleep of a
  // wait after that (between two polls of the flash's status).
  void stopAt(const std::string& event, int progress = 0, bool in_wait = false) {
    ui.on_event = [this, event, progress, in_wait, seen = false](const std::string& e) mutable {
      if (!seen && e == event) seen = true;
      if (!seen || (progress > 0 && e != event && !e.starts_with("pos 1003 "))) return;
      if (e.starts_with("pos 1003 ") && e != event) --progress;
      if (progress > 0) return;
      if (in_wait)
        clock.on_sleep = [this] { stop->requestStop(130); };
      else
        stop->requestStop(130);
    };
  }

  // The offset of the first programmed block that still reads blank.
  std::size_t programmedUpTo() const {
    const auto flash = camera->flash();
    std::size_t offset = 0;
    while (offset < flash.size() && !isBlank(flash.data() + offset)) offset += 8;
    return offset;
  }

  std::unique_ptr<device::StopSource> stop;
};

TEST_F(InterruptionTest, ABurnStopsAtTheNextRequestAndSaysWhatTheFlashHolds) {
  const auto old_content = patternImage();
  auto image = patternImage();
  std::reverse(image.begin() + 4, image.end());
  enum class Holds { Old, Blank, Partly, New };
  const struct {
    const char* what;
    std::string event;
    int progress;
    bool in_wait;
    std::string message;
    Holds flash;
  } cases[] = {
      {"before write protection is lifted", "show 1007 1", 0, false, "Interrupted before the flash was changed",
       Holds::Old},
      // Detection runs between lifting protection and the erase: nothing is erased.
      {"flash type detection", "pos 1003 2", 0, false,
       "Interrupted after lifting write protection, before the erase", Holds::Old},
      {"chip erase", "pos 1003 2", 0, true, "Interrupted while the flash was erasing", Holds::Blank},
      {"erase check", "pos 1004 1", 0, false, "Interrupted during \"Erase and Check\" at flash offset 0x00000",
       Holds::Blank},
      {"programming", "show 1009 1", 2000, false, "Interrupted during \"Burning\" at flash offset", Holds::Partly},
      {"verification", "show 1011 1", 0, false, "Interrupted during \"Verify\" at flash offset 0x00000", Holds::New},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    camera->setFlash(old_content);
    load(image);
    freshStop();
    stopAt(c.event, c.progress, c.in_wait);
    BurnReport report;
    EXPECT_EQ(session.BurnRom({}, &report), 0);
    ASSERT_FALSE(ui.messages().empty());
    EXPECT_THAT(ui.messages()[0], StartsWith(c.message));
    EXPECT_EQ(report.failure, ui.messages()[0]);
    EXPECT_EQ(session.highBankFlag(), 0);
    const auto flash = camera->flash();
    switch (c.flash) {
      case Holds::Old:
        EXPECT_EQ(flash, old_content);
        break;
      case Holds::Blank:
        EXPECT_THAT(flash, ::testing::Each(0xFF));
        EXPECT_THAT(ui.messages()[0], HasSubstr("burn again before unplugging the camera"));
        break;
      case Holds::Partly: {
        const std::size_t written = programmedUpTo();
        EXPECT_GT(written, 0u);
        EXPECT_LT(written, 0x1FFF0u);
        EXPECT_THAT(ui.messages()[0], HasSubstr(formatOffset(static_cast<std::uint32_t>(written))));
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(written), flash.begin()));
        break;
      }
      case Holds::New:
        EXPECT_TRUE(std::equal(image.begin(), image.end() - 8, flash.begin()));
        break;
    }
  }
}

TEST_F(InterruptionTest, AStoppedBurnPutsWriteProtectionBackWhereItIsSafe) {
  load(patternImage());
  // Restoring clears bit 0 of the protect-state register the lift sets.
  const auto restored = [&] { return (camera->reg(0x1073) & 0x01) == 0; };
  camera->setReg(0x1073, 0x01);
  stopAt("show 1009 1");
  EXPECT_EQ(session.BurnRom(), 0);
  EXPECT_TRUE(restored()) << "stopped while programming";
  EXPECT_EQ(ui.messages().size(), 1u);

  camera->setReg(0x1073, 0x01);
  freshStop();
  stopAt("show 1007 1");
  const auto before = camera->requestCount();
  EXPECT_EQ(session.BurnRom(), 0);
  EXPECT_EQ(camera->requestCount(), before) << "stopped before any request";

  // Not while the chip erase may still run: a status write then could land
  // in the middle of it.
  freshStop();
  stopAt("pos 1003 2", 0, true);
  EXPECT_EQ(session.BurnRom(), 0);
  EXPECT_THAT(ui.messages(), ::testing::ElementsAre(StartsWith("Interrupted while the flash was erasing")));
  EXPECT_FALSE(restored()) << "stopped during the chip erase";
}

TEST_F(InterruptionTest, EraseAndExportStopToo) {
  camera->setFlash(patternImage());
  stopAt("pos 1003 1");
  EXPECT_EQ(session.EraseFlash(), 0);
  EXPECT_THAT(ui.messages(), ::testing::ElementsAre(StartsWith("Interrupted before the flash was changed")));
  EXPECT_EQ(camera->flash(), patternImage());

  freshStop();
  stopAt("pos 1003 3");  // offset 32 of the blank check
  EXPECT_EQ(session.EraseFlash(), 0);
  EXPECT_THAT(ui.messages(), ::testing::ElementsAre(StartsWith("Interrupted during the blank check at flash offset 0x00020")));

  // An export stopped halfway leaves the file it was to replace alone.
  freshStop();
  writeFile(dir / "out.src", {1, 2, 3});
  stopAt("pos 1003 6553");
  EXPECT_EQ(session.ExportRom(dir / "out.src"), 0);
  EXPECT_THAT(ui.messages(), ::testing::ElementsAre(StartsWith("Interrupted while reading the flash at flash offset 0x10000")));
  EXPECT_EQ(readFile(dir / "out.src"), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "no temporary file left";
}

// A flash whose status keeps its busy bit reads back as 0xFF everywhere:
// without a check every workflow would pass over content it never saw.
TEST_F(InterruptionTest, AFlashThatStaysBusyFailsEveryWorkflow) {
  const auto neverReady = with<sim::FaultPlan>([](auto& p) { p.flash_never_ready = true; });
  camera->setFlash(patternImage());
  load(patternImage());

  camera->setFaults(neverReady);
  EXPECT_EQ(session.EraseFlash(), 0);
  EXPECT_THAT(ui.messages(), ::testing::ElementsAre(StartsWith("The flash stayed busy while write protection was lifted")));

  // Busy only once protection is lifted: the chip erase never ends.
  camera->setFaults({});
  ui.events.clear();
  at("pos 1003 2", [&] { camera->setFaults(neverReady); });
  EXPECT_EQ(session.BurnRom(), 0);
  EXPECT_THAT(ui.messages(), ::testing::ElementsAre(StartsWith("The flash stayed busy after the chip erase")));

  // One refused request of the first status poll after the erase (the
  // status opcode) leaves every later poll reading something else: the
  // camera refused a request, the flash was never seen busy.
  camera->setFaults({});
  camera->clearTraffic();
  ASSERT_EQ(session.EraseFlash(), 1);
  const auto traffic = camera->traffic();
  const auto erase = std::find_if(traffic.begin(), traffic.end(), [](const auto& r) {
    return r.selector == 1 && r.payload == std::vector<std::uint8_t>{0x82, 0x10, 0x60, 0x00};
  });
  const auto opcode = std::find_if(erase, traffic.end(), [](const auto& r) {
    return r.selector == 1 && r.payload == std::vector<std::uint8_t>{0x82, 0x10, 0x05, 0x00};
  });
  ASSERT_NE(opcode, traffic.end());
  camera->setFaults(failRequest(static_cast<std::uint64_t>(opcode - traffic.begin()) + 1));
  ui.events.clear();
  EXPECT_EQ(session.EraseFlash(), 0);
  EXPECT_THAT(ui.messages(), ::testing::ElementsAre(StartsWith(
                                 "The flash's status could not be read after the chip erase: the camera refused")));
}

// A flash that stays busy as long as the simulator lets it is still waited
// for: the simulator's limits are the host's.
class FlashLimitsTest : public SessionTest {
 protected:
  FlashLimitsTest()
      : SessionTest([](auto& s) { s.busy_polls_after_erase = s.busy_polls_after_status_write = sim::kMaxBusyPolls; }) {}
};

TEST_F(FlashLimitsTest, AFlashBusyAsLongAsTheSimulatorAllowsStillBurns) {
  load(patternImage());
  EXPECT_EQ(session.BurnRom(), 1) << ::testing::PrintToString(ui.messages());
}

}  // namespace
}  // namespace emberline::workflows::testing
