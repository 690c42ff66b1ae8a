// The burn end to end on the simulated camera: stages and progress, what is
// sent, every failure row, and faults injected mid-burn.

#include "sample_image.h"
#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

using BurnTest = SessionTest;

std::vector<std::uint32_t> sampledOffsets() {
  std::vector<std::uint32_t> out;
  for (std::uint32_t o = 0; o < 130046; o += 1024) out.push_back(o);
  return out;
}

void corrupt(sim::SimCamera& camera, std::uint32_t offset) {
  auto flash = camera.flash();
  flash[offset] ^= 0x01;
  camera.setFlash(flash);
}

TEST_F(BurnTest, SucceedsThroughTheThreeStagesWithTheirProgress) {
  const auto image = tools::makeImage(tools::ImageKind::Sample);
  load(image);
  BurnReport report;
  ASSERT_EQ(session.BurnRom({}, &report), 1);

  EXPECT_THAT(ui.outline(),
              ElementsAre("status 106", "show 1004 1", "range 1004 0..9", "pos 1004 0", "show 1007 1",
                          "range 1003 0..2", "pos 1004 0", "pos 1004 1", "range 1003 0..13004",
                          "pos 1004 3", "show 1008 1", "show 1009 1", "pos 1004 6", "show 1010 1",
                          "show 1011 1", "pos 1004 8", "pos 1004 9", "show 1012 1"));
  std::vector<int> data{2};
  for (auto o : sampledOffsets()) data.push_back(static_cast<int>(o / 10));
  for (std::uint32_t o = 0; o < 0x1FFF6; o += 8) data.push_back(static_cast<int>((o & 0xFFFF) / 5));
  for (auto o : sampledOffsets()) data.push_back(static_cast<int>(o / 10 + 100));
  EXPECT_EQ(ui.positions(kCtlProgressData), data);

  EXPECT_TRUE(std::equal(image.begin(), image.end() - 8, camera->flash().begin()));
  EXPECT_EQ(report.blocks_written + report.blocks_skipped, 16383u);
  EXPECT_EQ(report.blocks_written, blockOffsets(*camera, 0x08, 0x18).size());
  EXPECT_EQ(report.failure, "");
  EXPECT_EQ(session.highBankFlag(), 0);
}

TEST_F(BurnTest, SendsOnlyNeededRequestsWithTheBankBitFromTheUpperHalfOn) {
  auto image = patternImage();
  std::fill(image.begin() + 0x4000, image.begin() + 0x4800, 0xFF);    // a blank stretch
  std::fill(image.begin() + 0x10000, image.begin() + 0x10008, 0xFF);  // blank first upper block
  load(image);
  camera->clearTraffic();
  ASSERT_EQ(session.BurnRom(), 1);

  std::vector<std::uint32_t> written;
  for (std::uint32_t o = 0; o < 0x1FFF8; o += 8) {
    if (!isBlank(&image[o])) written.push_back(o);
  }
  EXPECT_EQ(blockOffsets(*camera, 0x08, 0x18), written);
  auto reads = sampledOffsets();
  const auto verification = sampledOffsets();  // after the erase check
  reads.insert(reads.end(), verification.begin(), verification.end());
  EXPECT_EQ(blockOffsets(*camera, 0x88, 0x98), reads);
  EXPECT_TRUE(isBlank(&camera->flash()[0x1FFF8]));
}

TEST_F(BurnTest, RefusesMissingOrForeignImagesBeforeTouchingTheCamera) {
  const struct {
    int byte;  // -1: never loaded, -2: bytes 0 and 1 blank
    std::uint8_t value;
    const char* message;
  } cases[] = {{-1, 0, "No Source File!"},        {-2, 0xFF, "No Source File!"},
               {0, 0xFF, "It isn't Qorin Rom File!"}, {3, 'Y', "It isn't Qorin Rom File!"},
               {0, 'q', "It isn't Qorin Rom File!"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.byte);
    auto image = patternImage();
    if (c.byte == -2) image[0] = image[1] = 0xFF;
    if (c.byte >= 0) image[static_cast<std::size_t>(c.byte)] = c.value;
    if (c.byte != -1) load(image);
    ui.events.clear();
    const auto requests = camera->requestCount();
    BurnReport report;
    EXPECT_EQ(session.BurnRom({}, &report), 0);
    EXPECT_THAT(ui.events, ElementsAre(std::string("message ") + c.message));
    EXPECT_EQ(report.failure, c.message);
    EXPECT_EQ(camera->requestCount(), requests);
  }
}

