// The station on the command line: several simulated cameras in one run,
// the camera lock between processes, the record file under SIGKILL, and
// watch on a folder of simulated cameras.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <thread>

#include "cli_fixture.h"
#include "platform/camera_lock.h"

namespace emberline::test {
namespace {

using namespace std::chrono_literals;

// The fields every record carries, whatever the attempt ended with.
const char* const kRecordFields[] = {"operation", "start", "end", "host", "device", "port", "chip_id",
                                     "version_before", "version_after", "stages", "requests", "result",
                                     "error", "advice", "first_difference"};

// Every line of a record file; fails the test on a line that is not a whole record.
std::vector<nlohmann::json> readRecords(const std::filesystem::path& file) {
  std::ifstream in(file);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_TRUE(text.empty() || text.back() == '\n') << "a record was cut short";
  std::vector<nlohmann::json> records;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const auto record = nlohmann::json::parse(line, nullptr, false);
    EXPECT_TRUE(record.is_object()) << line;
    for (const char* field : kRecordFields) EXPECT_TRUE(record.contains(field)) << field << " in " << line;
    records.push_back(record);
  }
  return records;
}

// `emberline` started in the background, its output in files.
class Background {
 public:
  Background(const std::filesystem::path& dir, const std::vector<std::string>& args) {
    out_ = dir / ("bg-" + std::to_string(counter_++) + ".out");
    pid_ = fork();
    if (pid_ == 0) {
      const int fd = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, STDOUT_FILENO);
      dup2(fd, STDERR_FILENO);
      setenv("EMBERLINE_SYSFS_ROOT", (dir / "sys").c_str(), 1);
      setenv("EMBERLINE_DEV_ROOT", (dir / "dev").c_str(), 1);
      if (chdir(dir.c_str()) != 0) _exit(126);
      std::vector<char*> argv{const_cast<char*>(EMBERLINE_CLI_BINARY)};
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(EMBERLINE_CLI_BINARY, argv.data());
      _exit(127);
    }
  }
  ~Background() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      wait();
    }
  }
  void signal(int number) { kill(pid_, number); }
  // The exit status; -signal when killed.
  int wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
  std::string output() const {
    std::ifstream in(out_);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  static inline int counter_ = 0;
  pid_t pid_ = -1;
  bool waited_ = false;
  std::filesystem::path out_;
};

