// The erase end to end: progress, the blank check's sampling and its
// failure rows.

#include <gmock/gmock.h>

#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

using EraseTest = SessionTest;

std::vector<std::uint32_t> readOffsets(const std::vector<sim::TrafficRecord>& traffic) {
  std::vector<std::uint32_t> out;
  for (const auto& r : traffic) {
    if (r.selector == 3 && r.op == device::XuOp::Set && r.payload.size() == 11 &&
        (r.payload[2] == 0x88 || r.payload[2] == 0x98)) {
      out.push_back((r.payload[2] == 0x98 ? 0x10000u : 0u) | r.payload[1] << 8 | r.payload[0]);
    }
  }
  return out;
}

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
  EXPECT_EQ(ui.positions(kCtlProgressData), positions);
  EXPECT_EQ(positions.back(), 13104);
  EXPECT_EQ(readOffsets(camera->traffic()), offsets);
  EXPECT_EQ(session.highBankFlag(), 0);
}

TEST_F(EraseTest, FailureRows) {
  struct Case {
    const char* name;
    sim::FaultPlan plan;
    std::vector<std::string> messages;
    bool library_open;
  };
  const Case cases[] = {
      {"chip id unreadable", failRegisters({0x101F}),
       {"GetChipIDValue Failed!", "Disable Flash Write Protect Failed!"}, false},
      {"flash not erased", failRegisters({0x1082}), {"Check Flash Erase Failed!"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    camera->setFlash(patternImage());
    camera->setFaults(c.plan);
    ui.events.clear();
    EXPECT_EQ(session.EraseFlash(), 0);
    EXPECT_EQ(ui.messages(), c.messages);
    EXPECT_EQ(session.library().isOpen(), c.library_open);
    EXPECT_EQ(session.highBankFlag(), 0);
  }
}

TEST_F(EraseTest, AReadFailureInTheBlankCheckFailsTheErase) {
  at([](const UiEvent& e) { return e.kind == UiEvent::Kind::Pos && e.a == 0x10000 / 10; },
     [&] { camera->setFaults(vanishAfter(0)); });
  EXPECT_EQ(session.EraseFlash(), 0);
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_THAT(ui.messages()[0], StartsWith("Read Flash Failed at 0x10000!"));
  EXPECT_EQ(session.highBankFlag(), 0);
}

}  // namespace
}  // namespace emberline::workflows::testing
