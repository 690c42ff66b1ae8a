// The erase end to end: progress, the blank check's sampling and its
// failure rows.

#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

using ::testing::ElementsAre;

using EraseTest = SessionTest;

TEST_F(EraseTest, ErasesAndChecksEveryThirtySecondByte) {
  camera->setFlash(patternImage());
  camera->clearTraffic();
  ASSERT_EQ(session.EraseFlash(), 1);

  EXPECT_THAT(camera->flash(), ::testing::Each(0xFF));
  EXPECT_THAT(ui.outline(), ElementsAre("status 109", "range 1003 0..13106"));
  std::vector<int> positions{1};
  std::vector<std::uint32_t> offsets;
  for (std::uint32_t o = 0; o < 0x1FFF8; o += 32) {
    positions.push_back(static_cast<int>(o / 10));
    offsets.push_back(o);
  }
  EXPECT_EQ(ui.positions(kCtlProgressData), positions);  // ends at 13104 of 13106
  EXPECT_EQ(blockOffsets(*camera, 0x88, 0x98), offsets);
  EXPECT_EQ(session.highBankFlag(), 0);
}

TEST_F(EraseTest, FailureRows) {
  const struct {
    sim::FaultPlan plan;
    std::vector<std::string> messages;
    bool library_open;
  } cases[] = {
      {failRegisters({0x101F}), {"Disable Flash Write Protect Failed! GetChipIDValue Failed!"}, false},
      // No SPI command arrives: the camera refuses them, and the flash's
      // status is never read (which is not a flash that stays busy).
      {failRegisters({0x1082}),
       {"The flash's status could not be read while write protection was lifted: the camera refused a request "
        "of the status poll, and none of the 10000 polls after it read the flash's status, so nothing was "
        "erased or written."},
       true},
  };
  for (const auto& c : cases) {
    camera->setFlash(patternImage());
    camera->setFaults(c.plan);
    ui.events.clear();
    EXPECT_EQ(session.EraseFlash(), 0);
    EXPECT_EQ(ui.messages(), c.messages);
    EXPECT_EQ(session.library().isOpen(), c.library_open);
  }
}

TEST_F(EraseTest, AReadFailureInTheBlankCheckFailsTheErase) {
  at("pos 1003 6553", [&] { camera->setFaults(vanishAfter(0)); });  // just before 0x10000
  EXPECT_EQ(session.EraseFlash(), 0);
  EXPECT_THAT(ui.messages(), ElementsAre(::testing::StartsWith("Read Flash Failed at 0x10000!")));
  EXPECT_EQ(session.highBankFlag(), 0);
}

}  // namespace
}  // namespace emberline::workflows::testing
