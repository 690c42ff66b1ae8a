// Lifting and restoring write protection: the library's open failures, the
// chip id, and the per-model address of the configuration byte.

#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

using ::testing::ElementsAre;

TEST(WriteProtect, EachLibraryOpenFailureHasItsMessage) {
  const std::pair<std::function<void(sim::SimDeviceList&)>, const char*> cases[] = {
      {[](auto&) {}, "No Device!"},
      {[](auto& list) { list.addUnopenable("broken"); }, "Unknown Backend!"},
      {[](auto& list) { list.addWithoutPath(std::make_shared<sim::SimCamera>()); }, "Camera init failed!"},
  };
  for (const auto& [make, message] : cases) {
    sim::SimDeviceList devices;
    make(devices);
    RecordingUi ui;
    device::ManualClock clock;
    CameraSession session(devices, ui, clock);
    EXPECT_EQ(session.DisableFlashWriteProtect(), 0);
    EXPECT_EQ(session.EnableFlashWriteProtect(), 0);
    EXPECT_THAT(ui.messages(), ElementsAre(message, message));
  }
}

// A camera whose unit the platform cannot look up, on node 2: discovery
// settles on node 2 by trying, and the library's channel takes the same node.
TEST(WriteProtect, TheLibraryUsesTheNodeTheDialogsChannelFound) {
  sim::SimDeviceList devices;
  devices.add(std::make_shared<sim::SimCamera>(with<sim::SimSettings>([](auto& s) {
    s.node_id = 2;
    s.node_findable = false;
  })));
  RecordingUi ui;
  device::ManualClock clock;
  CameraSession session(devices, ui, clock);
  ASSERT_EQ(session.DiscoverCamera(), 0);
  EXPECT_EQ(session.DisableFlashWriteProtect(), 1);
  EXPECT_EQ(session.backend().channel().node_id, 2u);
  EXPECT_THAT(ui.messages(), ::testing::IsEmpty());
}

// What a camera in the field does: a bypassing camera (kind 23, mode byte 2)
// has an unprotected flash and burns; a protected one cannot. With SRWD set,
// the configuration byte must drive the WP# pin high for the status write.
TEST(WriteProtect, WhetherABurnCanLiftProtectionDependsOnTheCamera) {
  struct Case {
    const char* what;
    std::function<void(sim::SimSettings&)> edit;
    int burned;
  };
  const Case cases[] = {
      {"bypassing camera as in the field", [](auto& s) { s.mode_byte = 2; }, 1},
      {"bypassing camera with a protected flash", [](auto& s) { s.mode_byte = 2; s.flash_status = 0x0C; }, 0},
      {"SRWD, configuration drives WP# low", [](auto& s) { s.flash_status = 0x8C; s.wp_pin = 2; s.wp_config = 0x21; }, 0},
      {"SRWD, configuration drives WP# high", [](auto& s) { s.flash_status = 0x8C; s.wp_pin = 2; s.wp_config = 0x22; }, 1},
  };
  for (const auto& c : cases) {
    sim::SimDeviceList devices;
    auto camera = std::make_shared<sim::SimCamera>(with<sim::SimSettings>(c.edit));
    devices.add(camera);
    RecordingUi ui;
    device::ManualClock clock;
    CameraSession session(devices, ui, clock);
    session.setDiscoveryOutput([](std::string_view) {});
    ASSERT_EQ(session.DiscoverCamera(), 0);
    const auto dir = scratchDir();
    std::filesystem::create_directories(dir);
    writeFile(dir / "image.src", patternImage());
    ASSERT_EQ(session.LoadSourceImage(dir / "image.src"), LoadResult::Loaded);
    EXPECT_EQ(session.BurnRom(), c.burned) << c.what;
    EXPECT_EQ(test::flashHolds(*camera, dir / "image.src"), c.burned == 1) << c.what;
    std::filesystem::remove_all(dir);
  }
}

using WriteProtectTest = SessionTest;

TEST_F(WriteProtectTest, AnUnreadableChipIdFailsAndClosesTheLibrary) {
  camera->setFaults(failRegisters({0x101F}));
  EXPECT_EQ(session.DisableFlashWriteProtect(), 0);
  EXPECT_THAT(ui.messages(), ElementsAre("GetChipIDValue Failed!"));
  EXPECT_FALSE(session.library().isOpen());
}

class ConfigAddressTest : public SessionTest, public ::testing::WithParamInterface<std::uint8_t> {
 protected:
  // Pin 3, polarity code 2: the lift drives 0x1007 = 0x08 (then sets bit 2).
  ConfigAddressTest() : SessionTest([](auto& s) {
        s.chip_id = GetParam();
        s.wp_config = 0x32;
      }) {}
};

TEST_P(ConfigAddressTest, ReadsTheConfigurationWhereTheModelKeepsIt) {
  ASSERT_EQ(session.DisableFlashWriteProtect(), 1);
  EXPECT_EQ(session.chipId(), GetParam());
  EXPECT_EQ(camera->reg(0x1007), 0x0C);  // 0x04 alone: the byte was read elsewhere
  EXPECT_TRUE(session.library().isOpen());

  camera->setReg(0x1073, 0xFF);
  ASSERT_EQ(session.EnableFlashWriteProtect(), 1);
  EXPECT_EQ(camera->reg(0x1073), 0xFE);
  EXPECT_THAT(ui.messages(), ::testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Models, ConfigAddressTest, ::testing::Values(0x33, 0x32, 0x75, 0x76, 0x16, 0x90));

}  // namespace
}  // namespace emberline::workflows::testing
