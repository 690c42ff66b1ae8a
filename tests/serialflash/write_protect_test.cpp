// Lifting and restoring write protection: the exact register and SPI traffic
// after the identification, for the configuration bytes, flash types and
// device kinds that change it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/device/clock.h"
#include "core/serialflash/serial_flash.h"
#include "serialflash/fake_backend.h"

namespace emberline::serialflash {
namespace {

using ::testing::ElementsAreArray;
using Trace = std::vector<std::string>;

enum class Part { Macronix, Sst, None };  // FlashType 1, 3, 0

struct Case {
  const char* name;
  int mode;  // 0 lift, 1 restore
  std::uint8_t config;
  Part part;
  int kind;
  std::uint8_t mode_byte;
  Trace expected;  // everything sent after the mode byte
  std::uint8_t value_after;
  std::uint16_t restore_after;
  std::uint16_t restore_before = 0x1234;
};

Trace cat(std::initializer_list<Trace> parts) {
  Trace out;
  for (const Trace& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Trace spiCommands(const char* write_enable, const char* program) {
  return {std::string("w 5F3=") + write_enable, "w 5F8=12", "w 5F9=12", "w 5FA=ED", "w 5FB=ED",
          std::string("w 5F5=") + program};
}

// 0x1006 reads 0xFB, so setting its bit 2 shows; the others read 0.
Trace statusClear(bool sst) {
  return cat({{"take", "sel", "tx 06", "rel", "sel", "tx 05", "rx", "rel"},
              sst ? Trace{"sel", "tx 50", "rel"} : Trace{},
              {"sel", "tx 01", "tx 00", "rel", "sel", "tx 05", "rx", "rel", "give"},
              {"r 1006", "w 1006=FF", "r 1007", "w 1007=04", "r 17C1", "w 17C1=01", "r 17C2",
               "w 17C2=01"}});
}

const Trace kPin21{"w 1007=04", "w 1006=FB"};
const Trace kClear1073{"r 1073", "w 1073=FE"};

class WriteProtect : public ::testing::TestWithParam<Case> {
 protected:
  testing::FakeBackend backend;
  device::ManualClock clock;
  SerialFlash flash{backend, clock};
};

TEST_P(WriteProtect, SendsExactSequence) {
  const Case& c = GetParam();
  backend.transfer_ok = [&c](std::uint8_t, std::uint32_t) { return c.kind == 23; };
  ASSERT_EQ(flash.SfInit(), kInitOk);
  ASSERT_EQ(flash.deviceKind(), c.kind);
  backend.info = c.mode_byte;
  if (c.part == Part::Macronix) backend.queue(0x1083, {0xC2, 0x20, 0x11});
  if (c.part == Part::Sst) backend.queue(0x1083, {0xBF, 0x48, 0x01});
  backend.steady[0x1006] = 0xFB;
  backend.steady[0x1073] = 0xFF;
  backend.failing_writes = {0x5F3, 0x1091};  // failed writes do not stop a sequence
  backend.calls.clear();

  std::uint16_t restore = c.restore_before;
  std::uint8_t value = c.config;
  EXPECT_TRUE(flash.SfSetWriteProtect(c.mode, restore, value));
  const Trace t = backend.trace();
  const auto info = std::find(t.begin(), t.end(), "info");
  ASSERT_NE(info, t.end());
  EXPECT_THAT(Trace(info + 1, t.end()), ElementsAreArray(c.expected));
  EXPECT_EQ(value, c.value_after);
  EXPECT_EQ(restore, c.restore_after);
}

INSTANTIATE_TEST_SUITE_P(
    Lift, WriteProtect,
    ::testing::Values(
        Case{"NoPinType1", 0, 0x44, Part::Macronix, 23, 0,
             cat({spiCommands("06", "02"), statusClear(false)}), 0x00, 0xFFFF},
        Case{"NoPinType3", 0, 0x00, Part::Sst, 23, 0,
             cat({spiCommands("06", "AF"), statusClear(true)}), 0x00, 0xFFFF},
        Case{"Pin2Low", 0, 0x21, Part::Macronix, 23, 0,
             cat({spiCommands("06", "02"), kPin21, statusClear(false)}), 0xFB, 0x1006},
        Case{"Pin3High", 0, 0x32, Part::Macronix, 23, 0,
             cat({spiCommands("06", "02"), {"w 1007=08", "w 1006=08"}, statusClear(false)}), 0x08,
             0x1006},
        Case{"CatalogueOpcodesPin1Low", 0, 0x1A, Part::Macronix, 23, 0,
             cat({spiCommands("06", "02"), {"w 1007=02", "w 1006=FD"}, statusClear(false)}), 0xFD,
             0x1006},
        Case{"CatalogueOpcodesSst", 0, 0x18, Part::Sst, 23, 0,
             cat({spiCommands("06", "AF"), {"w 1007=02", "w 1006=02"}, statusClear(true)}), 0x02,
             0x1006},
        Case{"CatalogueOpcodesNoPart", 0, 0x18, Part::None, 23, 0,
             cat({spiCommands("04", "03"), {"w 1007=02", "w 1006=02"}, statusClear(false)}), 0x02,
             0x1006},
        // Catalogue opcodes (bits 2-3 = 0b10) with code 1: the pin action is the
        // whole byte, which drives the pin high; with code 3: action 2.
        Case{"CatalogueCode1WholeByte", 0, 0x59, Part::None, 23, 0,
             cat({spiCommands("04", "03"), {"w 1007=20", "w 1006=20"}, statusClear(false)}), 0x20,
             0x1006},
        Case{"CatalogueCode3", 0, 0x4B, Part::None, 23, 0,
             cat({spiCommands("04", "03"), {"w 1007=10", "w 1006=10"}, statusClear(false)}), 0x10,
             0x1006},
        // Code 3 without the catalogue's opcodes: action 3, pin high, 0x06/0x02.
        Case{"Code3", 0, 0x37, Part::None, 23, 0,
             cat({spiCommands("06", "02"), {"w 1007=08", "w 1006=08"}, statusClear(false)}), 0x08,
             0x1006},
        // Bit 7 is not part of the pin number: 0xA1 is pin 2, code 1.
        Case{"Bit7Unused", 0, 0xA1, Part::None, 23, 0,
             cat({spiCommands("06", "02"), kPin21, statusClear(false)}), 0xFB, 0x1006},
        Case{"Kind0IgnoresModeByte", 0, 0x71, Part::Macronix, 0, 2,
             cat({{"w 1007=80", "w 1006=7F"}, statusClear(false)}), 0x7F, 0x1006},
        Case{"Kind23Mode2Bypass", 0, 0x21, Part::Sst, 23, 2, cat({spiCommands("06", "AF"), kPin21}),
             0xFB, 0x1006}),
    [](const auto& test) { return std::string(test.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Restore, WriteProtect,
    ::testing::Values(
        Case{"PinLow", 1, 0xFB, Part::Macronix, 23, 0, cat({{"w 1006=04"}, kClear1073}), 0xFB,
             0x1006, 0x1006},
        Case{"NoRegister", 1, 0x08, Part::Macronix, 23, 0, kClear1073, 0x08, 0xFFFF, 0xFFFF},
        Case{"Kind23Mode2Bypass", 1, 0x08, Part::None, 23, 2, {"w 1006=F7"}, 0x08, 0x1006, 0x1006},
        Case{"Kind0", 1, 0x08, Part::None, 0, 2, cat({{"w 1006=F7"}, kClear1073}), 0x08, 0x1006,
             0x1006}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(WriteProtectFailure, FailedModeByteReadStopsAfterIdentification) {
  testing::FakeBackend backend;
  device::ManualClock clock;
  SerialFlash flash{backend, clock};
  ASSERT_EQ(flash.SfInit(), kInitOk);
  backend.info = std::nullopt;
  for (const int mode : {0, 1}) {
    std::uint16_t restore = 0x1006;
    std::uint8_t value = 0x21;
    EXPECT_FALSE(flash.SfSetWriteProtect(mode, restore, value));
    EXPECT_EQ(backend.trace().back(), "info");
    EXPECT_EQ(restore, 0x1006);
    EXPECT_EQ(value, 0x21);
  }
}

}  // namespace
}  // namespace emberline::serialflash
