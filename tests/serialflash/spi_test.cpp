// The SPI port steps, the two bounded waits, the identification read and the
// flash detection over up to four identification commands.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/device/clock.h"
#include "core/serialflash/serial_flash.h"
#include "serialflash/fake_backend.h"

namespace emberline::serialflash {
namespace {

using testing::Bytes;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class Spi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(flash.SfInit(), kInitOk);
    backend.calls.clear();
  }
  std::uint64_t sleepsDuring(const std::function<void()>& step) {
    backend.calls.clear();
    const auto before = clock.sleeps();
    step();
    return clock.sleeps() - before;
  }
  // The first byte sent after each select.
  std::vector<std::string> opcodesSent() const {
    const auto t = backend.trace();
    std::vector<std::string> out;
    for (std::size_t i = 0; i + 1 < t.size(); ++i) {
      if (t[i] == "sel") out.push_back(t[i + 1]);
    }
    return out;
  }

  testing::FakeBackend backend;
  device::ManualClock clock;
  SerialFlash flash{backend, clock};
};

TEST_F(Spi, IdentificationReadDrivesThePortByteByByte) {
  backend.queue(0x1083, {0xEF, 0x30});
  flash.SfReadFlashId(0xAB, 1, 2);
  EXPECT_THAT(backend.trace(false),
              ElementsAre("w 1080=01", "w 1091=00",                      // take, select
                          "w 1082=AB", "w 1081=01", "r 1084",            // opcode
                          "w 1082=00", "w 1081=01", "r 1084",            // one dummy
                          "w 1083=00", "w 1081=02", "r 1084", "r 1083",  // receive
                          "w 1083=00", "w 1081=02", "r 1084", "r 1083",  // receive
                          "w 1091=01", "w 1080=00"));                    // release, give
  EXPECT_THAT(flash.detection().id, ElementsAre(0xEF, 0x30, 0xFF));
}

TEST_F(Spi, IdentificationSkipsOneContinuationCode) {
  struct Case {
    Bytes answers;
    int count;
    std::array<std::uint8_t, 3> id;
  } cases[] = {{{0x7F, 0xC2, 0x20, 0x11}, 3, {0xC2, 0x20, 0x11}},
               {{0x7F, 0x7F, 0x20, 0x11}, 3, {0x7F, 0x20, 0x11}},
               {{0xBF, 0x48}, 2, {0xBF, 0x48, 0xFF}},
               {{std::nullopt, 0x48}, 2, {0xFF, 0x48, 0xFF}}};  // a failed receive reads idle
  for (const Case& c : cases) {
    backend.calls.clear();
    backend.queue(0x1083, c.answers);
    flash.SfReadFlashId(0x9F, 0, c.count);
    EXPECT_EQ(flash.detection().id, c.id);
    EXPECT_EQ(backend.count("rx"), c.answers.size());
  }
}

TEST_F(Spi, WaitTransferDoneEndsOnlyOnOneAndIsBounded) {
  const std::pair<Bytes, std::uint64_t> cases[] = {
      {{1}, 1}, {{2, 0xFF, 0, 1}, 4}, {{std::nullopt, std::nullopt, 1}, 3}};
  for (const auto& [answers, polls] : cases) {
    backend.queue(0x1084, answers);
    EXPECT_EQ(sleepsDuring([&] { flash.SfWaitTransferDone(); }), polls - 1);
    EXPECT_EQ(backend.count("r 1084", false), polls);
  }
  EXPECT_EQ(flash.transferWaitsRanOut(), 0);
  backend.steady[0x1084] = 2;
  EXPECT_EQ(sleepsDuring([&] { flash.SfWaitTransferDone(); }), 1000u);
  EXPECT_EQ(backend.count("r 1084", false), 1000u);
  EXPECT_EQ(flash.transferWaitsRanOut(), 1) << "counted, for a burn that passes regardless";
}

TEST_F(Spi, WaitFlashReadyPollsWithoutReleasingBetweenPolls) {
  for (const std::size_t busy : {0u, 3u}) {
    backend.queue(0x1083, Bytes(busy, std::uint8_t{0x03}));  // then 0: ready
    EXPECT_EQ(sleepsDuring([&] { flash.SfWaitFlashReady(); }), busy);
    std::vector<std::string> expected;
    for (std::size_t poll = 0; poll <= busy; ++poll)
      expected.insert(expected.end(), {"sel", "tx 05", "rx"});
    expected.push_back("rel");
    EXPECT_THAT(backend.trace(), ElementsAreArray(expected));
  }
}

