// Several simulated cameras burned at once by one station: each job on its
// own thread with its own objects. One camera is unplugged mid-burn, one
// refuses a write; the others must end with the right flash and records, and
// no camera may see another's requests.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

#include "core/station/station.h"
#include "sim/sim_camera.h"
#include "station/sim_target.h"
#include "support/files.h"

namespace emberline::station {
namespace {

using testing::targetFor;

// Keeps every event; the station promises one call at a time.
class EventLog final : public StationObserver {
 public:
  void onEvent(const JobEvent& event) override {
    std::lock_guard lock(mutex_);
    if (in_call_.exchange(true)) overlapped_ = true;
    kinds_[event.device].push_back(event.kind);
    if (event.kind == JobEvent::Kind::Stage) last_percent_[event.device] = -1;
    if (event.kind == JobEvent::Kind::Progress) {
      percents_[event.device].insert(event.percent);
      // Within a stage the bar only moves forward, over both halves of the flash too.
      if (event.percent < last_percent_[event.device]) backwards_ = true;
      last_percent_[event.device] = event.percent;
    }
    in_call_ = false;
  }
  std::map<std::string, std::vector<JobEvent::Kind>> kinds_;
  std::map<std::string, std::set<int>> percents_;
  std::map<std::string, int> last_percent_;
  bool backwards_ = false;
  std::atomic<bool> in_call_{false};
  bool overlapped_ = false;
  std::mutex mutex_;
};

std::vector<std::uint8_t> image(std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(0x20000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + seed + (i >> 10));
  bytes[0] = 'Q';
  bytes[1] = 'R';
  bytes[2] = '5';
  bytes[3] = 'X';
  return bytes;
}

class StationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("station-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    image_ = dir_ / "image.src";
    test::writeFile(image_, image(3));
    settings_.image = image_;
    settings_.make_clock = [] { return std::make_unique<device::ManualClock>(); };
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
  std::filesystem::path image_;
  JobSettings settings_;
};

const AttemptRecord& recordOf(const std::vector<AttemptRecord>& records, const std::string& device) {
  for (const auto& r : records)
    if (r.device == device) return r;
  throw std::runtime_error("no record for " + device);
}

TEST_F(StationTest, FailingCamerasDoNotDisturbTheOthers) {
  std::map<std::string, std::shared_ptr<sim::SimCamera>> cameras;
  for (const char* name : {"good-1", "good-2", "good-3", "unplugged", "refusing"})
    cameras[name] = std::make_shared<sim::SimCamera>();
  sim::FaultPlan vanish;
  vanish.vanish_after = 3000;  // well into programming
  cameras["unplugged"]->setFaults(vanish);
  sim::FaultPlan refuse;
  refuse.fail_request = 2500;
  cameras["refusing"]->setFaults(refuse);

  std::mutex kept_mutex;
  std::vector<std::string> kept;
  settings_.keep_record = [&](const AttemptRecord& record) {
    std::lock_guard lock(kept_mutex);
    kept.push_back(record.device);
    return std::string();
  };
  EventLog events;
  std::vector<AttemptRecord> records;
  {
    Station station(settings_, events);
    for (auto& [name, camera] : cameras) station.start(targetFor(name, camera));
    station.wait();
    records = station.results();
    const auto tally = station.tally();
    EXPECT_EQ(tally.passed, 3u);
    EXPECT_EQ(tally.failed, 2u);
    EXPECT_EQ(tally.running, 0u);
  }
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(kept.size(), 5u);
  EXPECT_FALSE(events.overlapped_);
  EXPECT_FALSE(events.backwards_);

  for (const char* name : {"good-1", "good-2", "good-3"}) {
    SCOPED_TRACE(name);
    const auto& r = recordOf(records, name);
    EXPECT_EQ(r.result, JobResult::Passed);
    EXPECT_TRUE(r.error.empty());
    EXPECT_TRUE(test::flashHolds(*cameras[name], image_));
    EXPECT_EQ(r.chip_id, 0x33);
    EXPECT_TRUE(r.version_before && r.version_after);
    EXPECT_EQ(r.verify, "sampled");
    std::vector<std::string> stages;
    for (const auto& s : r.stages) stages.push_back(s.name);
    EXPECT_EQ(stages, (std::vector<std::string>{"connect", "version-before", "erase-check", "program", "verify",
                                                "version-after", "save"}));
    EXPECT_EQ(events.kinds_[name].front(), JobEvent::Kind::Started);
    EXPECT_EQ(events.kinds_[name].back(), JobEvent::Kind::Finished);
    EXPECT_TRUE(events.percents_[name].count(100));
  }
  // Every job counted exactly the requests its own camera saw.
  for (const auto& [name, camera] : cameras) EXPECT_EQ(recordOf(records, name).requests, camera->requestCount()) << name;

  const auto& unplugged = recordOf(records, "unplugged");
  EXPECT_EQ(unplugged.result, JobResult::Failed);
  EXPECT_NE(unplugged.error.find("Write Flash Failed at 0x"), std::string::npos) << unplugged.error;

  const auto& refusing = recordOf(records, "refusing");
  EXPECT_EQ(refusing.result, JobResult::Failed);
  EXPECT_NE(refusing.error.find("Failed at 0x"), std::string::npos) << refusing.error;

  // Every record of the same image carries the same digest of what it burned.
  for (const auto& r : records) EXPECT_EQ(r.image_sha256, records.front().image_sha256);
  EXPECT_EQ(records.front().image_sha256.size(), 64u);
}

// A failed attempt's record says how far it got: what was learnt on the way
// is kept, and nothing is claimed that was not (a version after, a difference
// when verify never compared). What the attempt did not reach stays unwritten.
TEST_F(StationTest, AFailedAttemptRecordsHowFarItGotAndNoMore) {
  std::vector<std::uint8_t> unsigned_image = image(3);
  unsigned_image[0] = 'X';
  test::writeFile(dir_ / "unsigned.src", unsigned_image);
  test::writeFile(dir_ / "short.src", std::vector<std::uint8_t>(1000, 0x11));
  sim::FaultPlan wrong_byte;
  wrong_byte.wrong_byte_at = 0x2345;  // between the samples: only a full verify sees it
  sim::FaultPlan vanish;
  vanish.vanish_after = 3000;
  const struct {
    const char* name;
    sim::FaultPlan faults;
    const char* image;
    bool camera;
    JobResult result;
    bool chip_known;
    std::optional<std::uint32_t> first_difference;
    const char* last_stage;  // before "save"
    bool flash_written;
  } cases[] = {
      {"verify sees a wrong byte", wrong_byte, "image.src", true, JobResult::Failed, true, 0x2345, "verify", true},
      {"unplugged while programming", vanish, "image.src", true, JobResult::Failed, true, {}, "program", true},
      {"no family signature", {}, "unsigned.src", true, JobResult::Failed, true, {}, "version-before", false},
      {"image of the wrong size", {}, "short.src", true, JobResult::BadImage, false, {}, "connect", false},
      {"only a webcam", {}, "image.src", false, JobResult::NoCamera, false, {}, "connect", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto camera = c.camera ? std::make_shared<sim::SimCamera>() : nullptr;
    if (camera) camera->setFaults(c.faults);
    const auto blank = camera ? camera->flash() : std::vector<std::uint8_t>();
    settings_.image = dir_ / c.image;
    settings_.verify_full = true;
    EventLog events;
    Station station(settings_, events);
    station.start(targetFor("cam", camera));
    station.wait();
    ASSERT_EQ(station.results().size(), 1u);
    const AttemptRecord r = station.results()[0];
    EXPECT_EQ(r.result, c.result);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(r.chip_id.has_value(), c.chip_known);
    EXPECT_EQ(r.version_before.has_value(), c.chip_known);
    EXPECT_FALSE(r.version_after);
    EXPECT_EQ(r.first_difference, c.first_difference);
    EXPECT_EQ(r.image_sha256.empty(), c.result == JobResult::BadImage);
    EXPECT_LE(r.start, r.end);
    ASSERT_GE(r.stages.size(), 2u);
    EXPECT_EQ(r.stages.back().name, "save");
    EXPECT_EQ(r.stages[r.stages.size() - 2].name, c.last_stage);
    if (camera) {
      EXPECT_EQ(camera->flash() != blank, c.flash_written);
      EXPECT_EQ(r.requests, camera->requestCount());
    }
  }
}

TEST_F(StationTest, StopEndsJobsThatHaveWrittenNothingAndRefusesNewOnes) {
  auto camera = std::make_shared<sim::SimCamera>();
  const auto before = camera->flash();
  EventLog events;
  Station station(settings_, events);
  // A stop arriving while the job connects: it must not start writing.
  JobTarget target = targetFor("late", camera);
  auto open = target.open;
  target.open = [&station, open](LinkFailure& failure) {
    station.requestStop();
    return open(failure);
  };
  station.start(std::move(target));
  station.wait();
  ASSERT_EQ(station.results().size(), 1u);
  EXPECT_EQ(station.results()[0].result, JobResult::Stopped);
  EXPECT_EQ(camera->flash(), before);
  EXPECT_EQ(station.start(targetFor("after", camera)), std::numeric_limits<std::size_t>::max());
}

// A burn that passed on a camera whose record or state was not kept is no pass.
TEST_F(StationTest, UnkeptRecordUnsavedOrUnopenableCameraFailsTheJob) {
  settings_.keep_record = [](const AttemptRecord& r) { return std::string(r.device == "cam" ? "disk full" : ""); };
  EventLog events;
  Station station(settings_, events);
  station.start(targetFor("cam", std::make_shared<sim::SimCamera>()));
  station.start(targetFor("unsaved", std::make_shared<sim::SimCamera>(), false));
  JobTarget busy;
  busy.device = "busy";
  busy.open = [](LinkFailure& failure) -> std::unique_ptr<CameraLink> {
    failure = {JobResult::Busy, "camera busy: used by process 42"};
    return nullptr;
  };
  station.start(std::move(busy));
  station.wait();
  const auto records = station.results();
  EXPECT_EQ(recordOf(records, "cam").result, JobResult::Failed);
  EXPECT_EQ(recordOf(records, "cam").error, "disk full");
  EXPECT_EQ(recordOf(records, "unsaved").result, JobResult::Failed);
  EXPECT_EQ(recordOf(records, "unsaved").error, "cannot save the simulated camera");
  EXPECT_EQ(recordOf(records, "busy").result, JobResult::Busy);
  EXPECT_EQ(recordOf(records, "busy").requests, 0u);
}

}  // namespace
}  // namespace emberline::station