TEST_F(BurnTest, FailureRowsBeforeProgramming) {
  load(patternImage());
  devices.setEnumerateError(-EIO);
  EXPECT_EQ(session.BurnRom(), 0);
  // One failure, one message: the reason goes with the workflow's own text.
  EXPECT_THAT(ui.messages(), ElementsAre("Disable Flash Write Protect Failed! No Device!"));
  devices.setEnumerateError(0);

  // Not erased (the old content is back before the check). Byte 0 or byte 5
  // blank passes a sample; the one at 3072 has neither.
  std::vector<std::uint8_t> old(kImageSize, 0x00);
  old[0] = old[1024] = old[2048 + 5] = 0xFF;
  at("pos 1004 1", [&] {
    camera->setFlash(old);
    camera->clearTraffic();
  });
  ui.events.clear();
  EXPECT_EQ(session.BurnRom(), 0);
  EXPECT_THAT(ui.messages(), ElementsAre("Check Flash Erase Failed!"));
  EXPECT_THAT(blockOffsets(*camera, 0x88, 0x98), ElementsAre(0u, 1024u, 2048u, 3072u));
  EXPECT_THAT(ui.outline(), ::testing::Not(::testing::Contains("show 1008 1")));
  EXPECT_EQ(session.highBankFlag(), 0);
}

class SmallFlashBurnTest : public SessionTest {
 protected:
  SmallFlashBurnTest() : SessionTest([](auto& s) { s.flash_size = 0x10000; }) {}
};

TEST_F(SmallFlashBurnTest, AWrappedFlashIsReportedAsTooSmall) {
  load(patternImage());
  BurnReport report;
  EXPECT_EQ(session.BurnRom({}, &report), 0);
  EXPECT_THAT(ui.messages(), ElementsAre("The Flash size is less than 128K, please confirm!"));
  EXPECT_LT(report.first_difference.value_or(99), 8u);
}

TEST_F(BurnTest, VerificationCatchesDifferencesSampledOrFull) {
  const struct {
    std::uint32_t offset;
    bool full;
    int result;
  } cases[] = {
      {0x0403, false, 0},   // inside the sample at 0x400
      {0x2345, false, 1},   // between samples: only a full check sees it
      {0x2345, true, 0},
      {0x1FFF4, true, 0},   // the last programmed block
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    load(patternImage());
    at("show 1011 1", [&] { corrupt(*camera, c.offset); });
    BurnReport report;
    EXPECT_EQ(session.BurnRom(BurnOptions{c.full}, &report), c.result);
    if (c.result == 0) {
      EXPECT_THAT(ui.messages(), ElementsAre("Check Data Failed!"));
      EXPECT_EQ(report.first_difference, c.offset);
    }
  }
}

TEST_F(BurnTest, FullVerificationAlsoReadsBlocksTheImageLeavesBlank) {
  auto image = patternImage();
  std::fill_n(image.begin() + 0x3000, 8, 0xFF);
  load(image);
  at("show 1011 1", [&] { corrupt(*camera, 0x3002); });  // a block the erase missed
  BurnReport report;
  EXPECT_EQ(session.BurnRom(BurnOptions{true}, &report), 0);
  EXPECT_EQ(report.first_difference, 0x3002u);
}

TEST_F(BurnTest, AFailedRestoreOfWriteProtectionIsShownButTheBurnSucceeds) {
  load(patternImage());
  at("pos 1004 8", [&] { camera->setFaults(failRegisters({0x101F})); });
  EXPECT_EQ(session.BurnRom(), 1);
  EXPECT_THAT(ui.messages(), ElementsAre("Enable Flash Write Protect Failed! GetChipIDValue Failed!"));
  EXPECT_EQ(ui.events.back(), "show 1012 1");
}

