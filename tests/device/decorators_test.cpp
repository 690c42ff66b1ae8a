// The tracing and single-device decorators of a device list.

#include <gtest/gtest.h>

#include "core/device/device_filter.h"
#include "core/device/discovery.h"
#include "core/device/tracing.h"
#include "support/scripted_device.h"

namespace emberline::device {
namespace {

using test::Bytes;

TEST(TracingDeviceList, ReportsEveryCallAfterTheInnerDeviceAnswered) {
  test::ScriptedDeviceList inner;
  inner.addUnopenable("Locked");
  auto camera = inner.add("Camera");
  camera->setNode(4);
  camera->queueAnswer({0, 0, 0x33, 0});
  camera->failWhen([](const test::RecordedRequest& r) { return r.driver_property; }, -EPIPE);
  ManualClock clock;
  clock.sleepMs(5);
  std::vector<TraceEvent> events;
  TracingDeviceList traced(inner, [&](const TraceEvent& e) { events.push_back(e); }, clock);

  ExtensionUnitChannel channel;
  ASSERT_EQ(DiscoverCamera(traced, channel), 0);
  std::array<std::uint8_t, 40> record{0x01};
  EXPECT_EQ(channel.device->driverProperty(kDriverPropertySetB, XuOp::Get, record), -EPIPE);

  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].flags, kFlagsSetSupport);  // the unit lookup
  EXPECT_EQ(events[0].node_id, 4u);
  EXPECT_EQ(events[1].flags, kFlagsSet);
  EXPECT_EQ(events[1].payload, (Bytes{0x1F, 0x10, 0x00, 0xFF}));
  EXPECT_EQ(events[2].op, XuOp::Get);
  EXPECT_EQ(events[2].payload, (Bytes{0, 0, 0x33, 0}));  // as returned
  EXPECT_TRUE(events[3].driver_property);
  EXPECT_EQ(events[3].property_set, kDriverPropertySetB);
  EXPECT_EQ(events[3].payload.at(0), 0x01);
  EXPECT_EQ(events[3].result, -EPIPE);
  for (const auto& e : events) {
    EXPECT_EQ(e.device_id, "scripted:1");
    EXPECT_EQ(e.time, clock.now());
  }
}

TEST(SingleDeviceList, OffersOnlyTheChosenDevice) {
  test::ScriptedDeviceList inner;
  test::answerChipId(*inner.add("First"), 0x11);
  auto second = inner.add("Second");
  test::answerChipId(*second, 0x22);

  SingleDeviceList only(inner, "scripted:1");
  ExtensionUnitChannel channel;
  ASSERT_EQ(DiscoverCamera(only, channel), 0);
  EXPECT_EQ(channel.device, second);
  EXPECT_EQ(inner.opens("scripted:0"), 0);
  int error = 0;
  EXPECT_EQ(only.open({"scripted:0", "First", std::nullopt}, &error), nullptr);
  EXPECT_EQ(error, -ENODEV);

  std::string printed;
  SingleDeviceList absent(inner, "scripted:9");
  EXPECT_EQ(DiscoverCamera(absent, channel, [&](std::string_view t) { printed += t; }), 1);
  EXPECT_EQ(printed, "There are no VideoInputDevice devices available");
  inner.setEnumerateError(-ENODEV);
  std::vector<DeviceEntry> entries;
  EXPECT_EQ(only.enumerate(entries), -ENODEV);
}

}  // namespace
}  // namespace emberline::device
