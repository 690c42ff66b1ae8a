// The built `emberline` when things go wrong around it: signals in the
// middle of a burn, outputs that cannot be written, outputs that name an
// input, and --json on every path.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include "cli_fixture.h"
#include "version/version.h"

namespace emberline::test {
namespace {

constexpr int kNobody = 65534;

// Every line of a trace file is a whole JSON object.
void expectCompleteTrace(const std::filesystem::path& trace) {
  std::ifstream in(trace);
  std::string line;
  int lines = 0;
  while (std::getline(in, line)) {
    ++lines;
    EXPECT_TRUE(nlohmann::json::parse(line, nullptr, false).is_object()) << "line " << lines << ": " << line;
  }
  EXPECT_GT(lines, 100);
}

TEST_F(CliTest, ASignalStopsABurnBetweenRequestsAndSaysWhatItLeft) {
  const auto old_image = writeFile("old.src", sampleImage(1));
  const auto image_bytes = sampleImage();
  const auto image = writeFile("image.src", image_bytes);
  const struct {
    int signal;
    int exit_code;
  } cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.signal);
    const std::string name = "camera" + std::to_string(c.signal) + ".sim";
    const std::string sim = makeSim(name);
    ASSERT_EQ(run({"--device", sim, "burn", old_image.string()}).exit_code, 0);
    const auto trace = dir_ / (name + ".jsonl");
    ProcessOptions options;
    options.signal = c.signal;
    options.signal_after = "\nBurning\n";  // the programming stage has begun
    const auto result = run({"--json", "--device", sim + "?latency-us=150", "--trace", trace.string(), "burn",
                             image.string()},
                            options);
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    const auto doc = nlohmann::json::parse(result.out, nullptr, false);
    ASSERT_TRUE(doc.is_object()) << "exactly one JSON object:\n" << result.out;
    EXPECT_EQ(doc["outcome"], "interrupted");
    EXPECT_EQ(doc["exit_code"], c.exit_code);
    const std::string error = doc["error"];
    const std::string stage = "Interrupted during \"Burning\" at flash offset 0x";
    const auto at = error.find(stage);
    ASSERT_NE(at, std::string::npos) << error;
    EXPECT_NE(error.find("burn again before unplugging the camera"), std::string::npos) << error;
    EXPECT_NE(result.err.find(error), std::string::npos) << "the user sees it too";
    expectCompleteTrace(trace);

    // The camera was saved exactly as far as the burn went: the new image
    // up to the offset named, erased from there on.
    const std::size_t stopped = std::stoul(error.substr(at + stage.size(), 5), nullptr, 16);
    ASSERT_EQ(run({"--device", sim, "export", name + ".back"}).exit_code, 0);
    const auto back = readFile(dir_ / (name + ".back"));
    ASSERT_EQ(back.size(), kImageBytes);
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + static_cast<std::ptrdiff_t>(stopped), image_bytes.begin()));
    EXPECT_TRUE(std::all_of(back.begin() + static_cast<std::ptrdiff_t>(stopped), back.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
  }
}

// A signal ends a run as the user means it: not when whoever started the
// program ignores it (nohup), at once when it comes a second time (of any
// kind), and also while an output waits for a FIFO's reader.
TEST_F(CliTest, SignalsEndARunAsTheUserMeansThem) {
  const std::string sim = makeSim();
  const auto image = writeFile("image.src", sampleImage()).string();
  std::filesystem::create_directory(dir_ / "line");
  makeSim("line/cam.sim");
  ASSERT_EQ(mkfifo((dir_ / "fifo.src").c_str(), 0600), 0);
  const struct {
    const char* what;
    std::vector<std::string> args;
    ProcessOptions options;
    int exit_code;
  } cases[] = {
      {"a hang-up under nohup", {"-d", sim + "?latency-us=150", "burn", image},
       {.signal = SIGHUP, .signal_after = "\nBurning\n", .ignored_signals = {SIGHUP}}, 0},
      // watch waits for the burn in flight after the first: the second ends it.
      {"an interrupt, then a termination", {"-d", "sim-dir:" + (dir_ / "line").string() + "?latency-us=300", "watch", image},
       {.signal = SIGINT, .signal_after = ": Burning\n", .second_signal = SIGTERM}, 128 + SIGTERM},
      {"an export into a FIFO nobody reads", {"-d", sim, "export", (dir_ / "fifo.src").string()},
       {.signal = SIGINT, .signal_after = "Exporting..."}, 130},
  };
  for (auto c : cases) {
    c.args.insert(c.args.begin(), "--json");  // human text on stderr, where the signal waits for it
    c.options.timeout_s = 60;
    const auto result = run(c.args, c.options);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.what << "\n" << result.err;
  }
}

