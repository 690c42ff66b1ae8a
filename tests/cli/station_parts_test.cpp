// The pieces around the station engine: the record's JSON and timestamps,
// the camera lock within one process, the folder of simulated cameras as a
// hot-plug source.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "frontend/attempt_json.h"
#include "frontend/hotplug.h"
#include "platform/camera_lock.h"
#include "version/version.h"

namespace emberline {
namespace {

using namespace std::chrono;

class StationPartsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "emberline-parts-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void touch(const std::string& name) { std::ofstream(dir_ / name) << "x"; }
  std::filesystem::path dir_;
};

TEST(AttemptJsonTest, TimesAreUtcWithMillisecondsAcrossDateBoundaries) {
  const struct {
    sys_time<milliseconds> time;
    const char* text;
  } cases[] = {
      {sys_days{year{1970} / 1 / 1}, "1970-01-01T00:00:00.000Z"},
      {sys_days{year{2024} / 2 / 29} + hours(23) + minutes(59) + seconds(59) + milliseconds(999),
       "2024-02-29T23:59:59.999Z"},
      {sys_days{year{2026} / 12 / 7} + hours(3) + minutes(36) + seconds(40) + milliseconds(195),
       "2026-12-07T03:36:40.195Z"},
  };
  for (const auto& c : cases) EXPECT_EQ(frontend::isoUtc(c.time), c.text);
}

TEST(AttemptJsonTest, FailedBurnKeepsEveryFieldWithNullsWhereNothingWasLearnt) {
  station::AttemptRecord r;
  r.device = "sim:cam.sim";
  r.image = "fw.src";
  r.verify = "full";
  r.version_before = "QR5XA\r\nEM-1234567\r\n2026-12-06\r\n2612061200";
  r.first_difference = 0x1234;
  r.error = "Check Data Failed!";
  r.stages = {{"connect", microseconds(5)}, {"verify", microseconds(7)}};
  const auto j = frontend::attemptJson(r, "bench-3");
  EXPECT_EQ(j["result"], "failed");
  EXPECT_EQ(j["host"], "bench-3");
  EXPECT_EQ(j["program_version"], version::program());
  EXPECT_TRUE(j["port"].is_null());
  EXPECT_TRUE(j["chip_id"].is_null());
  EXPECT_TRUE(j["version_after"].is_null());
  EXPECT_TRUE(j["image_sha256"].is_null());
  EXPECT_EQ(j["version_before"], nlohmann::ordered_json({"QR5XA", "EM-1234567", "2026-12-06", "2612061200"}));
  EXPECT_EQ(j["first_difference"], 0x1234);
  EXPECT_EQ(j["stages"][1]["name"], "verify");
  EXPECT_EQ(j["stages"][1]["duration_us"], 7);

  r.operation = station::Operation::Erase;
  EXPECT_FALSE(frontend::attemptJson(r, {}).contains("image"));
}

TEST_F(StationPartsTest, CameraLockRefusesASecondHolderAndIsFreeAgainAfterwards) {
  const std::string camera = (dir_ / "cam.sim").string();
  touch("cam.sim");
  touch("other.sim");
  {
    auto first = platform::lockCamera(camera, true);
    ASSERT_EQ(first.state, platform::LockAttempt::State::Taken) << first.error;
    const auto second = platform::lockCamera(camera, true);
    EXPECT_EQ(second.state, platform::LockAttempt::State::Busy);
    EXPECT_EQ(second.holder, static_cast<long>(getpid()));
    // Another spelling of the same file is the same camera.
    EXPECT_EQ(platform::lockCamera((dir_ / "." / "cam.sim").string(), true).state,
              platform::LockAttempt::State::Busy);
    // Another camera is not.
    EXPECT_EQ(platform::lockCamera((dir_ / "other.sim").string(), true).state,
              platform::LockAttempt::State::Taken);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "cam.sim.lock"));
  EXPECT_EQ(platform::lockCamera(camera, true).state, platform::LockAttempt::State::Taken);
  EXPECT_EQ(platform::busyText(42), "camera busy: used by process 42");
}

TEST_F(StationPartsTest, SimFolderReportsStateFilesComingAndGoingAndNothingElse) {
  touch("a.sim");
  touch("a.sim.lock");    // a camera's lock
  touch("b.sim.Xy12Ab");  // a save's temporary file
  std::string error;
  auto source = frontend::openSimFolder("sim-dir:" + dir_.string() + "?latency-us=5", &error);
  ASSERT_TRUE(source) << error;
  const std::string a = "sim:" + (dir_ / "a.sim").string() + "?latency-us=5";
  const std::string b = "sim:" + (dir_ / "b.sim").string() + "?latency-us=5";

  auto events = source->poll(milliseconds(0));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].device, a);
  EXPECT_TRUE(events[0].plugged);
  EXPECT_TRUE(source->poll(milliseconds(0)).empty());  // still there: no news

  // A new file is taken once it looks the same at two polls; one written
  // anew is reported again (the watcher decides whether to burn it again).
  const auto next = [&] {
    const auto e = source->poll(milliseconds(0));
    return e.size() == 1 ? (e[0].plugged ? "plugged " : "unplugged ") + e[0].device : std::to_string(e.size());
  };
  // A file missing at one look may be a save replacing it: gone at two.
  touch("b.sim");
  std::filesystem::remove(dir_ / "a.sim");
  EXPECT_EQ(next(), "0");
  events = source->poll(milliseconds(0));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].device, a);
  EXPECT_FALSE(events[0].plugged);
  EXPECT_EQ(events[1].device, b);
  EXPECT_TRUE(events[1].plugged);
  std::ofstream(dir_ / "b.sim") << "written anew";
  EXPECT_EQ(next(), "0");
  EXPECT_EQ(next(), "plugged " + b);

  EXPECT_FALSE(frontend::openSimFolder("sim-dir:" + (dir_ / "none").string(), &error));
  EXPECT_FALSE(frontend::openSimFolder("sim-dir:" + dir_.string() + "?speed=9", &error));
}

}  // namespace
}  // namespace emberline
