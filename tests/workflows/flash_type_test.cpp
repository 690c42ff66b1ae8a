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

TEST_F(DetectionTest, RecordsTheTypeInTheRegisterTheRomTagSelects) {
  ASSERT_EQ(session.DisableFlashWriteProtect(), 1);
  camera->setReg(0x1040, 0x55);
  session.WriteSFTypeAndEraseChip(RomIdRecord{'Q', 'R', '5', 'X', 'A', 26, 12, 6});  // from 2024: 0x17F0
  EXPECT_EQ(camera->reg(0x17F0), 1);
  EXPECT_EQ(camera->reg(0x1040), 0x55);
  session.WriteSFTypeAndEraseChip(RomIdRecord{'z', 'k', '5', 't', 'o', 12, 11, 30});  // any case clears 0x1040
  EXPECT_EQ(camera->reg(0x0FFC), 1);
  EXPECT_EQ(camera->reg(0x1040), 0);
  EXPECT_THAT(ui.messages(), ::testing::IsEmpty());
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
