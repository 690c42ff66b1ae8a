// The traffic log, the fault plan, the driver property sets, request latency
// and the simulated device list.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

#include "raw_camera.h"

namespace emberline::sim {
namespace {

using testing::RawCamera;
using Bytes = std::vector<std::uint8_t>;

TEST(Traffic, RecordsEveryRequestWithWhatWasSentOrReturned) {
  SimCamera camera(SimSettings{.chip_id = 0x33});
  RawCamera raw(camera);
  raw.readReg(0x101F);
  EXPECT_TRUE(camera.traffic().empty()) << "nothing asked for the log: a camera keeps no request";
  camera.setTrafficLog(true);
  raw.set(1, {0x1F, 0x10, 0x00, 0xFF});
  raw.get(1, 4);
  raw.set(1, {0x1F, 0x10});  // refused: logged as sent
  const auto log = camera.traffic();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].op, device::XuOp::Set);
  EXPECT_EQ(log[0].payload, (Bytes{0x1F, 0x10, 0x00, 0xFF}));
  EXPECT_EQ(log[1].op, device::XuOp::Get);
  EXPECT_EQ(log[1].payload, (Bytes{0x1F, 0x10, 0x33, 0xFF}));
  EXPECT_EQ(log[1].node_id, camera.settings().node_id);
  EXPECT_EQ(log[2].result, -EINVAL);
  EXPECT_EQ(camera.requestCount(), 5u);
}

TEST(Faults, NthRequestSelectorsAndRegistersFailWithThePlansError) {
  SimCamera camera;
  RawCamera raw(camera);
  camera.setFaults(FaultPlan{.fail_request = 2, .error = -EPIPE});
  EXPECT_EQ(raw.writeReg(0x1006, 1), 0);
  EXPECT_EQ(raw.writeReg(0x1006, 2), -EPIPE);
  EXPECT_EQ(raw.writeReg(0x1006, 3), 0);
  EXPECT_EQ(camera.reg(0x1006), 3) << "a failed request has no effect";

  camera.setFaults(FaultPlan{.fail_selectors = {5}});
  Bytes answer;
  EXPECT_EQ(raw.get(5, 12, answer), -EIO);
  EXPECT_EQ(raw.writeReg(0x1006, 4), 0);

  camera.setFaults(FaultPlan{.fail_registers = {0x101F}});
  EXPECT_EQ(raw.set(1, {0x1F, 0x10, 0x00, 0xFF}), -EIO);
  EXPECT_EQ(raw.set(1, {0x3C5 & 0xFF, 0x03, 0x00, 0xFF}), 0);
}

// By direction: only the GETs of selector 3 fail. At a flash offset: the
// block read covering it fails, or delivers that byte inverted.
TEST(Faults, DirectionsAndFlashOffsets) {
  SimCamera camera;
  std::vector<std::uint8_t> content(0x20000);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i);
  camera.setFlash(content);
  RawCamera raw(camera);
  camera.setFaults(FaultPlan{.fail_selector_gets = {3}});
  EXPECT_EQ(raw.set(3, Bytes{0x00, 0x01, 0x88, 0, 0, 0, 0, 0, 0, 0, 0}), 0);
  Bytes answer;
  EXPECT_EQ(raw.get(3, 11, answer), -EIO);

  camera.setFaults(FaultPlan{.fail_read_at = 0x10003, .wrong_byte_at = 0x0105});
  EXPECT_EQ(raw.readBlock(0x0100), (std::array<std::uint8_t, 8>{0x00, 0x01, 0x02, 0x03, 0x04, 0xFA, 0x06, 0x07}));
  EXPECT_EQ(raw.readBlock(0x0108)[5], 0x0D);
  raw.readBlock(0x10000);
  EXPECT_EQ(raw.last_result, -EIO);
  raw.readBlock(0x10008);
  EXPECT_EQ(raw.last_result, 0);
}

