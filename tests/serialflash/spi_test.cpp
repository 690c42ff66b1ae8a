// The SPI port steps, the two bounded waits, the identification read and the
// flash detection that tries up to four identification commands.

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
using testing::FakeBackend;
using Bytes = std::vector<std::optional<std::uint8_t>>;

class Spi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(flash.SfInit(), kInitOk);
    backend.calls.clear();
  }

  std::size_t count(const std::string& token) const {
    const auto t = backend.trace();
    return static_cast<std::size_t>(std::count(t.begin(), t.end(), token));
  }

  FakeBackend backend;
  device::ManualClock clock;
  SerialFlash flash{backend, clock};
};

TEST_F(Spi, IdentificationReadDrivesThePortByteByByte) {
  backend.queue(0x1083, {0xEF, 0x30});
  flash.SfReadFlashId(0xAB, 1, 2);
  EXPECT_THAT(backend.rawTrace(),
              ElementsAre("w1080=01", "w1091=00",                              // take, select
                          "w1082=AB", "w1081=01", "r1084",                     // send opcode
                          "w1082=00", "w1081=01", "r1084",                     // one dummy
                          "w1083=00", "w1081=02", "r1084", "r1083",            // receive
                          "w1083=00", "w1081=02", "r1084", "r1083",            // receive
                          "w1091=01", "w1080=00"));                            // release, give
  EXPECT_THAT(flash.detection().id, ElementsAre(0xEF, 0x30, 0xFF));
}

struct IdCase {
  Bytes answers;
  int count;
  std::array<std::uint8_t, 3> id;
  std::size_t receives;
};

class IdRead : public Spi, public ::testing::WithParamInterface<IdCase> {};

TEST_P(IdRead, SkipsOneContinuationCode) {
  backend.queue(0x1083, GetParam().answers);
  flash.SfReadFlashId(0x9F, 0, GetParam().count);
  EXPECT_EQ(flash.detection().id, GetParam().id);
  EXPECT_EQ(count("rx"), GetParam().receives);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IdRead,
    ::testing::Values(IdCase{{0xC2, 0x20, 0x11}, 3, {0xC2, 0x20, 0x11}, 3},
                      IdCase{{0x7F, 0xC2, 0x20, 0x11}, 3, {0xC2, 0x20, 0x11}, 4},
                      IdCase{{0x7F, 0x7F, 0x20, 0x11}, 3, {0x7F, 0x20, 0x11}, 4},
                      IdCase{{0xBF, 0x48}, 2, {0xBF, 0x48, 0xFF}, 2},
                      // A receive whose read fails counts as an idle bus.
                      IdCase{{std::nullopt, 0x48}, 2, {0xFF, 0x48, 0xFF}, 2}));

TEST_F(Spi, WaitTransferDoneEndsOnlyOnOne) {
  const std::pair<Bytes, std::size_t> cases[] = {
      {{1}, 1}, {{2, 0xFF, 0, 1}, 4}, {{std::nullopt, std::nullopt, 1}, 3}};
  for (const auto& [answers, polls] : cases) {
    SCOPED_TRACE(polls);
    backend.calls.clear();
    const auto sleeps_before = clock.sleeps();
    backend.queue(0x1084, answers);
    flash.SfWaitTransferDone();
    EXPECT_EQ(backend.countReads(0x1084), polls);
    EXPECT_EQ(clock.sleeps() - sleeps_before, polls - 1);
  }
}

TEST_F(Spi, WaitTransferDoneGivesUpAfter1000Polls) {
  backend.steady[0x1084] = 2;
  flash.SfWaitTransferDone();
  EXPECT_EQ(backend.countReads(0x1084), 1000u);
  EXPECT_EQ(clock.sleeps(), 1000u);
  EXPECT_EQ(clock.slept(), std::chrono::milliseconds(1000));
}