TEST_F(CliTest, OutputsThatCannotBeWrittenFailTheRun) {
  const std::string sim = makeSim();
  const auto image = writeFile("image.src", sampleImage());
  ProcessOptions full;
  full.stdout_file = "/dev/full";
  const struct {
    std::vector<std::string> args;
    ProcessOptions options;
    std::string message;
  } cases[] = {
      {{"--device", sim, "version"}, full, "cannot write to standard output: No space left on device"},
      {{"--json", "--device", sim, "version"}, full, "cannot write to standard output: No space left on device"},
      {{"--help"}, full, "cannot write to standard output"},
      {{"--json", "--version"}, full, "cannot write to standard output"},
      {{"--device", sim, "--trace", "/dev/full", "version"}, {}, "cannot write the trace file /dev/full: No space left"},
      {{"--device", sim, "export", "/dev/full"}, {}, "Can't Write File /dev/full! No space left on device."},
  };
  for (const auto& c : cases) {
    const auto result = run(c.args, c.options);
    EXPECT_EQ(result.exit_code, 1) << c.args.back() << "\n" << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
  struct stat st {};
  ASSERT_EQ(stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode)) << "a device is written in place, never replaced";

  // A closed pipe does not kill the burn: it finishes, and the run says
  // that its output was lost.
  ProcessOptions closed;
  closed.close_stdout = true;
  const auto burn = run({"--device", sim, "burn", image.string()}, closed);
  EXPECT_EQ(burn.exit_code, 1);
  EXPECT_NE(burn.err.find("cannot write to standard output: Broken pipe"), std::string::npos) << burn.err;
  EXPECT_EQ(run({"--device", sim, "verify", image.string()}).exit_code, 0);

  // A pipe no path names, reached through /proc/self/fd, is written as a FIFO is.
  const auto piped = run({"--device", sim, "export", "/proc/self/fd/2"});
  EXPECT_EQ(piped.exit_code, 0) << piped.err;
  EXPECT_GE(piped.err.size(), kImageBytes);
}

