#include <gtest/gtest.h>

#include "fake_uvc_node.h"
#include "platform/linux/uvc_capture_device.h"
#include "platform/linux/uvc_errors.h"

namespace emberline::platform::linux_uvc {
namespace {

using Bytes = std::vector<std::uint8_t>;

class RequestPath : public ::testing::Test {
 protected:
  RequestPath() { plugIn(); }
  void plugIn() {
    camera = std::make_shared<testing::FakeCamera>();
    camera->controls[{6, 1}].assign(4, 0);
    camera->controls[{6, 3}].assign(12, 0);
    device = std::make_unique<UvcCaptureDevice>(std::make_unique<testing::FakeUvcNode>(camera),
                                                "/dev/video7", std::filesystem::path{});
  }
  int send(std::uint32_t flags, std::uint32_t selector, Bytes& payload, std::uint32_t node = 6) {
    device::ControlRequest request;
    request.flags = flags;
    request.selector = selector;
    request.node_id = node;
    request.payload = payload;
    return device->control(request);
  }
  int set(std::uint32_t selector, Bytes payload, std::uint32_t node = 6) {
    return send(device::kFlagsSet, selector, payload, node);
  }

  std::shared_ptr<testing::FakeCamera> camera;
  std::unique_ptr<UvcCaptureDevice> device;
};

// Payloads are padded with zeros or cut where only zeros go; a GET fills what
// both hold and leaves the rest of the caller's payload as it was.
TEST_F(RequestPath, AsksEachControlsLengthOnceAndFitsEveryRequestToIt) {
  ASSERT_EQ(set(3, {0x10, 0x00, 0x08, 1, 2, 3, 4, 5, 6, 7, 8}), 0);
  EXPECT_EQ(camera->calls[1].data, (Bytes{0x10, 0x00, 0x08, 1, 2, 3, 4, 5, 6, 7, 8, 0}));
  Bytes answer(11, 0);
  ASSERT_EQ(send(device::kFlagsGet, 3, answer), 0);
  EXPECT_EQ(answer, (Bytes{0x10, 0x00, 0x08, 1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_EQ(set(1, {0x1F, 0x10, 0x00, 0xFF, 0x00}), 0);
  EXPECT_EQ(camera->calls.back().data, (Bytes{0x1F, 0x10, 0x00, 0xFF}));
  Bytes longer(6, 0xEE);
  ASSERT_EQ(send(device::kFlagsGet, 1, longer), 0);
  EXPECT_EQ(longer, (Bytes{0x1F, 0x10, 0x00, 0xFF, 0xEE, 0xEE}));
  EXPECT_EQ(camera->count(kUvcGetLen), 2u);

  const auto sent = camera->calls.size();
  EXPECT_EQ(set(1, {1, 2, 3, 4, 5}), kErrPayloadTooLong);
  EXPECT_EQ(set(1, {1, 2, 3, 0, 7, 0}), kErrPayloadTooLong);
  EXPECT_EQ(set(1, {1, 2, 3, 4}, 0x106), kErrNoSuchControl);  // no unit id UVC can carry
  std::size_t length = 0;
  EXPECT_EQ(device->controlLength(0x106, 1, length), kErrNoSuchControl);
  EXPECT_EQ(camera->calls.size(), sent);

  // doctor's question is answered from the same cache.
  ASSERT_EQ(device->controlLength(6, 3, length), 0);
  EXPECT_EQ(length, 12u);
  EXPECT_EQ(camera->calls.size(), sent);
  EXPECT_EQ(device->controlLength(6, 2, length), kErrNoSuchControl);
  EXPECT_EQ(camera->count(kUvcGetLen), 3u);
}

TEST_F(RequestPath, RetriesOnlyASignalInterruption) {
  camera->injected = {-EINTR, -EINTR, 0, -EINTR};
  ASSERT_EQ(set(1, {1, 2, 3, 4}), 0);
  EXPECT_EQ(camera->count(kUvcGetLen), 3u);
  EXPECT_EQ(camera->count(kUvcSetCur), 2u);

  for (const auto& [driver, expected] :
       std::vector<std::pair<int, int>>{{-EPIPE, -EPIPE},
                                        {-ETIMEDOUT, -ETIMEDOUT},
                                        {-ENOENT, kErrNoSuchControl},
                                        {-EACCES, kErrWrongState}}) {
    camera->calls.clear();
    camera->injected = {driver};
    EXPECT_EQ(set(1, {1, 2, 3, 4}), expected) << driver;
    EXPECT_EQ(camera->calls.size(), 1u) << driver;
  }
  EXPECT_FALSE(device->unplugged());
}

TEST_F(RequestPath, OnceTheCameraIsGoneEveryRequestFailsAtOnce) {
  for (const int gone : {-ENODEV, -ESHUTDOWN}) {
    plugIn();
    ASSERT_EQ(set(1, {1, 2, 3, 4}), 0);
    camera->injected = {gone};
    EXPECT_EQ(set(1, {1, 2, 3, 4}), -ENODEV);
    const auto sent = camera->calls.size();
    Bytes payload(4, 0xFF);
    EXPECT_EQ(send(device::kFlagsGet, 1, payload), -ENODEV);
    EXPECT_EQ(set(3, {0}), -ENODEV);
    EXPECT_EQ(camera->calls.size(), sent);
    EXPECT_EQ(payload, Bytes(4, 0xFF));
    EXPECT_TRUE(device->unplugged());
  }
}

}  // namespace
}  // namespace emberline::platform::linux_uvc
