// The flash model's rules, seen through the DSP's SPI port and block path.

#include <gtest/gtest.h>

#include <algorithm>

#include "raw_camera.h"

namespace emberline::sim {
namespace {

using testing::RawCamera;
using Block = std::array<std::uint8_t, 8>;

constexpr Block kPattern{1, 2, 3, 4, 5, 6, 7, 8};
constexpr Block kErased{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

bool allBytes(const std::vector<std::uint8_t>& bytes, std::uint8_t value) {
  return std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b == value; });
}

class FlashModelTest : public ::testing::Test {
 protected:
  explicit FlashModelTest(SimSettings settings = {})
      : camera_(std::make_shared<SimCamera>(settings)), raw_(*camera_) {
    camera_->setFlash(std::vector<std::uint8_t>(camera_->settings().flash_size, 0x00));
  }
  std::shared_ptr<SimCamera> camera_;
  RawCamera raw_;
};

TEST_F(FlashModelTest, PowersUpProtectedSoEraseAndProgramAreIgnored) {
  EXPECT_NE(raw_.status() & 0x0C, 0);
  raw_.spi({0x06}, 0);
  EXPECT_EQ(raw_.status() & 0x02, 0x02);  // write enable latched
  raw_.spi({0x60}, 0);
  EXPECT_EQ(raw_.status() & 0x03, 0) << "WEL is used up, nothing went busy";
  raw_.writeBlock(0x100, {0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_TRUE(allBytes(camera_->flash(), 0x00));
}

TEST_F(FlashModelTest, EraseNeedsWriteEnableAndStaysBusyForTheConfiguredPolls) {
  raw_.unprotect();
  EXPECT_EQ(raw_.status(), 0x00);
  raw_.spi({0x60}, 0);  // without write enable
  EXPECT_TRUE(allBytes(camera_->flash(), 0x00));

  raw_.spi({0x06}, 0);
  raw_.spi({0xC7}, 0);
  EXPECT_TRUE(allBytes(camera_->flash(), 0xFF));
  raw_.spi({0x06}, 0);  // ignored: the part is busy
  // Polled the way the library polls, chip select held low and 0x05 sent
  // again each time: three busy polls, then ready.
  std::vector<std::uint8_t> polls;
  raw_.takePort();
  for (int i = 0; i < 5; ++i) {
    raw_.writeReg(0x1091, 0);
    raw_.send(0x05);
    polls.push_back(raw_.receive());
  }
  raw_.writeReg(0x1091, 1);
  raw_.givePort();
  EXPECT_EQ(polls, (std::vector<std::uint8_t>{1, 1, 1, 0, 0}));
}

TEST_F(FlashModelTest, ProgrammingOnlyClearsBitsAndUsesUpWriteEnable) {
  raw_.unprotect();
  raw_.spi({0x06}, 0);
  raw_.spi({0x60}, 0);
  raw_.waitReady();
  raw_.writeBlock(0x10, {0xF0, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  raw_.writeBlock(0x10, {0x0F, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(raw_.readBlock(0x10), (Block{0x00, 0xF0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(raw_.status() & 0x02, 0);

  raw_.spi({0x02, 0x00, 0x00, 0x20, 0x00}, 0);  // page program without write enable
  EXPECT_EQ(camera_->flash()[0x20], 0xFF);
}

TEST_F(FlashModelTest, OpcodesThePartDoesNotKnowLeaveTheFlashAlone) {
  raw_.unprotect();
  raw_.spi({0x06}, 0);
  raw_.spi({0x62}, 0);  // another maker's chip erase
  EXPECT_TRUE(allBytes(camera_->flash(), 0x00));

  raw_.spi({0x06}, 0);
  raw_.spi({0x60}, 0);
  raw_.waitReady();
  raw_.writeReg(0x5F5, 0xAF);  // program opcode of another part
  raw_.writeBlock(0x40, kPattern);
  EXPECT_EQ(raw_.readBlock(0x40), kErased);
  raw_.writeReg(0x5F5, 0x02);
  raw_.writeReg(0x5F3, 0x04);  // "write enable" register holding write disable
  raw_.writeBlock(0x40, kPattern);
  EXPECT_EQ(camera_->flash()[0x40], 0xFF);
}

class SmallFlashTest : public FlashModelTest {
 protected:
  SmallFlashTest() : FlashModelTest(SimSettings{.flash_id = {0xC2, 0x20, 0x10}, .flash_size = 0x10000}) {}
};

TEST_F(SmallFlashTest, OffsetsWrapAtTheEndOfA64KPart) {
  raw_.unprotect();
  raw_.spi({0x06}, 0);
  raw_.spi({0x60}, 0);
  raw_.waitReady();
  raw_.writeBlock(0x10008, kPattern);
  EXPECT_EQ(camera_->flash().size(), 0x10000u);
  EXPECT_EQ(raw_.readBlock(0x00008), kPattern);
}

// Busy after every program and status write, for the configured number of
// status reads; the write-enable latch cleared after each of them.
TEST_F(FlashModelTest, ProgramStatusWriteAndEraseEachEndBusyWithWriteEnableCleared) {
  raw_.unprotect();
  raw_.waitReady();
  struct Case { const char* what; std::vector<std::uint8_t> command; int busy_polls; };
  const Case cases[] = {{"status write", {0x01, 0x00}, 2},
                        {"page program", {0x02, 0x00, 0x01, 0x00, 0x5A}, 1},
                        {"sector erase", {0x20, 0x00, 0x10, 0x00}, 3},
                        {"chip erase", {0xC7}, 3}};
  for (const auto& c : cases) {
    raw_.spi({0x06}, 0);
    raw_.spi(c.command, 0);
    int busy = 0;
    std::uint8_t status = 0;
    while (((status = raw_.status()) & 0x01) && busy < 10) ++busy;
    EXPECT_EQ(busy, c.busy_polls) << c.what;
    EXPECT_EQ(status & 0x02, 0) << c.what << ": write enable is used up";
  }
}

// A command with one byte too many or too few does nothing.
TEST_F(FlashModelTest, CommandsWithTheWrongNumberOfBytesAreIgnored) {
  raw_.spi({0x06, 0x00}, 0);
  EXPECT_EQ(raw_.status() & 0x02, 0) << "write enable with a trailing byte";
  const std::vector<std::vector<std::uint8_t>> wrong = {
      {0x01}, {0x01, 0x00, 0x00}, {0x60, 0x00}, {0x20, 0x00, 0x10}, {0x02, 0x00, 0x02, 0x00}};
  for (const auto& command : wrong) {
    raw_.spi({0x06}, 0);
    raw_.spi(command, 0);
    EXPECT_EQ(raw_.status(), 0x0E) << "status unchanged, latch still set after opcode "
                                   << int{command[0]} << " with " << command.size() << " bytes";
    raw_.spi({0x04}, 0);
  }
  EXPECT_TRUE(allBytes(camera_->flash(), 0x00));
}

TEST_F(FlashModelTest, PageProgramWrapsWithinItsPage) {
  raw_.unprotect();
  raw_.waitReady();
  raw_.spi({0x06}, 0);
  raw_.spi({0xC7}, 0);
  raw_.waitReady();
  raw_.writeBlock(0x01FC, kPattern);
  const auto flash = camera_->flash();
  EXPECT_EQ(std::vector<std::uint8_t>(flash.begin() + 0x1FC, flash.begin() + 0x200), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(std::vector<std::uint8_t>(flash.begin() + 0x100, flash.begin() + 0x104), (std::vector<std::uint8_t>{5, 6, 7, 8}));
  EXPECT_EQ(flash[0x200], 0xFF);
}

// SPI traffic counts only while the host owns the port, the done flag says
// so, and block requests while the host holds the port or chip select do
// not reach the flash.
TEST_F(FlashModelTest, TheSpiPortAndTheBlockPathExcludeEachOther) {
  raw_.unprotect();
  raw_.waitReady();
  raw_.writeReg(0x1091, 0);  // without taking the port
  raw_.send(0x06);
  raw_.writeReg(0x1091, 1);
  EXPECT_EQ(raw_.readReg(0x1084), 0) << "no transfer happened";
  EXPECT_EQ(raw_.status() & 0x02, 0);
  EXPECT_EQ(raw_.readReg(0x1084), 1);
  raw_.writeReg(0x1091, 0);  // chip select without the port: the flash is not selected,
  raw_.takePort();
  raw_.send(0x06);  // so the write enable shifted in afterwards reaches nothing
  raw_.writeReg(0x1091, 1);
  raw_.givePort();
  EXPECT_EQ(raw_.status() & 0x02, 0);

  raw_.spi({0x06}, 0);
  raw_.spi({0xC7}, 0);
  raw_.waitReady();
  raw_.takePort();
  raw_.writeBlock(0x40, kPattern);
  EXPECT_EQ(camera_->flash()[0x40], 0xFF) << "port held";
  raw_.writeReg(0x1091, 0);
  raw_.givePort();
  raw_.writeBlock(0x40, kPattern);
  EXPECT_EQ(camera_->flash()[0x40], 0xFF) << "chip select held";
  raw_.writeReg(0x1091, 1);
  raw_.writeBlock(0x40, kPattern);
  EXPECT_EQ(raw_.readBlock(0x40), kPattern);
  raw_.writeReg(0x1080, 1);
  EXPECT_EQ(raw_.readBlock(0x40), kErased) << "reads do not reach it either";
}

class WriteProtectPinTest : public FlashModelTest {
 protected:
  WriteProtectPinTest() : FlashModelTest(SimSettings{.flash_status = 0x8C, .wp_pin = 2}) {}
};

// SRWD set: the status register can be written only while WP# is high. An
// undriven pin is pulled high; 0x1007 makes it an output, 0x1006 its level.
TEST_F(WriteProtectPinTest, SrwdWithWpLowLocksTheStatusRegister) {
  raw_.writeReg(0x1007, 0x04);
  raw_.writeReg(0x1006, 0xFB);
  raw_.unprotect();
  EXPECT_EQ(raw_.status(), 0x8E) << "refused, the latch stays set";
  raw_.writeReg(0x1006, 0x04);
  raw_.unprotect();
  raw_.waitReady();
  EXPECT_EQ(raw_.status(), 0x00);
  raw_.spi({0x06}, 0);
  raw_.spi({0x01, 0x80}, 0);
  raw_.waitReady();
  raw_.writeReg(0x1007, 0x00);
  raw_.unprotect();
  raw_.waitReady();
  EXPECT_EQ(raw_.status(), 0x00) << "undriven WP# is high";
}

// Power-up status: protected, except a kind-23 camera with mode byte 2 whose
// firmware never writes the status register; --flash-status overrides both.
TEST(FlashPowerUp, ProtectedUnlessTheFirmwareBypassesTheStatusWrite) {
  EXPECT_EQ(SimCamera().flashStatus(), 0x0C);
  EXPECT_EQ(SimCamera(SimSettings{.device_kind = 23, .mode_byte = 2}).flashStatus(), 0x00);
  EXPECT_EQ(SimCamera(SimSettings{.device_kind = 0, .mode_byte = 2}).flashStatus(), 0x0C);
  EXPECT_EQ(SimCamera(SimSettings{.device_kind = 23, .mode_byte = 2, .flash_status = 0x0C}).flashStatus(), 0x0C);
}

class AaiPartTest : public FlashModelTest {
 protected:
  AaiPartTest() : FlashModelTest(SimSettings{.flash_id = {0xBF, 0x48, 0x00}}) {}
};

TEST_F(AaiPartTest, StatusWriteNeedsEnableWriteStatusAndProgrammingIsOneByteAtATime) {
  raw_.unprotect(false);
  EXPECT_NE(raw_.status() & 0x0C, 0) << "write status without 0x50 is ignored";
  raw_.unprotect(true);
  raw_.waitReady();
  EXPECT_EQ(raw_.status(), 0x00);
  raw_.spi({0x06}, 0);
  raw_.spi({0x60}, 0);
  raw_.waitReady();

  // By hand: address and first byte, then a byte per command, write disable ends it.
  raw_.spi({0x06}, 0);
  raw_.spi({0xAF, 0x00, 0x00, 0x30, 0x11, 0x22}, 0);
  EXPECT_EQ(camera_->flash()[0x30], 0xFF) << "two data bytes in one command are ignored";
  raw_.spi({0xAF, 0x00, 0x00, 0x30, 0x11}, 0);
  raw_.waitReady();
  raw_.spi({0xAF, 0x22}, 0);
  raw_.waitReady();
  EXPECT_EQ(raw_.status() & 0x42, 0x42) << "inside the run: AAI bit and latch";
  raw_.spi({0x04}, 0);
  EXPECT_EQ(raw_.status(), 0x00);
  EXPECT_EQ(camera_->flash()[0x30], 0x11);
  EXPECT_EQ(camera_->flash()[0x31], 0x22);

  // The block path with the power-on program opcode 0x02 programs nothing;
  // with 0xAF it runs the auto-increment sequence.
  raw_.writeBlock(0x18, kPattern);
  EXPECT_EQ(camera_->flash()[0x18], 0xFF);
  raw_.writeReg(0x5F5, 0xAF);
  raw_.writeBlock(0x18, kPattern);
  EXPECT_EQ(raw_.readBlock(0x18), kPattern);
  EXPECT_EQ(raw_.status(), 0x00);
}

}  // namespace
}  // namespace emberline::sim