TEST_F(CliTest, AnOutputNeverOverwritesAnInput) {
  const std::string sim = makeSim();
  const auto image = writeFile("image.src", sampleImage());
  std::filesystem::create_hard_link(image, dir_ / "hard.src");
  std::filesystem::create_symlink(image, dir_ / "link.src");
  const auto state_before = readFile(dir_ / "camera.sim");
  const std::string img = image.string();
  const std::string state = (dir_ / "camera.sim").string();
  const std::string table = "QR5X 0 0 0 0x10FC exact\n";
  writeFile("table.txt", {table.begin(), table.end()});
  const std::string named = "QR5X-EM1234567-A-V261206_12_00-20261206.src";  // the camera's export name
  const struct {
    std::vector<std::string> args;
    std::string first, second;
    std::string says = "are the same file";
  } cases[] = {
      {{"--device", sim, "burn", img, "--backup", img}, "IMAGE " + img, "--backup " + img},
      {{"--device", sim, "--trace", "link.src", "burn", img}, "IMAGE " + img, "--trace link.src"},
      {{"--device", sim, "burn", img, "--backup", "hard.src"}, "IMAGE " + img, "--backup hard.src"},
      {{"--device", sim, "export", state}, "FILE " + state, "the simulated camera " + state},
      {{"--device", sim, "--trace", "new.txt", "burn", img, "--backup", "./new.txt"}, "--backup ./new.txt",
       "--trace new.txt"},
      // A station's record file is appended to: never the image or a camera's file.
      {{"--device", sim, "burn", img, "--record", "hard.src"}, "IMAGE " + img, "--record hard.src"},
      {{"--device", sim, "erase", "--record", state}, "--record " + state, "the simulated camera " + state},
      {{"--device", "sim-dir:" + dir_.string(), "watch", img, "--record", "link.src"}, "IMAGE " + img,
       "--record link.src"},
      // ... nor a file the watched folder would take for a camera, existing or new.
      {{"--device", "sim-dir:" + dir_.string(), "watch", img, "--record", "camera.sim"}, "--record camera.sim",
       "sim-dir:" + dir_.string(), "would be a camera"},
      {{"--device", "sim-dir:.", "watch", img, "--record", (dir_ / "new.sim").string()}, "new.sim", "sim-dir:.",
       "would be a camera"},
      // The ROM tag table is an input too; the export's own name is checked once the camera gave it.
      {{"--device", sim, "--rom-tag-table", "table.txt", "burn", img, "--backup", "table.txt"}, "--backup table.txt",
       "--rom-tag-table table.txt"},
      {{"--device", sim, "--trace", named, "export"}, "--trace " + named, "the export " + named},
      // Standard output carries the report.
      {{"--device", sim, "export", "/dev/stdout"}, "FILE /dev/stdout", "standard output", "is standard output"},
      {{"--device", sim, "--trace", "/dev/stdout", "version"}, "--trace /dev/stdout", "standard output",
       "is standard output"},
  };
  for (const auto& c : cases) {
    const auto result = run(c.args);
    EXPECT_EQ(result.exit_code, 2) << result.err;
    EXPECT_NE(result.err.find(c.first), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(c.second), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
  }
  EXPECT_EQ(readFile(image), sampleImage());
  EXPECT_EQ(readFile(dir_ / "table.txt"), std::vector<std::uint8_t>(table.begin(), table.end()));
  EXPECT_EQ(readFile(dir_ / "camera.sim"), state_before);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "new.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "new.sim"));
}

TEST_F(CliTest, JsonMeansOneObjectOnEveryPath) {
  const std::string sim = makeSim();
  const struct {
    std::vector<std::string> args;
    int exit_code;
  } cases[] = {
      {{"--json", "--help"}, 0},      {{"--json", "--version"}, 0},          {{"burn", "--help", "--json"}, 0},
      {{"--json=true", "burn"}, 2},   {{"--json", "frobnicate"}, 2},         {{"--json"}, 2},
      {{"--json", "--device", sim, "info"}, 0},
  };
  for (const auto& c : cases) {
    const auto result = run(c.args);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.args.back();
    const auto doc = nlohmann::json::parse(result.out, nullptr, false);
    ASSERT_TRUE(doc.is_object()) << c.args.back() << ": " << result.out;
    EXPECT_EQ(doc["exit_code"], c.exit_code);
    EXPECT_EQ(doc["program_version"], version::program()) << c.args.back();
  }
  EXPECT_EQ(run({"--version"}).out, "emberline " + std::string(version::program()) + "\n");
}

// The sim state cannot be written back: the burn happened on the camera
// object, but nothing may claim it was kept.
TEST_F(CliTest, AFailedSaveIsNoSuccess) {
  std::filesystem::create_directory(dir_ / "locked");
  std::filesystem::permissions(dir_, std::filesystem::perms(0755));
  const std::string sim = makeSim("locked/camera.sim");
  // Neither the folder nor the file takes a write (a folder that refuses
  // new files alone has the file written in place, as an export would be).
  std::filesystem::permissions(dir_ / "locked/camera.sim", std::filesystem::perms(0444));
  std::filesystem::permissions(dir_ / "locked", std::filesystem::perms(0555));
  const auto image = writeFile("image.src", sampleImage());
  std::filesystem::permissions(image, std::filesystem::perms(0644));
  const auto before = readFile(dir_ / "locked/camera.sim");

  ProcessOptions options;
  if (geteuid() == 0) options.uid = kNobody;  // root writes anywhere
  const auto result = run({"--device", sim, "burn", image.string()}, options);
  std::filesystem::permissions(dir_ / "locked", std::filesystem::perms(0755));
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_EQ(result.out.find("Burn Successes!"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Burn Failed!"), std::string::npos) << result.out;
  EXPECT_NE(result.err.find("cannot save the simulated camera"), std::string::npos) << result.err;
  EXPECT_EQ(readFile(dir_ / "locked/camera.sim"), before);
}

}  // namespace
}  // namespace emberline::test
