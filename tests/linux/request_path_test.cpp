#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "fake_uvc_node.h"
#include "platform/linux/payload_fit.h"
#include "platform/linux/uvc_capture_device.h"
#include "platform/linux/uvc_errors.h"

namespace emberline::platform::linux_uvc {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::FakeCamera;
using testing::FakeUvcNode;

// ---- fitting a payload to the control's length ----------------------------

struct FitCase {
  const char* name;
  Bytes payload;
  std::size_t length;
  bool accepted;
  Bytes sent;
};

TEST(PayloadFit, PadsWithZerosCutsOnlyZerosAndRefusesOtherwise) {
  const std::vector<FitCase> cases = {
      {"same length", {1, 2, 3, 4}, 4, true, {1, 2, 3, 4}},
      {"11-byte frame on a 12-byte control", {1, 2, 0x88, 4, 5, 6, 7, 8, 9, 10, 11}, 12, true,
       {1, 2, 0x88, 4, 5, 6, 7, 8, 9, 10, 11, 0}},
      {"empty payload", {}, 3, true, {0, 0, 0}},
      {"12-byte frame on an 11-byte control, last byte zero", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0}, 11,
       true, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {"cut would drop the last byte", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 11, false, {}},
      {"cut would drop a byte before trailing zeros", {1, 0, 7, 0}, 2, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes sent = {0xEE};
    EXPECT_EQ(fitSetPayload(c.payload, c.length, sent), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(sent, c.sent);
    }
  }
}

TEST(PayloadFit, GetAnswerFillsWhatBothHoldAndLeavesTheRest) {
  Bytes payload(6, 0xFF);
  copyGetAnswer(Bytes{1, 2, 3, 4}, payload);
  EXPECT_EQ(payload, (Bytes{1, 2, 3, 4, 0xFF, 0xFF}));
  Bytes short_payload(2, 0xFF);
  copyGetAnswer(Bytes{9, 8, 7}, short_payload);
  EXPECT_EQ(short_payload, (Bytes{9, 8}));
}

// ---- the request path -----------------------------------------------------

class RequestPath : public ::testing::Test {
 protected:
  RequestPath() { plugIn(); }

  void plugIn() {
    camera = std::make_shared<FakeCamera>();
    camera->addControl(6, 1, 4);
    camera->addControl(6, 3, 12);
    device = std::make_unique<UvcCaptureDevice>(std::make_unique<FakeUvcNode>(camera), "/dev/video7",
                                                std::filesystem::path{});
  }

  int set(std::uint32_t selector, Bytes payload, std::uint32_t node = 6) {
    device::ControlRequest request;
    request.selector = selector;
    request.flags = device::kFlagsSet;
    request.node_id = node;
    request.payload = payload;
    return device->control(request);
  }
  int get(std::uint32_t selector, Bytes& payload, std::uint32_t node = 6) {
    device::ControlRequest request;
    request.selector = selector;
    request.flags = device::kFlagsGet;
    request.node_id = node;
    request.payload = payload;
    return device->control(request);
  }

  std::shared_ptr<FakeCamera> camera;
  std::unique_ptr<UvcCaptureDevice> device;
};

TEST_F(RequestPath, AsksEachControlsLengthOnceAndFitsEveryRequestToIt) {
  ASSERT_EQ(set(3, Bytes{0x10, 0x00, 0x08, 1, 2, 3, 4, 5, 6, 7, 8}), 0);
  Bytes answer(11, 0);
  ASSERT_EQ(get(3, answer), 0);
  ASSERT_EQ(set(1, Bytes{0x1F, 0x10, 0x00, 0xFF}), 0);
  ASSERT_EQ(set(1, Bytes{0x1F, 0x10, 0x00, 0xFF}), 0);

  EXPECT_EQ(camera->countQueries(kUvcGetLen), 2u);  // selector 3 once, selector 1 once
  EXPECT_EQ(camera->calls[1].query, kUvcSetCur);
  EXPECT_EQ(camera->calls[1].data, (Bytes{0x10, 0x00, 0x08, 1, 2, 3, 4, 5, 6, 7, 8, 0}));
  EXPECT_EQ(answer, (Bytes{0x10, 0x00, 0x08, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(RequestPath, GetFromAShorterControlLeavesTheRestOfThePayload) {
  camera->controls[{6, 1}] = {0xAA, 0xBB, 0xCC, 0xDD};
  Bytes payload(8, 0xFF);
  ASSERT_EQ(get(1, payload), 0);
  EXPECT_EQ(payload, (Bytes{0xAA, 0xBB, 0xCC, 0xDD, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(RequestPath, RefusesWithoutSendingWhenFittingWouldCutData) {
  EXPECT_EQ(set(1, Bytes{1, 2, 3, 4, 5}), kErrPayloadTooLong);
  EXPECT_EQ(camera->countQueries(kUvcSetCur), 0u);
}

TEST_F(RequestPath, RefusesUnitAndSelectorNumbersUvcCannotCarry) {
  for (const auto& [node, selector] : {std::pair{0u, 1u}, std::pair{256u, 1u}, std::pair{6u, 0u},
                                       std::pair{6u, 0x101u}}) {
    EXPECT_EQ(set(selector, Bytes{0, 0, 0, 0}, node), kErrNoSuchControl);
  }
  EXPECT_TRUE(camera->calls.empty());
}

TEST_F(RequestPath, RetriesOnlyASignalInterruption) {
  camera->injected = {-EINTR, -EINTR, 0, -EINTR};
  ASSERT_EQ(set(1, Bytes{1, 2, 3, 4}), 0);
  EXPECT_EQ(camera->countQueries(kUvcGetLen), 3u);
  EXPECT_EQ(camera->countQueries(kUvcSetCur), 2u);
  EXPECT_EQ((camera->controls[{6, 1}]), (Bytes{1, 2, 3, 4}));
}

TEST_F(RequestPath, OtherErrorsAreReturnedAfterOneCallWithTheirTransportMeaning) {
  const std::vector<std::pair<int, int>> cases = {
      {-EPIPE, -EPIPE},       {-EBUSY, -EBUSY},          {-ETIMEDOUT, -ETIMEDOUT},
      {-EIO, -EIO},           {-EPROTO, -EPROTO},        {-ENOENT, kErrNoSuchControl},
      {-EACCES, kErrWrongState}};
  ASSERT_EQ(set(1, Bytes{0, 0, 0, 0}), 0);  // the length is known from here on
  for (const auto& [driver, expected] : cases) {
    SCOPED_TRACE(driver);
    camera->calls.clear();
    camera->injected = {driver};
    Bytes payload = {1, 2, 3, 4};
    EXPECT_EQ(set(1, payload), expected);
    EXPECT_EQ(camera->calls.size(), 1u);
  }
  EXPECT_FALSE(device->unplugged());
}

TEST_F(RequestPath, AnswersOfAGoneCameraLatch) {
  for (const int gone : {-ENODEV, -ESHUTDOWN}) {
    SCOPED_TRACE(gone);
    plugIn();
    ASSERT_EQ(set(1, Bytes{1, 2, 3, 4}), 0);
    camera->injected = {gone};
    EXPECT_EQ(set(1, Bytes{1, 2, 3, 4}), -ENODEV);
    const auto sent = camera->calls.size();
    Bytes payload(4, 0xFF);
    EXPECT_EQ(get(1, payload), -ENODEV);
    EXPECT_EQ(set(3, Bytes{0}), -ENODEV);
    EXPECT_EQ(camera->calls.size(), sent);
    EXPECT_EQ(payload, Bytes(4, 0xFF));
    EXPECT_TRUE(device->unplugged());
  }
}

TEST_F(RequestPath, AZeroControlLengthIsABadAnswerAndNotRemembered) {
  camera->addControl(6, 5, 0);
  Bytes payload(12, 0xFF);
  EXPECT_EQ(get(5, payload), kErrBadAnswer);
  camera->addControl(6, 5, 12);
  EXPECT_EQ(get(5, payload), 0);
  EXPECT_EQ(camera->countQueries(kUvcGetLen), 2u);
}

}  // namespace
}  // namespace emberline::platform::linux_uvc
