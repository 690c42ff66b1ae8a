// The burn end to end on the simulated camera: stages and progress, what is
// sent, every failure row, and faults injected mid-burn.

#include <gmock/gmock.h>

#include "sample_image.h"
#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

using BurnTest = SessionTest;

// Flash offsets of the dialog's block requests whose command is `low` or
// `high` (the upper-bank form).
std::vector<std::uint32_t> blockOffsets(const std::vector<sim::TrafficRecord>& traffic,
                                        std::uint8_t low, std::uint8_t high) {
  std::vector<std::uint32_t> out;
  for (const auto& r : traffic) {
    if (r.selector != 3 || r.op != device::XuOp::Set || r.payload.size() != 11) continue;
    if (r.payload[2] != low && r.payload[2] != high) continue;
    out.push_back((r.payload[2] == high ? 0x10000u : 0u) | r.payload[1] << 8 | r.payload[0]);
  }
  return out;
}

std::vector<std::uint32_t> sampledOffsets() {
  std::vector<std::uint32_t> out;
  for (std::uint32_t o = 0; o < 130046; o += 1024) out.push_back(o);
  return out;
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

  const auto flash = camera->flash();
  EXPECT_TRUE(std::equal(image.begin(), image.end() - 8, flash.begin()));
  EXPECT_EQ(report.blocks_written + report.blocks_skipped, 16383u);
  EXPECT_EQ(report.blocks_written, blockWrites().size());
  EXPECT_TRUE(report.failure.empty());
  EXPECT_EQ(session.highBankFlag(), 0);
}

TEST_F(BurnTest, SendsOnlyNeededRequestsWithTheBankBitFromTheUpperHalfOn) {
  auto image = patternImage();
  std::fill(image.begin() + 0x4000, image.begin() + 0x4800, 0xFF);    // a blank stretch
  std::fill(image.begin() + 0x10000, image.begin() + 0x10008, 0xFF);  // blank first upper block
  load(image);
  camera->clearTraffic();
  ASSERT_EQ(session.BurnRom(), 1);

  std::vector<std::uint32_t> expected;
  for (std::uint32_t o = 0; o < 0x1FFF8; o += 8) {
    if (!std::all_of(image.begin() + o, image.begin() + o + 8, [](auto b) { return b == 0xFF; })) {
      expected.push_back(o);
    }
  }
  const auto traffic = camera->traffic();
  EXPECT_EQ(blockOffsets(traffic, 0x08, 0x18), expected);
  auto reads = sampledOffsets();
  const auto sampled = sampledOffsets();
  reads.insert(reads.end(), sampled.begin(), sampled.end());
  EXPECT_EQ(blockOffsets(traffic, 0x88, 0x98), reads);

  const auto flash = camera->flash();
  EXPECT_THAT(std::vector<std::uint8_t>(flash.end() - 8, flash.end()), ::testing::Each(0xFF));
  EXPECT_TRUE(std::equal(image.begin() + 0x10008, image.end() - 8, flash.begin() + 0x10008));
}

struct ImageCase {
  const char* name;
  bool loaded;
  int byte;
  std::uint8_t value;
  const char* message;
};

TEST_F(BurnTest, RefusesMissingOrForeignImagesBeforeTouchingTheCamera) {
  const ImageCase cases[] = {
      {"never loaded", false, 0, 0, "No Source File!"},
      {"bytes 0 and 1 blank", true, -1, 0xFF, "No Source File!"},
      {"only byte 0 blank", true, 0, 0xFF, "It isn't Qorin Rom File!"},
      {"byte 3 differs", true, 3, 'Y', "It isn't Qorin Rom File!"},
      {"lower-case signature", true, 0, 'q', "It isn't Qorin Rom File!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.loaded) {
      auto image = patternImage();
      if (c.byte < 0) {
        image[0] = image[1] = 0xFF;
      } else {
        image[static_cast<std::size_t>(c.byte)] = c.value;
      }
      load(image);
    }
    ui.events.clear();
    const auto requests = camera->requestCount();
    BurnReport report;
    EXPECT_EQ(session.BurnRom({}, &report), 0);
    EXPECT_THAT(ui.outline(), ElementsAre(std::string("message ") + c.message));
    EXPECT_EQ(report.failure, c.message);
    EXPECT_EQ(camera->requestCount(), requests);
  }
}

TEST_F(BurnTest, FailsWhenWriteProtectionCannotBeLifted) {
  load(patternImage());
  devices.setEnumerateError(-EIO);
  EXPECT_EQ(session.BurnRom(), 0);
  EXPECT_THAT(ui.messages(), ElementsAre("No Device!", "Disable Flash Write Protect Failed!"));
  EXPECT_THAT(ui.outline(), ::testing::Not(::testing::Contains("pos 1004 1")));
}

TEST_F(BurnTest, FailsWhenTheFlashIsNotBlankAfterTheErase) {
  // Byte 0 or byte 5 blank is enough to pass; the sample at 3072 has neither.
  auto old = std::vector<std::uint8_t>(kImageSize, 0x00);
  for (std::uint32_t o : {0u, 1024u}) old[o] = 0xFF;
  old[2048 + 5] = 0xFF;
  camera->setFlash(old);
  load(patternImage());
  camera->setFaults(failRegisters({0x1082}));  // no SPI command reaches the flash
  camera->clearTraffic();
  EXPECT_EQ(session.BurnRom(), 0);
  EXPECT_THAT(ui.messages(), ElementsAre("Check Flash Erase Failed!"));
  EXPECT_THAT(blockOffsets(camera->traffic(), 0x88, 0x98), ElementsAre(0u, 1024u, 2048u, 3072u));
  EXPECT_THAT(ui.outline(), ::testing::Not(::testing::Contains("show 1008 1")));
  EXPECT_EQ(session.highBankFlag(), 0);
}

