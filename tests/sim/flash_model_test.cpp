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
  for (int i = 0; i < 5; ++i) {
    raw_.writeReg(0x1091, 0);
    raw_.send(0x05);
    polls.push_back(raw_.receive());
  }
  raw_.writeReg(0x1091, 1);
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

class EwsrPartTest : public FlashModelTest {
 protected:
  EwsrPartTest() : FlashModelTest(SimSettings{.flash_id = {0xBF, 0x48, 0x00}}) {}
};

TEST_F(EwsrPartTest, StatusWriteNeedsTheEnableWriteStatusCommandAndProgramIsAF) {
  raw_.unprotect(false);
  EXPECT_NE(raw_.status() & 0x0C, 0) << "write status without 0x50 is ignored";
  raw_.unprotect(true);
  EXPECT_EQ(raw_.status(), 0x00);
  raw_.spi({0x06}, 0);
  raw_.spi({0x60}, 0);
  raw_.waitReady();

  raw_.writeBlock(0x18, kPattern);  // power-on program opcode 0x02
  EXPECT_EQ(camera_->flash()[0x18], 0xFF);
  raw_.writeReg(0x5F5, 0xAF);
  raw_.writeBlock(0x18, kPattern);
  EXPECT_EQ(raw_.readBlock(0x18), kPattern);
}

}  // namespace
}  // namespace emberline::sim
