// Lifting and restoring write protection: the exact register and SPI traffic
// after the flash identification, for the configuration bytes, flash types
// and device kinds that change it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "core/device/clock.h"
#include "core/serialflash/serial_flash.h"
#include "serialflash/fake_backend.h"

namespace emberline::serialflash {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing::FakeBackend;
using Trace = std::vector<std::string>;

enum class Part { Macronix, Sst, None };  // FlashType 1, 3, 0

class WriteProtect : public ::testing::Test {
 protected:
  void open(int kind, std::uint8_t mode_byte, Part part) {
    backend.transfer_ok = [kind](std::uint8_t, std::uint32_t) { return kind == 23; };
    ASSERT_EQ(flash.SfInit(), kInitOk);
    ASSERT_EQ(flash.deviceKind(), kind);
    backend.info = mode_byte;
    if (part == Part::Macronix) backend.queue(0x1083, {0xC2, 0x20, 0x11});
    if (part == Part::Sst) backend.queue(0x1083, {0xBF, 0x48, 0x01});
    // Unknown part: every receive reads 0, which no entry matches.
    backend.calls.clear();
  }

  // What the call sent after reading the mode byte.
  Trace afterModeByte() const {
    const Trace t = backend.trace();
    const auto at = std::find(t.begin(), t.end(), "info");
    return at == t.end() ? Trace{"no info read"} : Trace(at + 1, t.end());
  }