// Waits (up to a generous bound, so a loaded machine is no failure) until `done`.
template <typename Done>
bool eventually(Done done) {
  for (int i = 0; i < 600; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

std::size_t lineCount(const std::filesystem::path& file) {
  std::ifstream in(file);
  return static_cast<std::size_t>(std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

class StationCliTest : public CliTest {
 protected:
  std::vector<std::uint8_t> flashOf(const std::string& sim) {
    const auto file = dir_ / ("export-" + sim.substr(sim.rfind('/') + 1));
    const auto result = run({"-d", sim, "export", file.string()});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    return readFile(file);
  }
  bool holdsImage(const std::string& sim, const std::vector<std::uint8_t>& image) {
    const auto flash = flashOf(sim);
    return flash.size() == image.size() && std::equal(image.begin(), image.begin() + kProgrammedBytes, flash.begin());
  }
};

TEST_F(StationCliTest, BurnsSeveralCamerasAndReportsTheWorstResult) {
  const auto image = sampleImage();
  const auto file = writeFile("image.src", image);
  const std::string a = makeSim("a.sim"), b = makeSim("b.sim");
  const std::string missing = "sim:" + (dir_ / "missing.sim").string();
  const auto record = dir_ / "records.jsonl";

  const auto doc = runJson({"-d", a, "-d", b, "-d", missing, "burn", file.string(), "--record", record.string()}, 3);
  EXPECT_EQ(doc["command"], "burn");
  EXPECT_EQ(doc["ok"], false);
  EXPECT_EQ(doc["exit_code"], 3);
  EXPECT_EQ(doc["passed"], 2);
  EXPECT_EQ(doc["failed"], 1);
  ASSERT_EQ(doc["results"].size(), 3u);
  std::map<std::string, std::string> results;
  for (const auto& r : doc["results"]) {
    results[r["device"]] = r["result"];
    // Each camera's result is its whole record, as the record file has it.
    for (const char* field : kRecordFields) EXPECT_TRUE(r.contains(field)) << field;
  }
  EXPECT_EQ(results[a], "passed");
  EXPECT_EQ(results[b], "passed");
  EXPECT_EQ(results[missing], "unavailable");
  EXPECT_TRUE(holdsImage(a, image));
  EXPECT_TRUE(holdsImage(b, image));

  const auto records = readRecords(record);
  ASSERT_EQ(records.size(), 3u);
  for (const auto& r : records) {
    EXPECT_EQ(r["image"], file.string());
    EXPECT_EQ(r["image_sha256"].is_null(), r["device"] == missing);
  }
  // The worst result whatever the order: a failure, then a pass.
  EXPECT_EQ(run({"-d", missing, "-d", a, "burn", file.string()}).exit_code, 3);
  // All passing: status 0, and a plain line per event prefixed with the device.
  const auto again = run({"-d", a, "-d", b, "burn", file.string()});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_NE(again.out.find(a + ": passed\n"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find(b + ": Burning\n"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find("passed 2, failed 0"), std::string::npos) << again.out;
}

// Which cameras a run takes, when none of the family answers or the choice
// contradicts itself; nothing is burned or recorded either way.
// Ctrl-C lets the burns in flight end and writes no camera not yet begun;
// such a camera is no pass.
TEST_F(StationCliTest, AnInterruptedStationWritesNoCameraItHadNotBegun) {
  const auto file = writeFile("image.src", sampleImage());
  const std::string fast = makeSim("fast.sim"), slow = makeSim("slow.sim");
  const auto before = flashOf(slow);
  ProcessOptions options;
  options.signal = SIGINT;
  options.signal_after = fast + ": passed";
  options.timeout_s = 60;
  const auto result = run({"--json", "-d", fast, "-d", slow + "?latency-us=20000", "burn", file.string()}, options);
  EXPECT_EQ(result.exit_code, 1) << result.err;
  const auto doc = nlohmann::json::parse(result.out, nullptr, false);
  ASSERT_TRUE(doc.is_object()) << result.out;
  ASSERT_EQ(doc["results"].size(), 2u);
  EXPECT_EQ(doc["results"][0]["result"], "passed");
  EXPECT_EQ(doc["results"][1]["result"], "stopped");
  EXPECT_EQ(flashOf(slow), before);
}

TEST_F(StationCliTest, AllWithoutACameraOrWithDevicesIsRefusedBeforeAnythingIsWritten) {
  const auto file = writeFile("image.src", sampleImage());
  const std::string sim = makeSim("cam.sim");
  const auto before = flashOf(sim);
  const struct {
    std::vector<std::string> args;
    int exit_code;
    const char* says;
  } cases[] = {
      {{"burn", file.string(), "--all", "--record", "r.jsonl"}, 3, "no camera found"},
      {{"erase", "--record", "r.jsonl"}, 3, "no camera found"},
      {{"-d", sim, "burn", file.string(), "--all", "--record", "r.jsonl"}, 2, "--all and --device exclude each other"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    auto args = c.args;
    args.insert(args.begin(), "--json");
    const auto doc = runJson(args, c.exit_code);
    EXPECT_NE(doc["error"].get<std::string>().find(c.says), std::string::npos) << doc.dump();
    EXPECT_FALSE(std::filesystem::exists(dir_ / "r.jsonl"));
  }
  EXPECT_EQ(flashOf(sim), before);
}

TEST_F(StationCliTest, ABusyCameraIsRefusedAndKeepsItsFlash) {
  const auto image = sampleImage();
  const auto file = writeFile("image.src", image);
  const std::string sim = makeSim("cam.sim");
  const auto before = flashOf(sim);
  const auto state = readFile(dir_ / "cam.sim");
  // A file of the name an older lock used is nobody's lock: left as it is.
  writeFile("cam.sim.lock", {'m', 'i', 'n', 'e'});
  std::filesystem::create_hard_link(dir_ / "cam.sim", dir_ / "hard.sim");
  {
    // This test process holds the camera, as a running emberline would,
    // through another name of the same file.
    auto held = platform::lockCamera((dir_ / "hard.sim").string(), true);
    ASSERT_EQ(held.state, platform::LockAttempt::State::Taken);
    const std::string busy = "camera busy: used by process " + std::to_string(getpid());
    const auto path = (dir_ / "cam.sim").string();
    for (const auto& args : std::vector<std::vector<std::string>>{{"-d", sim, "burn", file.string()},
                                                                   {"-d", sim, "erase", "--record", "r.jsonl"},
                                                                   {"-d", sim, "export", "back.src"},
                                                                   {"-d", sim, "version"},
                                                                   {"sim", "fault", path, "--stuck-busy"},
                                                                   {"sim", "init", path, "--force"}}) {
      const auto result = run(args);
      EXPECT_EQ(result.exit_code, 3) << args[2];
      EXPECT_NE((result.out + result.err).find(busy), std::string::npos) << result.out << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "back.src"));
  }
  EXPECT_EQ(readFile(dir_ / "cam.sim"), state);
  EXPECT_EQ(readFile(dir_ / "cam.sim.lock"), (std::vector<std::uint8_t>{'m', 'i', 'n', 'e'}));
  EXPECT_EQ(flashOf(sim), before);
  EXPECT_EQ(run({"-d", sim, "burn", file.string()}).exit_code, 0);
  EXPECT_TRUE(holdsImage(sim, image));
}

TEST_F(StationCliTest, TwoProcessesOnOneCameraCannotBothRun) {
  const auto image = sampleImage();
  const auto file = writeFile("image.src", image);
  const std::string sim = makeSim("cam.sim");
  Background first(dir_, {"-d", sim + "?latency-us=100", "burn", file.string()});
  // The first process holds the camera once it has begun the burn.
  ASSERT_TRUE(eventually([&] { return first.output().find("Erase and Check") != std::string::npos; }));
  const auto second = run({"-d", sim, "erase"});
  EXPECT_EQ(first.wait(), 0) << first.output();
  EXPECT_EQ(second.exit_code, 3) << second.err;
  EXPECT_NE(second.err.find("camera busy: used by process "), std::string::npos) << second.err;
  EXPECT_TRUE(holdsImage(sim, image));  // the erase never ran
}

TEST_F(StationCliTest, RecordsSurviveSigkillWhole) {
  const auto file = writeFile("image.src", sampleImage());
  std::vector<std::string> args;
  for (int i = 0; i < 4; ++i) {
    args.push_back("-d");
    // One fast camera finishes (and is recorded) while the others still burn.
    args.push_back(makeSim("cam" + std::to_string(i) + ".sim") + (i == 0 ? "" : "?latency-us=300"));
  }
  const auto record = dir_ / "records.jsonl";
  args.insert(args.end(), {"burn", file.string(), "--record", record.string()});
  Background run(dir_, args);
  ASSERT_TRUE(eventually([&] { return lineCount(record) >= 1; }));
  run.signal(SIGKILL);
  EXPECT_EQ(run.wait(), -SIGKILL);
  const auto records = readRecords(record);
  ASSERT_GE(records.size(), 1u);
  EXPECT_LT(records.size(), 4u);
  for (const auto& r : records) EXPECT_EQ(r["result"], "passed");
}

TEST_F(StationCliTest, WatchBurnsEachPluggedCameraOnceAndEndsPulledOnes) {
  const auto image = sampleImage();
  const auto file = writeFile("image.src", image);
  std::filesystem::create_directories(dir_ / "line");
  const auto record = dir_ / "records.jsonl";
  makeSim("line/first.sim");
  const auto camera = readFile(dir_ / "line/first.sim");  // a whole state file, to copy
  Background watch(dir_, {"-d", "sim-dir:" + (dir_ / "line").string() + "?latency-us=50", "watch", file.string(),
                          "--record", record.string()});
  ASSERT_TRUE(eventually([&] { return lineCount(record) == 1; })) << watch.output();
  makeSim("line/second.sim");
  makeSim("line/pulled.sim");
  // Pulled out once its burn has begun.
  ASSERT_TRUE(eventually([&] { return watch.output().find("pulled.sim?latency-us=50: Burning") != std::string::npos; }));
  std::filesystem::remove(dir_ / "line/pulled.sim");
  ASSERT_TRUE(eventually([&] { return lineCount(record) == 3; })) << watch.output();

  // A file still being written is taken once it is closed; one that could
  // not be opened is tried again when it is written anew.
  {
    std::ofstream half(dir_ / "line/half.sim", std::ios::binary);
    const auto bytes = reinterpret_cast<const char*>(camera.data());
    const auto size = static_cast<std::streamsize>(camera.size());
    half.write(bytes, size / 2).flush();
    writeFile("line/broken.sim", {'n', 'o'});
    std::this_thread::sleep_for(500ms);  // several polls
    half.write(bytes + size / 2, size - size / 2).flush();
  }
  ASSERT_TRUE(eventually([&] { return lineCount(record) == 5; })) << watch.output();
  writeFile("whole.tmp", camera);
  std::filesystem::rename(dir_ / "whole.tmp", dir_ / "line/broken.sim");
  // Unplugged and plugged in again: burned again.
  std::filesystem::remove(dir_ / "line/first.sim");
  std::this_thread::sleep_for(300ms);
  writeFile("line/first.sim", camera);
  ASSERT_TRUE(eventually([&] { return lineCount(record) == 7; })) << watch.output();
  std::this_thread::sleep_for(300ms);  // several polls with the burned cameras still there
  watch.signal(SIGINT);
  EXPECT_EQ(watch.wait(), 3) << watch.output();  // the worst: a camera that could not be opened

  std::map<std::string, std::vector<std::string>> results;
  for (const auto& r : readRecords(record)) {
    const std::string device = r["device"];
    results[device.substr(device.rfind('/') + 1)].push_back(r["result"]);
    if (device.find("pulled.sim") != std::string::npos) {
      EXPECT_NE(r["error"].get<std::string>().find("unplugged"), std::string::npos);
      EXPECT_EQ(r["advice"],
                "The camera was unplugged while burning. Plug it in and burn again; do not use it before that.");
    } else if (r["result"] == "passed") {
      EXPECT_TRUE(r["advice"].is_null()) << device;
    }
  }
  using Results = std::vector<std::string>;
  EXPECT_EQ(results["first.sim?latency-us=50"], (Results{"passed", "passed"}));
  EXPECT_EQ(results["second.sim?latency-us=50"], (Results{"passed"}));
  EXPECT_EQ(results["pulled.sim?latency-us=50"], (Results{"failed"}));
  EXPECT_EQ(results["half.sim?latency-us=50"], (Results{"passed"}));
  EXPECT_EQ(results["broken.sim?latency-us=50"], (Results{"unavailable", "passed"}));
  EXPECT_TRUE(holdsImage("sim:" + (dir_ / "line/second.sim").string(), image));
  EXPECT_NE(watch.output().find("passed 5, failed 2"), std::string::npos) << watch.output();
}

}  // namespace
}  // namespace emberline::test
