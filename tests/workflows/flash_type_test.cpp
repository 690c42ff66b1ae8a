// Flash type detection for every flash part the simulator models, the chip
// erase each type gets, and where the SFType is recorded.

#include <map>

#include "core/workflows/rom_tag_table.h"
#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

// What the identification series must conclude for each modelled part
// (parts told apart by two bytes carry 0 as the third).
const std::map<std::array<std::uint8_t, 3>, std::uint8_t> kExpectedType{
    {{0xC2, 0x20, 0x11}, 1}, {{0xC2, 0x22, 0x11}, 1}, {{0xC2, 0x20, 0x10}, 1},
    {{0xC2, 0x22, 0x10}, 1}, {{0x1F, 0x65, 0x01}, 5}, {{0x9D, 0x20, 0x00}, 8},
    {{0x9D, 0x7B, 0x00}, 8}, {{0xBF, 0x48, 0x00}, 3}, {{0x8C, 0x30, 0x10}, 2},
    {{0xC8, 0x40, 0x10}, 0}, {{0xEF, 0x30, 0x10}, 7}, {{0x37, 0x30, 0x10}, 10},
    {{0xA1, 0x31, 0x10}, 2}, {{0x1F, 0x60, 0x00}, 4}, {{0x20, 0x20, 0x11}, 2},
    {{0x20, 0x10, 0x00}, 2}, {{0x9D, 0x7C, 0x00}, 8}, {{0x1F, 0x22, 0x00}, 6},
};

class FlashPartTest : public SessionTest, public ::testing::WithParamInterface<sim::SimFlashPartInfo> {
 protected:
  FlashPartTest() : SessionTest([](auto& s) { s.flash_id = GetParam().id; }) {}
};

TEST_P(FlashPartTest, IsDetectedAndErased) {
  const auto expected = kExpectedType.find(GetParam().id);
  ASSERT_NE(expected, kExpectedType.end()) << "no expected type for " << GetParam().description;
  camera->setFlash(patternImage());
  ASSERT_EQ(session.EraseFlash(), 1);
  EXPECT_EQ(session.sfType(), expected->second);
  EXPECT_THAT(camera->flash(), ::testing::Each(0xFF));
  EXPECT_EQ(camera->reg(0x1087), expected->second == 6 ? 0xD7 : 0x05);  // the status-read command
}

INSTANTIATE_TEST_SUITE_P(SimulatedParts, FlashPartTest, ::testing::ValuesIn(sim::simulatedFlashParts()));

using DetectionTest = SessionTest;

std::uint8_t detect(const std::function<void(sim::SimSettings&)>& edit) {
  sim::SimDeviceList list;
  list.add(std::make_shared<sim::SimCamera>(with<sim::SimSettings>(edit)));
  NullUiPort ui;
  device::ManualClock clock;
  CameraSession session(list, ui, clock);
  session.setDiscoveryOutput([](std::string_view) {});
  EXPECT_EQ(session.DiscoverCamera(), 0);
  EXPECT_EQ(session.DisableFlashWriteProtect(), 1);
  session.DetectSFType();
  return session.sfType();
}

TEST(Detection, ContinuationCodesAndUnknownMakers) {
  EXPECT_EQ(detect([](auto& s) { s.flash_id_continuation = true; }), 1);
  // An unknown maker answering 0x20 second keeps 0xFF when nothing else answers;
  // a maker byte of 0 does not give 0xFF.
  EXPECT_EQ(detect([](auto& s) { s.flash_id = {0x55, 0x20, 0x11}; }), 0xFF);
  EXPECT_EQ(detect([](auto& s) { s.flash_id = {0x00, 0x20, 0x11}; }), 0);
}

