#include <gtest/gtest.h>

#include <thread>

#include "fake_uvc_node.h"
#include "platform/linux/uvc_capture_device.h"

namespace emberline::platform::linux_uvc {
namespace {

// The dialog's thread and a worker may share one opened camera: requests must
// reach the node one at a time and the length cache must stay whole.
TEST(RequestConcurrency, RequestsFromTwoThreadsAreSerialisedAndLengthsAskedOnce) {
  auto camera = std::make_shared<testing::FakeCamera>();
  camera->controls[{6, 1}].assign(4, 0);
  camera->controls[{6, 3}].assign(12, 0);
  UvcCaptureDevice device(std::make_unique<testing::FakeUvcNode>(camera), "/dev/video0", {});

  constexpr int kRequests = 200;
  const auto hammer = [&device](std::uint32_t selector) {
    for (int i = 0; i < kRequests; ++i) {
      std::vector<std::uint8_t> payload(selector == 1 ? 4 : 11, static_cast<std::uint8_t>(i));
      device::ControlRequest request;
      request.selector = selector;
      request.flags = (i % 2) ? device::kFlagsGet : device::kFlagsSet;
      request.node_id = 6;
      request.payload = payload;
      ASSERT_EQ(device.control(request), 0);
    }
  };
  std::thread first(hammer, 1);
  std::thread second(hammer, 3);
  first.join();
  second.join();

  EXPECT_EQ(camera->count(kUvcGetLen), 2u);
  EXPECT_EQ(camera->calls.size(), 2u + 2 * kRequests);
}

}  // namespace
}  // namespace emberline::platform::linux_uvc
