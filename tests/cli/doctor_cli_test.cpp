// emberline doctor and emberline sim from-trace as a user runs them: the
// report, the bundle, and cameras made from a trace and from a bundle.

#include <gtest/gtest.h>

#include <fstream>

#include "cli_fixture.h"

namespace emberline::test {
namespace {

std::vector<std::string> checkNames(const nlohmann::json& doc) {
  std::vector<std::string> names;
  for (const auto& check : doc["checks"]) names.push_back(check["name"]);
  return names;
}

std::string statusOf(const nlohmann::json& doc, const std::string& name) {
  for (const auto& check : doc["checks"])
    if (check["name"] == name) return check["status"];
  return "absent";
}

TEST_F(CliTest, DoctorExaminesASimulatedCameraAndWritesABundleThatMakesACamera) {
  const auto camera = makeSim("camera.sim", {"--chip-id", "0x32", "--field2", "EM-7654321"});
  const auto bundle = (dir_ / "report.json").string();
  const auto doc = runJson({"--device", camera, "doctor", "--bundle", bundle}, 0);
  EXPECT_EQ(checkNames(doc), (std::vector<std::string>{"camera", "camera_lock", "device_path", "extension_unit",
                                                       "control_lengths", "chip", "flash_part", "write_protection",
                                                       "version_text", "request_timing"}));
  for (const auto& check : doc["checks"]) EXPECT_EQ(check["status"], "ok") << check.dump();
  EXPECT_EQ(doc["bundle"], bundle);

  const auto written = nlohmann::json::parse(readFile(bundle), nullptr, false);
  ASSERT_TRUE(written.is_object());
  EXPECT_FALSE(written["program_version"].get<std::string>().empty());
  EXPECT_FALSE(written["platform"].get<std::string>().empty());
  EXPECT_EQ(written["checks"], doc["checks"]);
  ASSERT_GT(written["trace"].size(), 50u);
  EXPECT_EQ(written["trace"][0]["op"], "SUPPORT");

  // The bundle's trace is enough for a camera that answers as this one did.
  const auto made = (dir_ / "made.sim").string();
  ASSERT_EQ(run({"sim", "from-trace", bundle, made}).exit_code, 0);
  const auto original = runJson({"--device", camera, "version"}, 0);
  const auto copy = runJson({"--device", "sim:" + made, "version"}, 0);
  EXPECT_EQ(copy["chip_id"], 0x32);
  EXPECT_EQ(copy["version_text"], original["version_text"]);

  // An output never overwrites an input: the camera's own file is refused.
  const auto before = readFile(dir_ / "camera.sim");
  const auto refused = runJson({"--device", camera, "doctor", "--bundle", (dir_ / "camera.sim").string()}, 2);
  EXPECT_NE(refused["error"].get<std::string>().find("are the same file"), std::string::npos);
  EXPECT_EQ(readFile(dir_ / "camera.sim"), before);

  const auto chinese = run({"--lang", "zh_CN", "--device", camera, "doctor"});
  EXPECT_EQ(chinese.exit_code, 0);
  EXPECT_NE(chinese.out.find("[正常]"), std::string::npos) << chinese.out;
}

TEST_F(CliTest, DoctorWithoutACameraSaysWhatItFoundAndEndsWithStatus3) {
  const auto doc = runJson({"doctor"}, 3);
  EXPECT_EQ(statusOf(doc, "camera"), "failed");
  EXPECT_TRUE(doc["camera"].is_null());
#ifdef _WIN32
  EXPECT_EQ(statusOf(doc, "video_devices"), "failed");  // Wine lists no video-input device
#else
  EXPECT_EQ(statusOf(doc, "driver"), "failed");  // the staged /sys has no uvcvideo
  EXPECT_EQ(statusOf(doc, "video_nodes"), "failed");
#endif
}

TEST_F(CliTest, ATracedBurnMakesACameraThatVerifiesAndAReplayThatKnowsTheBurn) {
  // Blank but for its first 2 KB: a short burn.
  const auto shortImage = [](std::uint8_t seed) {
    auto image = sampleImage(seed);
    std::fill(image.begin() + 0x800, image.end(), std::uint8_t{0xFF});
    return image;
  };
  const auto camera = makeSim();
  const auto image = writeFile("image.src", shortImage(3));
  const auto trace = (dir_ / "burn.jsonl").string();
  ASSERT_EQ(run({"--device", camera, "--trace", trace, "burn", image.string()}).exit_code, 0);

  ASSERT_EQ(run({"sim", "from-trace", trace, (dir_ / "traced.sim").string()}).exit_code, 0);
  EXPECT_EQ(run({"--device", "sim:" + (dir_ / "traced.sim").string(), "verify", image.string()}).exit_code, 0);

  const auto replay = "sim:" + (dir_ / "replay.sim").string();
  ASSERT_EQ(run({"sim", "from-trace", "--replay", trace, (dir_ / "replay.sim").string()}).exit_code, 0);
  EXPECT_EQ(run({"--device", replay, "burn", image.string()}).exit_code, 0);
  const auto other = writeFile("other.src", shortImage(4));
  const auto failed = runJson({"--device", replay, "burn", other.string()}, 1);
  const std::string why = failed.value("device_error", "");
  EXPECT_NE(why.find("differs from " + (dir_ / "replay.sim").string() + ":"), std::string::npos) << failed.dump(2);
  EXPECT_NE(why.find("expected SET selector 3"), std::string::npos) << why;

  // A trace cut short, and a trace that would be overwritten, are refused.
  std::string text;
  {
    std::ifstream in(trace, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::ofstream(dir_ / "cut.jsonl", std::ios::binary) << text.substr(0, text.size() - 20);
  const auto cut = runJson({"sim", "from-trace", (dir_ / "cut.jsonl").string(), (dir_ / "cut.sim").string()}, 2);
  EXPECT_NE(cut["error"].get<std::string>().find("the last line is cut short"), std::string::npos) << cut.dump();
  const auto same = runJson({"sim", "from-trace", "--force", trace, trace}, 2);
  EXPECT_NE(same["error"].get<std::string>().find("are the same file"), std::string::npos);
}

}  // namespace
}  // namespace emberline::test