// A burn that verified although the camera once never reported an SPI
// transfer done passes, and its report says so.
TEST_F(BurnTest, ATransferWaitThatRanOutIsReportedWithThePass) {
  load(patternImage());
  at("pos 1003 2", [&] {  // flash type detection is next
    camera->setFaults(with<sim::FaultPlan>([](auto& p) { p.transfer_never_done = true; }));
    clock.on_sleep = [this, sleeps = 0]() mutable {
      if (++sleeps == serialflash::kTransferDonePolls) camera->setFaults({});
    };
  });
  BurnReport report;
  EXPECT_EQ(session.BurnRom({}, &report), 1);
  EXPECT_EQ(report.transfer_waits_ran_out, 1);
}

TEST_F(BurnTest, DeviceFaultsMidBurnFailItNamingTheOffsetAndTheReason) {
  const struct {
    const char* when;
    sim::FaultPlan plan;
    const char* starts;
    const char* reason;
  } cases[] = {
      {"show 1009 1", failRequest(5), "Write Flash Failed at 0x00020!", "EIO"},
      {"show 1009 1", vanishAfter(100), "Write Flash Failed at 0x00320!", "ENODEV"},
      {"pos 1004 1", failSelectors({3}), "Read Flash Failed at 0x00000!", "EIO"},  // erase check
      {"show 1011 1", failSelectors({3}), "Read Flash Failed at 0x00000!", "EIO"},  // verification
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.starts);
    load(patternImage());
    at(c.when, [&] { camera->setFaults(c.plan); });
    BurnReport report;
    EXPECT_EQ(session.BurnRom({}, &report), 0);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_THAT(report.failure, StartsWith(c.starts));
    EXPECT_THAT(report.failure, HasSubstr(c.reason));
    EXPECT_EQ(ui.events.back(), "message " + report.failure);  // nothing after the failure
    EXPECT_EQ(session.highBankFlag(), 0);
    camera->setFaults({});
  }
}

TEST_F(BurnTest, VerifyImageComparesWithoutWriting) {
  const auto image = patternImage();
  load(image);
  ASSERT_EQ(session.BurnRom(), 1);
  camera->clearTraffic();
  EXPECT_TRUE(session.VerifyImage(image).matches);
  EXPECT_THAT(blockOffsets(*camera, 0x08, 0x18), ::testing::IsEmpty());

  corrupt(*camera, 0x1ABCD);
  auto report = session.VerifyImage(image);
  EXPECT_FALSE(report.matches);
  EXPECT_EQ(report.first_difference, 0x1ABCDu);

  camera->setFaults(vanishAfter(10));
  report = session.VerifyImage(image);
  EXPECT_FALSE(report.matches);
  EXPECT_THAT(report.failure, HasSubstr("ENODEV"));
  EXPECT_EQ(session.highBankFlag(), 0);
}

}  // namespace
}  // namespace emberline::workflows::testing

namespace emberline::workflows::testing {
namespace {

// A laptop's built-in webcam listed before the camera: the library must open
// the camera the dialog found, not the first device that opens.
TEST(BurnBesideAWebcam, TheLibraryOpensTheCameraDiscoveryChose) {
  sim::SimDeviceList devices;
  devices.addWebcam("Integrated Webcam");
  auto camera = std::make_shared<sim::SimCamera>();
  devices.add(camera);
  RecordingUi ui;
  device::ManualClock clock;
  CameraSession session(devices, ui, clock);
  session.setDiscoveryOutput([](std::string_view) {});
  ASSERT_EQ(session.DiscoverCamera(), 0);
  const auto image = patternImage();
  const auto path = std::filesystem::temp_directory_path() / "emberline-wf-webcam.src";
  writeFile(path, image);
  ASSERT_EQ(session.LoadSourceImage(path), LoadResult::Loaded);
  std::filesystem::remove(path);

  EXPECT_EQ(session.BurnRom(), 1);
  EXPECT_THAT(ui.messages(), ::testing::IsEmpty());
  EXPECT_TRUE(std::equal(image.begin(), image.end() - 8, camera->flash().begin()));
}

}  // namespace
}  // namespace emberline::workflows::testing
