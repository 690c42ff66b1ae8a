// The guard, opening and closing, the device-kind probe and the plain
// register and memory operations.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/device/clock.h"
#include "core/serialflash/serial_flash.h"
#include "serialflash/fake_backend.h"

namespace emberline::serialflash {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Library : public ::testing::Test {
 protected:
  // Space-9 reads fail unless `kind23`, so the device stays kind 0.
  int init(bool kind23) {
    backend.transfer_ok = [kind23](std::uint8_t, std::uint32_t) { return kind23; };
    return flash.SfInit();
  }

  void expectEverythingRefused() {
    backend.calls.clear();
    std::uint8_t byte = 0x5A, buffer[8]{}, value = 0x21;
    std::uint16_t restore = 0x1234;
    EXPECT_FALSE(flash.SfClose());
    EXPECT_FALSE(flash.SfWriteRegister(0x1000, 1));
    EXPECT_FALSE(flash.SfReadRegister(0x1000, byte));
    EXPECT_FALSE(flash.SfTransferMemory(7, 0x3E00, buffer));
    EXPECT_FALSE(flash.SfProbeDeviceKind(buffer));
    EXPECT_FALSE(flash.SfSetWriteProtect(0, restore, value));
    EXPECT_EQ(flash.SfDetectFlash(), -1);
    flash.SfWaitTransferDone();
    flash.SfWaitFlashReady();
    EXPECT_THAT(backend.calls, IsEmpty());
    EXPECT_EQ(clock.sleeps(), 0u);
    EXPECT_EQ(byte, 0x5A);
    EXPECT_EQ(restore, 0x1234);
    EXPECT_EQ(value, 0x21);
  }

  testing::FakeBackend backend;
  device::ManualClock clock;
  SerialFlash flash{backend, clock};
};

TEST_F(Library, GuardRefusesBeforeInitAndAfterClose) {
  expectEverythingRefused();
  ASSERT_EQ(init(true), kInitOk);
  backend.calls.clear();
  EXPECT_TRUE(flash.SfClose());
  EXPECT_THAT(backend.trace(), ElementsAre("close"));
  expectEverythingRefused();  // the second SfClose among them
}

TEST_F(Library, OpenFailuresMapToInitResults) {
  const std::pair<int, int> cases[] = {{device::kOpenNoDevices, kInitNoDevice},
                                       {device::kOpenNothingBound, kInitUnknownBackend},
                                       {device::kOpenPathUnreadable, kInitFailed}};
  for (const auto& [open_code, result] : cases) {
    backend.calls.clear();
    backend.open_code = open_code;
    EXPECT_EQ(flash.SfInit(), result) << open_code;
    EXPECT_FALSE(flash.isOpen());
    EXPECT_THAT(backend.trace(), ElementsAre("clear", "open"));
  }
}

TEST_F(Library, Kind23DeviceIsProbedAndNeverReads3C5) {
  EXPECT_EQ(init(true), kInitOk);
  EXPECT_EQ(flash.deviceKind(), 23);
  EXPECT_EQ(flash.transferChunk(), 8u);
  EXPECT_THAT(backend.trace(),
              ElementsAre("clear", "open", "xfer 9@9FF8+8/8", "xfer 9@D2B2+8/8", "xfer 9@DFF8+8/8",
                          "xfer 9@BFF8+8/8", "xfer 9@C7F8+8/8"));
}

TEST_F(Library, Kind0DeviceTakesChunkFromRegister3C5) {
  // Starts as kind 23: a later SfInit over a device that fails the probe must not inherit it.
  ASSERT_EQ(init(true), kInitOk);
  for (const auto& [mode, chunk] : {std::pair<std::uint8_t, std::uint32_t>{3, 1}, {2, 8}}) {
    backend.calls.clear();
    backend.steady[0x3C5] = mode;
    EXPECT_EQ(init(false), kInitOk);
    EXPECT_EQ(flash.deviceKind(), 0);
    EXPECT_THAT(backend.trace(), ElementsAre("clear", "open", "xfer 9@9FF8+8/8", "r 3C5"));
    std::uint8_t buffer[10]{};
    backend.transfer_ok = [](std::uint8_t, std::uint32_t) { return true; };
    EXPECT_TRUE(flash.SfTransferMemory(7, 0x3E00, buffer));
    EXPECT_EQ(backend.trace().back(), "xfer 7@3E00+10/" + std::to_string(chunk));
    // The probe reads 8 bytes a request whatever TransferChunk is.
    std::uint8_t probe[8]{};
    EXPECT_TRUE(flash.SfProbeDeviceKind(probe));
    EXPECT_EQ(backend.trace().back(), "xfer 9@C7F8+8/8");
  }
}

TEST_F(Library, Failed3C5ReadFailsInitButLeavesDeviceOpen) {
  backend.steady[0x3C5] = std::nullopt;
  EXPECT_EQ(init(false), kInitFailed);
  EXPECT_TRUE(flash.SfClose());
}

TEST_F(Library, ProbeStopsAtFirstFailureAndFillsBufferOnlyOnSuccess) {
  ASSERT_EQ(init(false), kInitOk);
  std::uint8_t buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  backend.transfer_ok = [](std::uint8_t, std::uint32_t address) { return address != 0xD2B2; };
  backend.calls.clear();
  EXPECT_FALSE(flash.SfProbeDeviceKind(buffer));
  EXPECT_FALSE(flash.SfProbeDeviceKind(nullptr));
  EXPECT_THAT(backend.trace(), ElementsAre("xfer 9@9FF8+8/8", "xfer 9@D2B2+8/8"));
  EXPECT_EQ(flash.deviceKind(), 0);
  EXPECT_THAT(buffer, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8));

  backend.transfer_ok = [](std::uint8_t space, std::uint32_t) { return space == 9; };
  EXPECT_TRUE(flash.SfProbeDeviceKind(buffer));
  EXPECT_EQ(flash.deviceKind(), 23);
  // The fake answers address + offset: the last probe read is at 0xC7F8.
  EXPECT_THAT(buffer, ElementsAre(0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF));
}

TEST_F(Library, FailedRegisterReadLeavesCallersByte) {
  ASSERT_EQ(init(true), kInitOk);
  std::uint8_t byte = 0x5A;
  backend.queue(0x101F, {0x33, std::nullopt});
  EXPECT_TRUE(flash.SfReadRegister(0x101F, byte));
  EXPECT_FALSE(flash.SfReadRegister(0x101F, byte));
  EXPECT_EQ(byte, 0x33);
}

}  // namespace
}  // namespace emberline::serialflash