class SmallFlashBurnTest : public SessionTest {
 protected:
  SmallFlashBurnTest() : SessionTest(settings([](auto& s) { s.flash_size = 0x10000; })) {}
};

TEST_F(SmallFlashBurnTest, AWrappedFlashIsReportedAsTooSmall) {
  load(patternImage());
  BurnReport report;
  EXPECT_EQ(session.BurnRom({}, &report), 0);
  EXPECT_THAT(ui.messages(), ElementsAre("The Flash size is less than 128K, please confirm!"));
  ASSERT_TRUE(report.first_difference.has_value());
  EXPECT_LT(*report.first_difference, 8u);
}

// A byte changed in the flash after programming, before verification.
void corrupt(sim::SimCamera& camera, std::uint32_t offset) {
  auto flash = camera.flash();
  flash[offset] ^= 0x01;
  camera.setFlash(flash);
}

TEST_F(BurnTest, VerificationCatchesDifferencesSampledOrFull) {
  struct Case {
    std::uint32_t offset;
    bool full;
    int result;
    const char* message;
  };
  const Case cases[] = {
      {0x0403, false, 0, "Check Data Failed!"},  // in the sample at 0x400
      {0x2345, false, 1, nullptr},               // between samples: only a full check sees it
      {0x2345, true, 0, "Check Data Failed!"},
      {0x1FFF4, true, 0, "Check Data Failed!"},  // the last programmed block
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    load(patternImage());
    at(shown(kCtlStageVerify), [&] { corrupt(*camera, c.offset); });
    BurnReport report;
    EXPECT_EQ(session.BurnRom(BurnOptions{c.full}, &report), c.result);
    if (c.message != nullptr) {
      EXPECT_THAT(ui.messages(), ElementsAre(c.message));
      EXPECT_EQ(report.first_difference, c.offset);
    } else {
      EXPECT_THAT(ui.messages(), ::testing::IsEmpty());
    }
  }
}

TEST_F(BurnTest, AFailedRestoreOfWriteProtectionIsShownButTheBurnSucceeds) {
  load(patternImage());
  at(stage(8), [&] { camera->setFaults(failRegisters({0x101F})); });
  EXPECT_EQ(session.BurnRom(), 1);
  EXPECT_THAT(ui.messages(), ElementsAre("GetChipIDValue Failed!", "Enable Flash Write Protect Failed!"));
  EXPECT_EQ(ui.outline().back(), "show 1012 1");
}

TEST_F(BurnTest, DeviceFaultsMidBurnFailItNamingTheOffsetAndTheReason) {
  struct Case {
    const char* name;
    std::function<bool(const UiEvent&)> when;
    sim::FaultPlan plan;
    const char* starts;
    const char* reason;
  };
  const Case cases[] = {
      {"write refused", shown(kCtlStageBurn), failRequest(5), "Write Flash Failed at 0x00020!", "EIO"},
      {"camera unplugged", shown(kCtlStageBurn), vanishAfter(100), "Write Flash Failed at 0x00320!", "ENODEV"},
      {"erase-check read refused", stage(1), failSelectors({3}), "Read Flash Failed at 0x00000!", "EIO"},
      {"verify read refused", shown(kCtlStageVerify), failSelectors({3}), "Read Flash Failed at 0x00000!", "EIO"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    load(patternImage());
    at(c.when, [&] { camera->setFaults(c.plan); });
    BurnReport report;
    EXPECT_EQ(session.BurnRom({}, &report), 0);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_THAT(ui.messages()[0], StartsWith(c.starts));
    EXPECT_THAT(ui.messages()[0], HasSubstr(c.reason));
    EXPECT_EQ(report.failure, ui.messages()[0]);
    EXPECT_EQ(ui.events.back().kind, UiEvent::Kind::Message);  // nothing after the failure
    EXPECT_EQ(session.highBankFlag(), 0);
    camera->setFaults({});
    ui.on_event = nullptr;
  }
}

TEST_F(BurnTest, VerifyImageComparesWithoutWriting) {
  const auto image = patternImage();
  load(image);
  ASSERT_EQ(session.BurnRom(), 1);
  camera->clearTraffic();
  EXPECT_TRUE(session.VerifyImage(image).matches);
  EXPECT_TRUE(blockWrites().empty());

  corrupt(*camera, 0x1ABCD);
  auto report = session.VerifyImage(image);
  EXPECT_FALSE(report.matches);
  EXPECT_EQ(report.first_difference, 0x1ABCDu);
  EXPECT_EQ(session.highBankFlag(), 0);

  camera->setFaults(vanishAfter(10));
  report = session.VerifyImage(image);
  EXPECT_FALSE(report.matches);
  EXPECT_THAT(report.failure, HasSubstr("ENODEV"));
}

}  // namespace
}  // namespace emberline::workflows::testing
