// Two handles on one camera, driven from two threads at once.

#include <gtest/gtest.h>

#include <thread>

#include "raw_camera.h"

namespace emberline::sim {
namespace {

using testing::RawCamera;

TEST(SimCameraThreads, TwoHandlesKeepTheCameraConsistent) {
  SimCamera camera;
  camera.setTrafficLog(true);
  camera.setFlashStatus(0x00);  // unprotected, so both threads can program
  constexpr int kBlocks = 200;

  // Each thread writes its own half of the flash and its own register with
  // one-request operations, so neither depends on the other's SET/GET pairs.
  const auto worker = [&](std::uint32_t base, std::uint16_t reg) {
    RawCamera raw(camera);
    for (int i = 0; i < kBlocks; ++i) {
      const auto value = static_cast<std::uint8_t>(i);
      raw.writeBlock(base + 8u * static_cast<std::uint32_t>(i), {value, value, value, value, 0, 0, 0, 0});
      raw.writeReg(reg, value);
    }
  };
  std::thread reader([&] {
    for (int i = 0; i < 50; ++i) {
      (void)camera.traffic();
      (void)camera.flash();
    }
  });
  std::thread low(worker, 0x00000u, std::uint16_t{0x17C1});
  std::thread high(worker, 0x10000u, std::uint16_t{0x17C2});
  low.join();
  high.join();
  reader.join();

  EXPECT_EQ(camera.requestCount(), 4u * kBlocks);
  EXPECT_EQ(camera.traffic().size(), 4u * kBlocks);
  const auto flash = camera.flash();
  for (int i = 0; i < kBlocks; ++i) {
    ASSERT_EQ(flash[8u * i], static_cast<std::uint8_t>(i));
    ASSERT_EQ(flash[0x10000u + 8u * i + 4], 0);
  }
  EXPECT_EQ(camera.reg(0x17C1), kBlocks - 1);
  EXPECT_EQ(camera.reg(0x17C2), kBlocks - 1);
}

}  // namespace
}  // namespace emberline::sim
