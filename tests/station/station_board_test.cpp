// What a station window shows, on simulated cameras: a row per camera with
// where a failure happened and what to do, greyed rows of failed cameras that
// were unplugged until "Clear" or a new plug-in, and totals that count
// cameras apart from attempts. The engine's events reach the board through a
// queue the test pumps, as a face's event loop would.

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "core/station/image_identity.h"
#include "core/station/station_board.h"
#include "core/workflows/camera_session.h"
#include "station/sim_target.h"
#include "support/files.h"

namespace emberline::station {
namespace {

namespace w = workflows;

class Queue {
 public:
  void post(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(fn));
  }
  // Runs what arrived until `done` holds (or 30 s passed).
  bool pumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done() && std::chrono::steady_clock::now() < end) {
      std::deque<std::function<void()>> now;
      {
        std::lock_guard lock(mutex_);
        now.swap(calls_);
      }
      for (auto& fn : now) fn();
      if (now.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
};

std::vector<std::uint8_t> image() {
  std::vector<std::uint8_t> bytes(w::kImageSize, 0xFF);
  for (std::size_t i = 0; i < 0x8000; ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + (i >> 9));
  std::copy_n("QR5X", 4, bytes.begin());
  return bytes;
}

struct Texts {
  w::Language language;
  std::string verify_failed;
  std::string burning_failed;
  std::string unplugged_device;
  std::string totals;  // after the first "Start All"
  std::string colon;
};

class StationBoardTest : public ::testing::TestWithParam<Texts> {};

TEST_P(StationBoardTest, RowsSayWhereAndWhyAndStayUntilClearedOrPluggedInAgain) {
  const Texts& t = GetParam();
  const auto dir = std::filesystem::temp_directory_path() / ("station-board-" + std::to_string(static_cast<int>(t.language)));
  std::filesystem::create_directories(dir);
  test::writeFile(dir / "image.src", image());

  std::map<std::string, std::shared_ptr<sim::SimCamera>> cameras;
  for (const char* name : {"a", "b", "c", "d"}) cameras[name] = std::make_shared<sim::SimCamera>();
  sim::FaultPlan wrong;
  wrong.wrong_byte_at = 0x400;  // a sampled block reads back wrong
  cameras["b"]->setFaults(wrong);
  sim::FaultPlan vanish;
  vanish.vanish_after = 3000;  // well into programming
  cameras["c"]->setFaults(vanish);

  JobSettings settings;
  settings.image = dir / "image.src";
  settings.make_clock = [] { return std::make_unique<device::ManualClock>(); };
  Queue queue;
  int changes = 0;
  StationBoard::Hooks hooks;
  hooks.post = [&](std::function<void()> fn) { queue.post(std::move(fn)); };
  hooks.target = [&](const std::string& device, std::shared_ptr<std::atomic<bool>>) -> std::optional<JobTarget> {
    return testing::targetFor(device, cameras.at(device));
  };
  hooks.changed = [&] { ++changes; };
  StationBoard board(settings, t.language, hooks);
  EXPECT_NE(board.identity().find(identifyImage(image()).line()), std::string::npos) << board.identity();

  for (const char* name : {"a", "b", "c"}) board.plugged(name);
  EXPECT_EQ(board.totals().waiting, 3u);
  EXPECT_TRUE(board.totals().can_start);
  board.startAll();
  board.unplugged("c");  // pulled out while it burns
  ASSERT_TRUE(queue.pumpUntil([&] { return board.idle(); }));

  const auto& rows = board.rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].state, RowState::Passed);
  EXPECT_EQ(rows[0].percent, 100);
  EXPECT_EQ(rows[0].chip_id, "0x33");
  EXPECT_EQ(rows[1].state, RowState::Failed);
  EXPECT_EQ(rows[1].stage, t.verify_failed);
  EXPECT_EQ(rows[1].result, resultText(t.language, JobResult::Failed) + t.colon +
                                std::string(w::operatorAdvice(w::FailureKind::VerifyMismatch, t.language)));
  EXPECT_EQ(rows[1].result_tooltip.rfind("Check Data Failed!", 0), 0u);
  EXPECT_EQ(rows[2].state, RowState::Failed);
  EXPECT_TRUE(rows[2].unplugged);
  EXPECT_EQ(rows[2].device_text, t.unplugged_device);
  EXPECT_EQ(rows[2].stage, t.burning_failed);
  EXPECT_NE(rows[2].result.find(w::operatorAdvice(w::FailureKind::UnpluggedDuringBurn, t.language)), std::string::npos);
  BoardTotals totals = board.totals();
  EXPECT_EQ(totals.text, t.totals);
  EXPECT_TRUE(totals.can_clear);
  EXPECT_FALSE(totals.can_start);
  EXPECT_GT(changes, 0);

  // A camera that passed goes when unplugged; it still counts.
  board.unplugged("a");
  board.plugged("d");
  totals = board.totals();
  EXPECT_EQ(board.rows().size(), 3u);
  EXPECT_EQ((std::vector<std::size_t>{totals.passed, totals.failed, totals.waiting, totals.attempts}),
            (std::vector<std::size_t>{1, 2, 1, 3}));
  // The greyed row goes on "Clear"; the failed one still plugged in stays.
  board.clear();
  EXPECT_EQ(board.row("c"), nullptr);
  EXPECT_NE(board.row("b"), nullptr);
  EXPECT_FALSE(board.totals().can_clear);
  EXPECT_EQ(board.totals().failed, 2u);
  // Unplugged and plugged in again, a failed camera waits for its next attempt.
  board.unplugged("b");
  EXPECT_TRUE(board.row("b")->unplugged);
  board.plugged("b");
  EXPECT_EQ(board.row("b")->state, RowState::Waiting);
  EXPECT_FALSE(board.row("b")->unplugged);
  cameras["b"]->setFaults({});
  board.startAll();
  ASSERT_TRUE(queue.pumpUntil([&] { return board.idle(); }));
  totals = board.totals();
  EXPECT_EQ((std::vector<std::size_t>{totals.passed, totals.failed, totals.waiting, totals.attempts}),
            (std::vector<std::size_t>{3, 1, 0, 5}));
  std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, StationBoardTest,
    ::testing::Values(Texts{w::Language::English, "Verify: failed", "Burning: failed", "c (unplugged)",
                            "Passed: 1    Failed: 2    Running: 0    Waiting: 0    Attempts: 3", ": "},
                      Texts{w::Language::SimplifiedChinese, "校验：失败", "烧录：失败", "c（已拔出）",
                            "成功：1    失败：2    进行中：0    等待：0    尝试次数：3", "："}),
    [](const auto& param_info) {
      return std::string(param_info.param.language == w::Language::English ? "English" : "Chinese");
    });

}  // namespace
}  // namespace emberline::station