TEST_F(Spi, WaitFlashReadyIsBoundedAndTreatsFailedStatusAsBusy) {
  for (const auto status : {std::optional<std::uint8_t>{0x01}, std::optional<std::uint8_t>{}}) {
    backend.steady[0x1083] = status;
    EXPECT_EQ(sleepsDuring([&] { flash.SfWaitFlashReady(); }), 10000u);
    EXPECT_EQ(backend.count("tx 05"), 10000u);
    EXPECT_EQ(backend.count("rel"), 1u);
    EXPECT_EQ(backend.trace().back(), "rel");
    EXPECT_TRUE(flash.flashStayedBusy());
    EXPECT_EQ(flash.readyWaitRequestFailed(), !status) << "a refused status read is no busy flash";
  }
}

TEST_F(Spi, WaitsEndAtOnceWhenTheDeviceIsGone) {
  backend.steady[0x1084] = std::nullopt;
  backend.steady[0x1083] = std::nullopt;
  backend.gone = true;
  EXPECT_EQ(sleepsDuring([&] { flash.SfWaitTransferDone(); }), 0u);
  EXPECT_EQ(sleepsDuring([&] { flash.SfWaitFlashReady(); }), 0u);
  EXPECT_EQ(backend.trace().back(), "rel");  // chip select is still released
}

// A stop asked for in the middle of either wait ends it at the next poll,
// without calling the flash stuck.
TEST_F(Spi, WaitsEndBetweenPollsWhenAStopIsAsked) {
  struct StopAtThirdSleep final : device::Clock {
    void sleepFor(std::chrono::microseconds) override {
      if (++sleeps == 3) stop.requestStop(130);
    }
    std::chrono::steady_clock::time_point now() const override { return {}; }
    int sleeps = 0;
    device::StopSource stop;
  };
  backend.steady[0x1083] = 0x01;  // a flash that stays busy
  const std::pair<std::uint8_t, std::function<void(SerialFlash&)>> waits[] = {
      {0, [](SerialFlash& f) { f.SfWaitTransferDone(); }},  // a transfer that never completes
      {1, [](SerialFlash& f) { f.SfWaitFlashReady(); }}};
  for (const auto& [done, wait] : waits) {
    backend.steady[0x1084] = done;
    StopAtThirdSleep stopping;
    SerialFlash stoppable{backend, stopping};
    ASSERT_EQ(stoppable.SfInit(), kInitOk);
    stoppable.setStopToken(stopping.stop.token());
    wait(stoppable);
    EXPECT_EQ(stopping.sleeps, 3);
    EXPECT_FALSE(stoppable.flashStayedBusy());
    EXPECT_EQ(stoppable.transferWaitsRanOut(), 0);
  }
}

TEST_F(Spi, DetectionStopsAtFirstIdentifiedPart) {
  backend.queue(0x1083, {0xC2, 0x20, 0x11});
  EXPECT_EQ(flash.SfDetectFlash(), 1);
  EXPECT_THAT(opcodesSent(), ElementsAre("tx 9F"));

  backend.calls.clear();
  backend.queue(0x1083, {0xFF, 0xFF, 0xFF, 0x7F, 0xBF, 0x48});
  EXPECT_EQ(flash.SfDetectFlash(), 3);
  EXPECT_THAT(opcodesSent(), ElementsAre("tx 9F", "tx 15"));
  EXPECT_EQ(flash.detection().command_set, 4);
}

// 0x9F and 0x15 are followed by no dummy byte, 0x90 and 0xAB by three zeros.
TEST_F(Spi, EachIdentificationCommandSendsItsDummyBytes) {
  flash.SfDetectFlash();
  const auto t = backend.trace();
  std::vector<std::string> sent;
  std::string series;
  for (const auto& step : t) {
    if (step == "sel") series.clear();
    if (step.starts_with("tx ")) series += step.substr(3) + " ";
    if (step == "rel") sent.push_back(series);
  }
  EXPECT_THAT(sent, ElementsAre("9F ", "15 ", "90 00 00 00 ", "AB 00 00 00 "));
}

TEST_F(Spi, UnknownPartIsReadFourTimesAndLeftUnidentified) {
  backend.queue(0x1083, {0xEF, 0x30, 0x11, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC});
  EXPECT_EQ(flash.SfDetectFlash(), 0);
  EXPECT_THAT(opcodesSent(), ElementsAre("tx 9F", "tx 15", "tx 90", "tx AB"));
  const auto t = backend.trace();
  for (const char* opcode : {"tx 90", "tx AB"}) {
    const auto at = static_cast<std::size_t>(std::find(t.begin(), t.end(), opcode) - t.begin());
    ASSERT_LT(at + 3, t.size());
    EXPECT_THAT(std::vector<std::string>(&t[at + 1], &t[at + 4]),
                ElementsAre("tx 00", "tx 00", "tx 00"));
  }
  EXPECT_THAT(flash.detection().id, ElementsAre(0x9A, 0xBC, 0xFF));
  EXPECT_EQ(flash.detection().command_set, 0);
}

}  // namespace
}  // namespace emberline::serialflash