// On a table of the test's own: the type goes to the register of the entry
// taken; a tag "ZK5T..." in any case, or a record byte 5 of 1, clears 0x1040.
TEST_F(DetectionTest, RecordsTheTypeInTheRegisterTheTableSelectsAndClears1040) {
  RomTagTable table;
  std::string error;
  ASSERT_TRUE(parseRomTagTable("AB1C 0 0 0 0x1111 exact\nQR5X 24 0 0 0x1222 min\nZK5T 0 0 0 0x1333 min\n",
                               table, error)) << error;
  session.setRomTagTable(table);
  ASSERT_EQ(session.DisableFlashWriteProtect(), 1);
  const std::tuple<RomIdRecord, std::uint16_t, bool> cases[] = {
      {{'Q', 'R', '5', 'X', 'A', 26, 12, 6}, 0x1222, false},
      {{'z', 'k', '5', 't', 'o', 12, 11, 30}, 0x1333, true},
      {{'Q', 'R', '5', 'X', 'A', 1, 12, 6}, 0x1111, true},  // byte 5 is 1: no entry, the fallback
  };
  for (const auto& [record, reg, clears] : cases) {
    camera->setReg(0x1040, 0x55);
    camera->setReg(reg, 0);
    session.WriteSFTypeAndEraseChip(record);
    EXPECT_EQ(camera->reg(reg), 1) << reg;
    EXPECT_EQ(camera->reg(0x1040), clears ? 0 : 0x55) << reg;
  }
  EXPECT_THAT(ui.messages(), ::testing::IsEmpty());
}

// During identification every byte sent is followed by one read of 0x1083;
// during the erase none is.
TEST_F(DetectionTest, EveryIdentificationByteIsEchoedAndTheEraseIsNot) {
  ASSERT_EQ(session.DisableFlashWriteProtect(), 1);
  camera->clearTraffic();
  session.WriteSFTypeAndEraseChip(RomIdRecord{});
  const auto traffic = camera->traffic();
  std::vector<std::string> after_send;  // what follows each send: "echo" or "none"
  for (std::size_t i = 0; i < traffic.size(); ++i) {
    const auto& r = traffic[i];
    if (r.selector != 1 || r.op != device::XuOp::Set || r.payload[0] != 0x81 || r.payload[1] != 0x10 ||
        r.payload[2] != 1 || r.payload[3] != 0)
      continue;
    std::string next = "none";
    for (std::size_t j = i + 1; j < traffic.size(); ++j) {
      const auto& n = traffic[j];
      if (n.selector != 1 || n.op != device::XuOp::Set) continue;
      if (n.payload[3] == 0xFF && n.payload[0] == 0x83 && n.payload[1] == 0x10) { next = "echo"; break; }
      if (n.payload[3] == 0x00) break;  // the next write: no echo read in between
    }
    after_send.push_back(next);
  }
  // C2 20 11 is known at the first 0x9F: one byte sent with its echo; the
  // erase then sends 0x06, 0x60 and its status polls without.
  ASSERT_GE(after_send.size(), 4u);
  EXPECT_EQ(after_send[0], "echo");
  EXPECT_EQ(std::count(after_send.begin(), after_send.end(), "echo"), 1);
}

// Type 4 erases with 0x62, holding chip select 2500 ms, then waits 900 ms.
TEST(Detection, TheType4EraseHoldsItsFixedDelays) {
  sim::SimDeviceList list;
  list.add(std::make_shared<sim::SimCamera>(with<sim::SimSettings>([](auto& s) { s.flash_id = {0x1F, 0x60, 0x00}; })));
  NullUiPort ui;
  device::ManualClock clock;
  CameraSession session(list, ui, clock);
  session.setDiscoveryOutput([](std::string_view) {});
  ASSERT_EQ(session.DiscoverCamera(), 0);
  ASSERT_EQ(session.DisableFlashWriteProtect(), 1);
  const auto before = clock.slept();
  const auto sleeps = clock.sleeps();
  session.WriteSFTypeAndEraseChip(RomIdRecord{});
  ASSERT_EQ(session.sfType(), 4);
  // The two fixed delays, plus one 1 ms sleep per busy status poll of the final wait.
  const auto polls = static_cast<long>(clock.sleeps() - sleeps - 2);
  EXPECT_EQ(clock.slept() - before, std::chrono::milliseconds(2500 + 900) + std::chrono::milliseconds(polls));
}

TEST_F(DetectionTest, ARefusedTypeRecordIsShownAndTheFlashStillErased) {
  camera->setFlash(patternImage());
  ASSERT_EQ(session.DisableFlashWriteProtect(), 1);
  camera->setFaults(failRegisters({0x10FC}));
  session.WriteSFTypeAndEraseChip(RomIdRecord{});  // taken by no entry: the fallback's register
  EXPECT_THAT(ui.messages(), ::testing::ElementsAre("Write SFType Data To Mask Rom Failed!"));
  EXPECT_THAT(camera->flash(), ::testing::Each(0xFF));
}

}  // namespace
}  // namespace emberline::workflows::testing
