// Choosing the camera among the listed devices, for the dialog's channel and
// for the library's.

#include <gtest/gtest.h>

#include "core/device/backend.h"
#include "core/device/discovery.h"
#include "support/scripted_device.h"

namespace emberline::device {
namespace {

using test::ScriptedDevice;
using test::ScriptedDeviceList;

// An ordinary webcam: no vendor unit, every control request refused.
std::shared_ptr<ScriptedDevice> addWebcam(ScriptedDeviceList& list) {
  auto webcam = list.add("Integrated Webcam");
  webcam->failAll(-ENOENT);
  return webcam;
}

std::shared_ptr<ScriptedDevice> addCamera(ScriptedDeviceList& list) {
  auto camera = list.add("Camera");
  test::answerChipId(*camera, 0x33);
  return camera;
}

struct DiscoveryTest : ::testing::Test {
  ScriptedDeviceList list;
  ExtensionUnitChannel channel;
  std::string printed;
  DiscoveryOutput out = [this](std::string_view text) { printed += text; };
};

TEST_F(DiscoveryTest, PassesOverWebcamsNamelessAndUnopenableDevices) {
  list.addEntry({"nameless", std::nullopt, "/dev/x"}, std::make_shared<ScriptedDevice>());
  list.addUnopenable("Locked Camera");
  auto webcam = addWebcam(list);
  auto camera = addCamera(list);
  camera->setNode(6);

  EXPECT_EQ(DiscoverCamera(list, channel, out), 0);
  EXPECT_EQ(channel.device, camera);
  EXPECT_EQ(channel.node_id, 6u);
  EXPECT_TRUE(printed.empty());
  EXPECT_EQ(list.opens("nameless"), 0);
  // The webcam: a refused chip-id read on node 1, then on node 2.
  const std::vector<std::string> attempt{"S1/4 1F 10 00 FF !", "A.Set !", "B.Set !"};
  auto both = attempt;
  both.insert(both.end(), attempt.begin(), attempt.end());
  EXPECT_EQ(test::describe(webcam->requests()), both);
  EXPECT_EQ(webcam->controls().at(0).node_id, 1u);
  EXPECT_EQ(webcam->controls().at(1).node_id, 2u);
  EXPECT_EQ(webcam->lookups(), 2u);
  EXPECT_EQ(webcam.use_count(), 2);  // released: only the list and this test hold it
}

TEST_F(DiscoveryTest, SecondAttemptFindsAUnitOnNodeTwoWhenTheLookupFails) {
  addCamera(list)->failWhen([](const test::RecordedRequest& r) { return r.node_id != 2; });
  EXPECT_EQ(DiscoverCamera(list, channel, out), 0);
  EXPECT_EQ(channel.node_id, 2u);
}

TEST_F(DiscoveryTest, ChoosesACameraThatAnswersOnlyThroughItsDriver) {
  auto camera = list.add("Camera");
  camera->failAll(-EPIPE);
  camera->setDriverResponder([](const Guid&, XuOp, std::span<std::uint8_t, 40>) { return 0; });
  EXPECT_EQ(DiscoverCamera(list, channel, out), 0);
  EXPECT_EQ(channel.device, camera);
  EXPECT_EQ(channel.node_id, 1u);
}

TEST_F(DiscoveryTest, FailedDiscoveryEmptiesTheChannelAndRepeatsHoldOneReference) {
  addWebcam(list);
  channel.device = std::make_shared<ScriptedDevice>();  // from an earlier discovery
  EXPECT_EQ(DiscoverCamera(list, channel, out), 1);
  EXPECT_EQ(channel.device, nullptr);
  EXPECT_EQ(channel.node_id, 2u);  // keeps its last value
  EXPECT_TRUE(printed.empty());

  auto camera = addCamera(list);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(DiscoverCamera(list, channel, out), 0);
  EXPECT_EQ(camera.use_count(), 3);  // list, test, channel
}

struct ListFailure {
  int enumerate_error;
  bool add_device;
  std::string line;
};

class UnreadableList : public DiscoveryTest, public ::testing::WithParamInterface<ListFailure> {};

TEST_P(UnreadableList, WritesItsLineAndLeavesTheChannelAlone) {
  const auto& c = GetParam();
  if (c.add_device) addCamera(list);
  list.setEnumerateError(c.enumerate_error);
  auto held = std::make_shared<ScriptedDevice>();
  channel.device = held;
  EXPECT_EQ(DiscoverCamera(list, channel, out), 1);
  EXPECT_EQ(printed, c.line);
  EXPECT_EQ(channel.device, held);
  LibraryChannel library;
  EXPECT_EQ(SfOpenCamera(list, library), kOpenNoDevices);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UnreadableList,
    ::testing::Values(ListFailure{-ENODEV, true, "No devices found in the device list."},
                      ListFailure{-EIO, true, "There are no VideoInputDevice devices available"},
                      ListFailure{0, false, "There are no VideoInputDevice devices available"}));

TEST(DiscoveryOutput, DefaultsToStandardOutputWithoutLineEnd) {
  ScriptedDeviceList list;
  ExtensionUnitChannel channel;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(DiscoverCamera(list, channel), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "There are no VideoInputDevice devices available");
}

TEST(SfOpenCamera, BindsTheFirstDeviceThatOpensWithoutReadingIt) {
  ScriptedDeviceList list;
  list.addUnopenable("Locked");
  auto webcam = addWebcam(list);
  addCamera(list)->setNode(5);
  LibraryChannel channel;
  EXPECT_EQ(SfOpenCamera(list, channel), kOpenOk);
  EXPECT_EQ(channel.device, webcam);
  EXPECT_EQ(channel.node_id, 1u);
  EXPECT_EQ(channel.device_path, "/dev/scripted1");
  EXPECT_TRUE(webcam->requests().empty());
}

TEST(SfOpenCamera, CodesForNothingBoundUnreadablePathAndAnEarlierDevice) {
  LibraryChannel channel;
  ScriptedDeviceList unopenable;
  unopenable.addUnopenable("Locked");
  channel.device = std::make_shared<ScriptedDevice>();
  EXPECT_EQ(SfOpenCamera(unopenable, channel), kOpenNothingBound);
  EXPECT_EQ(channel.last_error, -EACCES);

  ScriptedDeviceList pathless;
  auto camera = std::make_shared<ScriptedDevice>();
  camera->setNode(3);
  pathless.addEntry({"cam", "Camera", std::nullopt}, camera);
  channel.device_path = "/dev/earlier";
  EXPECT_EQ(SfOpenCamera(pathless, channel), kOpenPathUnreadable);
  EXPECT_EQ(channel.device, camera);  // stays bound
  EXPECT_EQ(channel.node_id, 3u);
  EXPECT_EQ(channel.device_path, "/dev/earlier");

  // A list with nothing that can be tried: the earlier device is kept.
  ScriptedDeviceList nameless;
  nameless.addEntry({"nameless", std::nullopt, "/dev/x"}, std::make_shared<ScriptedDevice>());
  EXPECT_EQ(SfOpenCamera(nameless, channel), kOpenNoDevices);
  EXPECT_EQ(channel.device, camera);
  channel.device.reset();
  EXPECT_EQ(SfOpenCamera(nameless, channel), kOpenNothingBound);
}

TEST(SfOpenCamera, CutsALongPathToAtMost255BytesOnACharacterBoundary) {
  LibraryChannel channel;
  for (const auto& [path, kept] :
       {std::pair{std::string(300, 'q'), std::string(255, 'q')},
        std::pair{std::string(254, 'p') + "\xC3\xA9tail", std::string(254, 'p')}}) {
    ScriptedDeviceList list;
    list.addEntry({"cam", "Camera", path}, std::make_shared<ScriptedDevice>());
    ASSERT_EQ(SfOpenCamera(list, channel), kOpenOk);
    EXPECT_EQ(channel.device_path, kept);
  }
}

}  // namespace
}  // namespace emberline::device