TEST(Faults, VanishedCameraFailsEverythingAndLeavesTheList) {
  auto camera = std::make_shared<SimCamera>();
  SimDeviceList list;
  list.add(camera);
  RawCamera raw(*camera);
  camera->setFaults(FaultPlan{.vanish_after = 2});
  EXPECT_EQ(raw.writeReg(0x1006, 1), 0);
  EXPECT_EQ(raw.writeReg(0x1006, 1), 0);
  EXPECT_EQ(raw.writeReg(0x1006, 1), -ENODEV);
  EXPECT_EQ(raw.writeReg(0x1006, 1), -ENODEV);
  EXPECT_FALSE(camera->present());
  EXPECT_EQ(camera->open()->findExtensionUnitNode(device::kExtensionUnitPropertySet), std::nullopt);
  std::vector<device::DeviceEntry> entries;
  EXPECT_EQ(list.enumerate(entries), 0);
  EXPECT_TRUE(entries.empty());
  int error = 0;
  EXPECT_EQ(list.open({"sim:0", {}, {}}, &error), nullptr);
  EXPECT_EQ(error, -ENODEV);

  camera->setFaults({});
  EXPECT_EQ(raw.writeReg(0x1006, 1), 0);
}

TEST(Faults, FlashThatNeverGetsReadyKeepsItsBusyBit) {
  SimCamera camera;
  RawCamera raw(camera);
  camera.setFaults(FaultPlan{.flash_never_ready = true});
  EXPECT_EQ(raw.spi({0x05}, 3), (Bytes{0x0D, 0x0D, 0x0D}));
  camera.setFaults({});
  EXPECT_EQ(raw.status() & 1, 0);
}

TEST(DriverSets, AnswerTheChipIdOnlyWhenEnabled) {
  SimCamera camera(SimSettings{.chip_id = 0x25});
  camera.setTrafficLog(true);
  auto device = camera.open();
  std::array<std::uint8_t, 40> set{}, get{};
  set[24] = 0x1F;
  set[25] = 0x10;
  EXPECT_EQ(device->driverProperty(device::kDriverPropertySetB, device::XuOp::Set, set), -ENOTSUP);
  camera.setFaults(FaultPlan{.driver_set_b = true});
  EXPECT_LT(device->driverProperty(device::kDriverPropertySetA, device::XuOp::Get, get), 0);
  EXPECT_EQ(get[28], 0) << "a refused Get leaves the record alone";
  EXPECT_EQ(device->driverProperty(device::kDriverPropertySetB, device::XuOp::Set, set), 0);
  EXPECT_EQ(device->driverProperty(device::kDriverPropertySetB, device::XuOp::Get, get), 0);
  EXPECT_EQ(get[28], 0x25);
  const auto log = camera.traffic();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[1].kind, TrafficRecord::Kind::DriverSetA);
  EXPECT_EQ(log[3].kind, TrafficRecord::Kind::DriverSetB);
}

TEST(DeviceList, ListsEveryKindOfDeviceAndOpensThoseThatOpen) {
  SimDeviceList list;
  auto camera = std::make_shared<SimCamera>();
  list.add(camera);
  list.addWebcam("Plain Webcam");
  list.addUnopenable("Busy Camera");
  list.addWithoutName(std::make_shared<SimCamera>());
  list.addWithoutPath(std::make_shared<SimCamera>());
  list.add(std::make_shared<SimCamera>(), "/tmp/camera.state");

  std::vector<device::DeviceEntry> entries(1);
  ASSERT_EQ(list.enumerate(entries), 0);
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries[0].id, "sim:0");
  EXPECT_EQ(entries[0].path, "sim://0");
  EXPECT_EQ(entries[3].display_name, std::nullopt);
  EXPECT_EQ(entries[4].path, std::nullopt);
  EXPECT_EQ(entries[5].path, "/tmp/camera.state");

  int error = 0;
  auto webcam = list.open(entries[1], &error);
  ASSERT_NE(webcam, nullptr);
  EXPECT_EQ(webcam->findExtensionUnitNode(device::kExtensionUnitPropertySet), std::nullopt);
  EXPECT_EQ(RawCamera(webcam, 1).set(1, {0x1F, 0x10, 0x00, 0xFF}), -ENOENT);
  EXPECT_EQ(list.open(entries[2], &error), nullptr);
  EXPECT_LT(error, 0);
  EXPECT_EQ(list.open({"sim:99", {}, {}}, &error), nullptr);

  auto handle = list.open(entries[0], &error);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(RawCamera(handle, 4).readReg(0x101F), 0x33);
  EXPECT_EQ(camera->requestCount(), 2u) << "a handle from the list drives the same camera";

  list.setEnumerateError(-EIO);
  EXPECT_EQ(list.enumerate(entries), -EIO);
  EXPECT_TRUE(entries.empty());
}

}  // namespace
}  // namespace emberline::sim