  FakeBackend backend;
  device::ManualClock clock;
  SerialFlash flash{backend, clock};
};

Trace spiCommands(std::uint8_t write_enable, std::uint8_t program) {
  char we[16], pg[16];
  std::snprintf(we, sizeof we, "w 5F3=%02X", write_enable);
  std::snprintf(pg, sizeof pg, "w 5F5=%02X", program);
  return {we, "w 5F8=12", "w 5F9=12", "w 5FA=ED", "w 5FB=ED", pg};
}

Trace statusClear(bool sst) {
  Trace t{"take", "sel", "tx 06", "rel", "sel", "tx 05", "rx", "rel"};
  if (sst) t.insert(t.end(), {"sel", "tx 50", "rel"});
  t.insert(t.end(), {"sel", "tx 01", "tx 00", "rel", "sel", "tx 05", "rx", "rel", "give"});
  // Read-modify-writes; the fake reads 0 from each register.
  t.insert(t.end(), {"r 1006", "w 1006=04", "r 1007", "w 1007=04", "r 17C1", "w 17C1=01", "r 17C2",
                     "w 17C2=01"});
  return t;
}

Trace concat(std::initializer_list<Trace> parts) {
  Trace out;
  for (const Trace& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct LiftCase {
  const char* name;
  std::uint8_t config;
  Part part;
  int kind;
  std::uint8_t mode_byte;
  Trace expected;
  std::uint8_t value_after;
  std::uint16_t restore_after;
};

class Lift : public WriteProtect, public ::testing::WithParamInterface<LiftCase> {};

TEST_P(Lift, SendsExactSequence) {
  const LiftCase& c = GetParam();
  open(c.kind, c.mode_byte, c.part);
  std::uint16_t restore = 0x1234;
  std::uint8_t value = c.config;
  EXPECT_TRUE(flash.SfSetWriteProtect(0, restore, value));
  EXPECT_THAT(afterModeByte(), ElementsAreArray(c.expected));
  EXPECT_EQ(value, c.value_after);
  EXPECT_EQ(restore, c.restore_after);
}

const Trace kPin21{"w 1007=04", "w 1006=FB"};

INSTANTIATE_TEST_SUITE_P(
    Cases, Lift,
    ::testing::Values(
        LiftCase{"NoPinType1", 0x00, Part::Macronix, 23, 0,
                 concat({spiCommands(0x06, 0x02), statusClear(false)}), 0x00, 0xFFFF},
        LiftCase{"NoPinType3", 0x00, Part::Sst, 23, 0,
                 concat({spiCommands(0x06, 0xAF), statusClear(true)}), 0x00, 0xFFFF},
        LiftCase{"Pin2Low", 0x21, Part::Macronix, 23, 0,
                 concat({spiCommands(0x06, 0x02), kPin21, statusClear(false)}), 0xFB, 0x1006},
        LiftCase{"Pin3High", 0x32, Part::Macronix, 23, 0,
                 concat({spiCommands(0x06, 0x02), {"w 1007=08", "w 1006=08"}, statusClear(false)}),
                 0x08, 0x1006},
        LiftCase{"CatalogueOpcodesPin1Low", 0x1A, Part::Macronix, 23, 0,
                 concat({spiCommands(0x06, 0x02), {"w 1007=02", "w 1006=FD"}, statusClear(false)}),
                 0xFD, 0x1006},
        LiftCase{"CatalogueOpcodesSst", 0x18, Part::Sst, 23, 0,
                 concat({spiCommands(0x06, 0xAF), {"w 1007=02", "w 1006=02"}, statusClear(true)}),
                 0x02, 0x1006},
        LiftCase{"CatalogueOpcodesNoPart", 0x18, Part::None, 23, 0,
                 concat({spiCommands(0x04, 0x03), {"w 1007=02", "w 1006=02"}, statusClear(false)}),
                 0x02, 0x1006},
        LiftCase{"Kind0", 0x21, Part::Macronix, 0, 2, concat({kPin21, statusClear(false)}), 0xFB,
                 0x1006},
        LiftCase{"Kind23Mode2Bypass", 0x21, Part::Sst, 23, 2,
                 concat({spiCommands(0x06, 0xAF), kPin21}), 0xFB, 0x1006}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(WriteProtect, LiftSetsBit2AgainOnTheLowDrivenPin) {
  open(23, 0, Part::Macronix);
  backend.steady[0x1006] = 0xFB;
  std::uint16_t restore = 0;
  std::uint8_t value = 0x21;
  ASSERT_TRUE(flash.SfSetWriteProtect(0, restore, value));
  const Trace t = afterModeByte();
  EXPECT_NE(std::find(t.begin(), t.end(), "w 1006=FF"), t.end());
}

TEST_F(WriteProtect, FailedWritesInsideTheSequenceAreIgnored) {
  open(23, 0, Part::Macronix);
  backend.failing_writes = {0x5F3, 0x1091};
  std::uint16_t restore = 0;
  std::uint8_t value = 0x00;
  EXPECT_TRUE(flash.SfSetWriteProtect(0, restore, value));
  EXPECT_THAT(afterModeByte(), ElementsAreArray(concat({spiCommands(0x06, 0x02), statusClear(false)})));
}

struct RestoreCase {
  const char* name;
  int kind;
  std::uint8_t mode_byte;
  std::uint16_t restore;
  std::uint8_t value;
  Trace expected;
};

class Restore : public WriteProtect, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(Restore, WritesComplementAndClears1073Bit0) {
  const RestoreCase& c = GetParam();
  open(c.kind, c.mode_byte, Part::Macronix);
  backend.steady[0x1073] = 0xFF;
  std::uint16_t restore = c.restore;
  std::uint8_t value = c.value;
  EXPECT_TRUE(flash.SfSetWriteProtect(1, restore, value));
  EXPECT_THAT(afterModeByte(), ElementsAreArray(c.expected));
  EXPECT_EQ(restore, c.restore);
  EXPECT_EQ(value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Restore,
    ::testing::Values(
        RestoreCase{"PinLowPair", 23, 0, 0x1006, 0xFB, {"w 1006=04", "r 1073", "w 1073=FE"}},
        RestoreCase{"NoRegister", 23, 0, 0xFFFF, 0x08, {"r 1073", "w 1073=FE"}},
        RestoreCase{"Kind23Mode2Bypass", 23, 2, 0x1006, 0x08, {"w 1006=F7"}},
        RestoreCase{"Kind0Mode2", 0, 2, 0x1006, 0x08, {"w 1006=F7", "r 1073", "w 1073=FE"}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(WriteProtect, FailedModeByteReadStopsAfterIdentification) {
  open(23, 0, Part::Macronix);
  backend.info = std::nullopt;
  for (const int mode : {0, 1}) {
    backend.calls.clear();
    std::uint16_t restore = 0x1006;
    std::uint8_t value = 0x21;
    EXPECT_FALSE(flash.SfSetWriteProtect(mode, restore, value));
    EXPECT_EQ(backend.trace().back(), "info");
    EXPECT_EQ(restore, 0x1006);
    EXPECT_EQ(value, 0x21);
  }
}

TEST_F(WriteProtect, EveryCallRunsIdentificationFirst) {
  open(23, 0, Part::Sst);
  std::uint16_t restore = 0xFFFF;
  std::uint8_t value = 0;
  ASSERT_TRUE(flash.SfSetWriteProtect(1, restore, value));
  const Trace t = backend.trace();
  ASSERT_GE(t.size(), 3u);
  EXPECT_THAT(Trace(t.begin(), t.begin() + 3), ElementsAre("take", "sel", "tx 9F"));
  EXPECT_EQ(flash.detection().flash_type, 3);
}

}  // namespace
}  // namespace emberline::serialflash