TEST_F(Spi, WaitFlashReadyPollsWithoutReleasingBetweenPolls) {
  for (const std::size_t busy : {0u, 3u}) {
    SCOPED_TRACE(busy);
    backend.calls.clear();
    const auto sleeps_before = clock.sleeps();
    backend.queue(0x1083, Bytes(busy, std::uint8_t{0x03}));  // then 0: ready
    flash.SfWaitFlashReady();
    std::vector<std::string> expected;
    for (std::size_t poll = 0; poll <= busy; ++poll) {
      expected.insert(expected.end(), {"sel", "tx 05", "rx"});
    }
    expected.push_back("rel");
    EXPECT_THAT(backend.trace(), ElementsAreArray(expected));
    EXPECT_EQ(clock.sleeps() - sleeps_before, busy);
  }
}

TEST_F(Spi, WaitFlashReadyIsBoundedAndTreatsFailedStatusAsBusy) {
  for (const std::optional<std::uint8_t> status : {std::optional<std::uint8_t>{0x01}, {}}) {
    backend.calls.clear();
    const auto sleeps_before = clock.sleeps();
    backend.steady[0x1083] = status;
    flash.SfWaitFlashReady();
    EXPECT_EQ(count("tx 05"), 10000u);
    EXPECT_EQ(count("rel"), 1u);
    EXPECT_EQ(backend.trace().back(), "rel");
    EXPECT_EQ(clock.sleeps() - sleeps_before, 10000u);
  }
}

std::vector<std::string> opcodesSent(const std::vector<std::string>& trace) {
  // The opcode is the first byte sent after each select.
  std::vector<std::string> out;
  for (std::size_t i = 0; i + 1 < trace.size(); ++i) {
    if (trace[i] == "sel") out.push_back(trace[i + 1]);
  }
  return out;
}

TEST_F(Spi, DetectionStopsAtFirstIdentifiedPart) {
  backend.queue(0x1083, {0xC2, 0x20, 0x11});
  EXPECT_EQ(flash.SfDetectFlash(), 1);
  EXPECT_THAT(opcodesSent(backend.trace()), ElementsAre("tx 9F"));
  EXPECT_EQ(flash.detection().command_set, 1);
}

TEST_F(Spi, DetectionFallsBackToTwoByteCommands) {
  backend.queue(0x1083, {0xFF, 0xFF, 0xFF, 0x7F, 0xBF, 0x48});
  EXPECT_EQ(flash.SfDetectFlash(), 3);
  EXPECT_THAT(opcodesSent(backend.trace()), ElementsAre("tx 9F", "tx 15"));
  EXPECT_EQ(flash.detection().entry, 8);
  EXPECT_THAT(flash.detection().id, ElementsAre(0xBF, 0x48, 0xFF));
}

TEST_F(Spi, UnknownPartIsReadFourTimesAndLeftUnidentified) {
  backend.queue(0x1083, {0xC2, 0x20, 0x11});
  ASSERT_EQ(flash.SfDetectFlash(), 1);
  backend.calls.clear();
  backend.queue(0x1083, {0xEF, 0x30, 0x11, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC});
  EXPECT_EQ(flash.SfDetectFlash(), 0);
  const auto trace = backend.trace();
  EXPECT_THAT(opcodesSent(trace), ElementsAre("tx 9F", "tx 15", "tx 90", "tx AB"));
  for (const char* opcode : {"tx 90", "tx AB"}) {
    const auto at = std::find(trace.begin(), trace.end(), opcode);
    EXPECT_THAT(std::vector<std::string>(at + 1, at + 4), ElementsAre("tx 00", "tx 00", "tx 00"));
  }
  EXPECT_EQ(count("rx"), 9u);
  EXPECT_THAT(flash.detection().id, ElementsAre(0x9A, 0xBC, 0xFF));
  EXPECT_EQ(flash.detection().command_set, 0);
  EXPECT_EQ(flash.detection().flash_type, 0);
}

}  // namespace
}  // namespace emberline::serialflash
