// Cameras made from traces of the workflows' real traffic: one that holds
// what the traced camera showed, and a strict one that replays it.

#include <gtest/gtest.h>

#include "core/device/tracing.h"
#include "core/workflows/spi_sequencer.h"
#include "session_fixture.h"
#include "sim/camera_from_trace.h"
#include "sim/chip_memory_layout.h"
#include "sim/replay_camera.h"

namespace emberline::workflows::testing {
namespace {

using sim::TracedRequest;

// What `work` sent to the first camera of `devices`, as a trace file holds it
// (every time_us 0, so that two runs compare line by line).
std::vector<TracedRequest> traced(device::DeviceList& devices, const std::function<void(CameraSession&)>& work) {
  std::vector<TracedRequest> requests;
  device::ManualClock frozen;
  device::TracingDeviceList tracing(
      devices, [&](const device::TraceEvent& e) { requests.push_back(sim::tracedRequest(e, frozen.now())); }, frozen);
  NullUiPort ui;
  device::ManualClock clock;
  CameraSession session(tracing, ui, clock);
  session.setDiscoveryOutput([](std::string_view) {});
  if (session.DiscoverCamera() == 0) work(session);
  return requests;
}

bool same(const TracedRequest& a, const TracedRequest& b) {
  return a.driver == b.driver && a.op == b.op && a.node == b.node && a.selector == b.selector &&
         a.payload == b.payload && a.result == b.result && a.property_set == b.property_set;
}

sim::Trace named(const std::string& name) {
  sim::Trace trace;
  trace.name = name;
  return trace;
}

// What `info` and `verify` ask (identity, version, flash part, all of the
// flash) and the flash's status, read as a burn waits for the flash.
void readEverything(CameraSession& s) {
  std::uint8_t chip = 0, mode = 0;
  s.ReadChipId(chip);
  s.FirmwareVersionText();
  s.library().SfInit();
  s.backend().BeReadInfoByte(0, mode);
  s.library().SfDetectFlash();
  SpiSequencer spi(s.library(), /*echo_read=*/false);
  spi.takePort();
  s.library().SfWaitFlashReady();
  spi.givePort();
  s.DetectSFType();
  s.library().SfClose();
  s.VerifyImage(std::vector<std::uint8_t>(kImageSize, 0x00));
}

TEST(CameraFromTrace, HoldsWhatTheTracedCameraShowed) {
  const std::vector<std::function<void(sim::SimSettings&)>> cameras{
      [](auto&) {},
      [](auto& s) { s.flash_id = {0xEF, 0x30, 0x10}; s.chip_id = 0x32; s.mode_byte = 2; },
      [](auto& s) { s.flash_id = {0x1F, 0x65, 0x01}; s.flash_id_continuation = true; s.node_id = 3; },
      [](auto& s) { s.device_kind = 0; s.reg_3c5 = 3; s.chip_id = 0x16; },
  };
  for (std::size_t i = 0; i < cameras.size(); ++i) {
    SCOPED_TRACE("camera " + std::to_string(i));
    auto original = std::make_shared<sim::SimCamera>(with<sim::SimSettings>(cameras[i]));
    auto content = patternImage();
    content.resize(original->settings().flash_size, 0xA5);
    sim::layOutFlash(original->settings(), content);
    original->setFlash(content);
    sim::SimDeviceList devices;
    devices.add(original);

    const auto requests = traced(devices, readEverything);
    sim::TracedCamera made;
    std::string error;
    ASSERT_TRUE(sim::cameraFromTrace(named("t.jsonl"), requests, made, error)) << error;
    const auto& want = original->settings();
    const auto& got = made.camera->settings();
    EXPECT_EQ(got.chip_id, want.chip_id);
    EXPECT_EQ(got.device_kind, want.device_kind);
    EXPECT_EQ(got.mode_byte, want.mode_byte);
    EXPECT_EQ(got.reg_3c5, want.reg_3c5);
    EXPECT_EQ(got.flash_id, want.flash_id);
    EXPECT_EQ(got.flash_id_continuation, want.flash_id_continuation);
    EXPECT_EQ(got.node_id, want.node_id);
    EXPECT_EQ(made.flash_status, original->flashStatus());
    // Every block the verify read, that is all but the last 8 bytes.
    const auto flash = made.camera->flash();
    EXPECT_TRUE(std::equal(flash.begin(), flash.end() - 8, content.begin()));
    if (want.device_kind == 23) {
      for (const auto address : sim::kProbeAddresses) EXPECT_EQ(made.camera->memory(9, address), original->memory(9, address));
    }

    // And it answers as the traced camera did.
    sim::SimDeviceList again;
    again.add(made.camera);
    const auto replayed = traced(again, readEverything);
    ASSERT_EQ(replayed.size(), requests.size());
    for (std::size_t r = 0; r < requests.size(); ++r)
      ASSERT_TRUE(same(replayed[r], requests[r])) << "request " << r + 1 << ": " << sim::describeRequest(replayed[r]);
  }
}

TEST(CameraFromTrace, RefusesAnswersWithoutTheirRequestAndPayloadsOfTheWrongSize) {
  sim::SimDeviceList devices;
  devices.add(std::make_shared<sim::SimCamera>());
  const auto requests = traced(devices, readEverything);
  const auto firstOf = [&](sim::TracedOp op, std::uint32_t selector) {
    return static_cast<std::size_t>(std::find_if(requests.begin(), requests.end(), [&](const auto& r) {
                                      return r.op == op && r.selector == selector;
                                    }) - requests.begin());
  };
  const struct {
    std::size_t drop_before;  // requests dropped from the start
    std::string error;
  } cut[] = {
      {firstOf(sim::TracedOp::Get, 1), "a register's value came with no request"},
      {firstOf(sim::TracedOp::Get, 4), "memory bytes came with no request"},
      {firstOf(sim::TracedOp::Get, 3), "flash bytes came with no request"},
  };
  for (const auto& c : cut) {
    std::vector<TracedRequest> rest(requests.begin() + static_cast<std::ptrdiff_t>(c.drop_before), requests.end());
    sim::TracedCamera made;
    std::string error;
    EXPECT_FALSE(sim::cameraFromTrace(named("t.jsonl"), rest, made, error)) << c.error;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    EXPECT_EQ(error.rfind("t.jsonl:", 0), 0u) << error;
  }
  auto edited = requests;
  edited[firstOf(sim::TracedOp::Set, 1)].payload.push_back(0);
  sim::TracedCamera made;
  std::string error;
  EXPECT_FALSE(sim::cameraFromTrace(named("t.jsonl"), edited, made, error));
  EXPECT_NE(error.find("selector 1 carries 4 bytes, this request 5"), std::string::npos) << error;
}

class Replay : public ::testing::Test {
 protected:
  // A burn of `image` on a fresh simulated camera.
  std::vector<TracedRequest> burnTrace(const std::vector<std::uint8_t>& image) {
    sim::SimDeviceList devices;
    devices.add(std::make_shared<sim::SimCamera>());
    return traced(devices, [&](CameraSession& s) { burn(s, image); });
  }
  void burn(CameraSession& s, const std::vector<std::uint8_t>& image) {
    writeFile(dir / "image.src", image);
    ASSERT_EQ(s.LoadSourceImage(dir / "image.src"), LoadResult::Loaded);
    s.BurnRom();
  }
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }

  const std::filesystem::path dir = scratchDir();
};

TEST_F(Replay, PassesTheSameBurnAndFailsAtTheFirstRequestThatDiffers) {
  const auto image = patternImage();
  const auto expected = burnTrace(image);
  auto other = image;
  other[0x4321] ^= 0x01;
  const auto changed = burnTrace(other);
  std::size_t differs = 0;
  while (same(changed[differs], expected[differs])) ++differs;

  sim::Trace trace = named("burn.jsonl");
  auto same = std::make_shared<sim::ReplayCamera>(trace, expected);
  sim::ReplayDeviceList same_list(same, "sim:burn");
  traced(same_list, [&](CameraSession& s) { burn(s, image); });
  EXPECT_EQ(same->verdict(), "");
  EXPECT_EQ(same->served(), expected.size());

  auto strict = std::make_shared<sim::ReplayCamera>(trace, expected);
  sim::ReplayDeviceList strict_list(strict, "sim:burn");
  traced(strict_list, [&](CameraSession& s) { burn(s, other); });
  EXPECT_EQ(strict->served(), differs);
  EXPECT_EQ(strict->verdict(), "replay of burn.jsonl: request " + std::to_string(differs + 1) + " differs from burn.jsonl:" +
                                   std::to_string(expected[differs].line) + ": expected " +
                                   sim::describeRequest(expected[differs]) + ", came " +
                                   sim::describeRequest(changed[differs]));
}

TEST_F(Replay, SaysWhenARunEndsEarlyOrGoesOnPastTheTrace) {
  const auto expected = burnTrace(patternImage());
  auto camera = std::make_shared<sim::ReplayCamera>(named("burn.jsonl"), expected);
  sim::ReplayDeviceList list(camera, "sim:burn");
  traced(list, [](CameraSession&) {});  // discovery only
  EXPECT_NE(camera->verdict().find("the run ended after " + std::to_string(camera->served()) +
                                   " requests, the trace has " + std::to_string(expected.size())),
            std::string::npos)
      << camera->verdict();

  const std::vector<TracedRequest> short_trace(expected.begin(), expected.begin() + 3);
  camera = std::make_shared<sim::ReplayCamera>(named("cut.jsonl"), short_trace);
  sim::ReplayDeviceList cut_list(camera, "sim:cut");
  traced(cut_list, [](CameraSession& s) { std::uint8_t chip = 0; s.ReadChipId(chip); s.ReadChipId(chip); });
  EXPECT_NE(camera->verdict().find("request 4 came after the trace's last (3 requests)"), std::string::npos)
      << camera->verdict();
}

}  // namespace
}  // namespace emberline::workflows::testing
