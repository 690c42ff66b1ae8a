// The built `emberline` against simulated cameras in temporary folders.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "cli_fixture.h"
#include "core/workflows/strings.h"
#include "core/workflows/ui_port.h"

namespace emberline::test {
namespace {

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

TEST_F(CliTest, ExitStatusFollowsTheKindOfFailure) {
  const std::string sim = makeSim();
  const std::string small = makeSim("small.sim", {"--flash-size", "65536"});
  const auto image = writeFile("image.src", sampleImage());
  auto short_image = sampleImage();
  short_image.resize(kImageBytes - 1);
  writeFile("short.src", short_image);
  auto unsigned_image = sampleImage();
  unsigned_image[3] = 'Y';
  writeFile("unsigned.src", unsigned_image);
  writeFile("damaged.sim", {'n', 'o', 't', ' ', 'a', ' ', 's', 'i', 'm'});

  struct Case {
    const char* what;
    std::vector<std::string> args;
    int exit_code;
  };
  const Case cases[] = {
      {"no command", {}, 2},
      {"unknown command", {"frobnicate"}, 2},
      {"burn without an image", {"burn"}, 2},
      {"missing image", {"--device", "{sim}", "burn", "{dir}/missing.src"}, 2},
      {"image one byte short", {"--device", "{sim}", "burn", "{dir}/short.src"}, 2},
      {"image without the signature", {"--device", "{sim}", "burn", "{dir}/unsigned.src"}, 2},
      {"unknown verify mode", {"--device", "{sim}", "burn", "{image}", "--verify", "half"}, 2},
      {"device that is no device", {"--device", "video2", "info"}, 2},
      {"unknown language", {"--device", "{sim}", "--lang", "fr", "info"}, 2},
      {"no camera anywhere", {"info"}, 3},
      {"no camera to list", {"list"}, 3},
      {"index past the list", {"--device", "4", "info"}, 3},
      {"index equal to the number of devices", {"--device", "0", "info"}, 3},
      {"index past any number", {"--device", "99999999999999999999", "info"}, 3},
      {"simulator file missing", {"--device", "sim:{dir}/nothing.sim", "info"}, 3},
      {"simulator file damaged", {"--device", "sim:{dir}/damaged.sim", "info"}, 3},
      {"flash smaller than the image", {"--device", "{small}", "burn", "{image}"}, 1},
      // An output that cannot be written is an operation that failed, whichever output.
      {"trace in a missing folder", {"--device", "{sim}", "--trace", "{dir}/no/t.jsonl", "version"}, 1},
      {"record in a missing folder", {"--device", "{sim}", "erase", "--record", "{dir}/no/r.jsonl"}, 1},
      {"simulated camera in a missing folder", {"sim", "init", "{dir}/no/c.sim"}, 1},
      {"export in a missing folder", {"--device", "{sim}", "export", "{dir}/no/e.src"}, 1},
      {"good info", {"--device", "{sim}", "info"}, 0},
      {"options after the command", {"info", "--device", "{sim}"}, 0},
#ifdef __linux__
      {"udev rule", {"udev-rule"}, 0},
#else
      {"udev rule, a Linux matter", {"udev-rule"}, 2},
#endif
  };
  for (const auto& c : cases) {
    std::vector<std::string> args;
    for (auto a : c.args) {
      a = replaceAll(a, "{sim}", sim);
      a = replaceAll(a, "{small}", small);
      a = replaceAll(a, "{image}", image.string());
      args.push_back(replaceAll(a, "{dir}", dir_.string()));
    }
    const auto result = run(args);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.what << "\nstdout: " << result.out << "\nstderr: " << result.err;
    if (c.exit_code != 0) {
      // A script reads the reason from the last line of stderr.
      const auto last = result.err.rfind('\n', result.err.size() - 2);
      EXPECT_TRUE(result.err.substr(last + 1).starts_with("emberline: ")) << c.what << ": " << result.err;
    }
  }
}

TEST_F(CliTest, BurnThenExportGivesTheImageBack) {
  const std::string sim = makeSim();
  auto image = sampleImage();
  const std::string block = "2026-11-30EM-76543212611301745";  // the version fields, where chip 0x33 keeps them
  std::copy(block.begin(), block.end(), image.begin() + 0x1E00);
  std::copy_n("QR5XS", 5, image.begin() + 0x01F3);
  const auto image_path = writeFile("image.src", image);

  const auto burn = run({"--device", sim, "burn", image_path.string()});
  ASSERT_EQ(burn.exit_code, 0) << burn.err;
  EXPECT_NE(burn.out.find("Burn Successes!"), std::string::npos) << burn.out;
  EXPECT_NE(burn.out.find("Verify: OK!"), std::string::npos) << "plain stage lines when not a terminal";
  // The image it burned, named as `version` reads it back from the camera.
  const auto version = runJson({"--device", sim, "version"}, 0);
  EXPECT_EQ(version["version_text"], nlohmann::json({"QR5XS", "EM-7654321", "2026-11-30", "2611301745"}));
  EXPECT_EQ(burn.out.rfind("Image: QR5XS EM-7654321 2026-11-30 2611301745  SHA-256 ", 0), 0u) << burn.out;

  // A second command on the same file sees what the first one left.
  const auto exported = run({"--device", sim, "export", "back.src"});
  ASSERT_EQ(exported.exit_code, 0) << exported.err;
  const auto back = readFile(dir_ / "back.src");
  ASSERT_EQ(back.size(), kImageBytes);
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + kProgrammedBytes, back.begin()));
  EXPECT_TRUE(std::all_of(back.begin() + kProgrammedBytes, back.end(), [](auto b) { return b == 0xFF; }));

  EXPECT_EQ(run({"--device", sim, "verify", image_path.string()}).exit_code, 0);
  auto changed = image;
  changed[0x4003] ^= 0x01;
  const auto changed_path = writeFile("changed.src", changed);
  const auto doc = runJson({"--device", sim, "verify", changed_path.string()}, 1);
  EXPECT_EQ(doc["matches"], false);
  EXPECT_EQ(doc["first_difference"], 0x4003);
}

TEST_F(CliTest, BurnReportsInJson) {
  const std::string sim = makeSim();
  const auto image = writeFile("image.src", sampleImage());
  const auto result = run({"--json", "--device", sim, "burn", image.string(), "--verify", "full"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const auto doc = nlohmann::json::parse(result.out);  // nothing else on stdout
  EXPECT_EQ(doc["command"], "burn");
  EXPECT_EQ(doc["ok"], true);
  EXPECT_EQ(doc["exit_code"], 0);
  EXPECT_EQ(doc["result"], "Burn Successes!");
  EXPECT_EQ(doc["verify"], "full");
  EXPECT_EQ(doc["device"]["path"], sim);
  // The image's blank stretches: 0x8000-0x8FFF (512 blocks) and the block at 0x10000.
  EXPECT_EQ(doc["blocks_skipped"], 513);
  EXPECT_EQ(doc["blocks_written"], 16383 - 513);
  EXPECT_TRUE(doc["first_difference"].is_null());
  const std::vector<std::string> stages = doc["stages"];
  EXPECT_EQ(stages, (std::vector<std::string>{"Erase and Check", "Erase and Check: OK!", "Burning",
                                              "Burning: OK!", "Verify", "Verify: OK!"}));
  EXPECT_TRUE(doc["messages"].empty());
  // The human text went to stderr.
  EXPECT_NE(result.err.find("Burn Successes!"), std::string::npos);
}

TEST_F(CliTest, FailuresReportInJsonToo) {
  const auto doc = runJson({"info"}, 3);
  EXPECT_EQ(doc["ok"], false);
  EXPECT_EQ(doc["outcome"], "no-camera");
  EXPECT_NE(doc["error"].get<std::string>().find("searched"), std::string::npos);

  const auto usage = runJson({"burn"}, 2);
  EXPECT_EQ(usage["command"], "burn");
  EXPECT_EQ(usage["outcome"], "usage");

  const std::string small = makeSim("small.sim", {"--flash-size", "65536"});
  const auto image = writeFile("image.src", sampleImage());
  const auto burn = runJson({"--device", small, "burn", image.string()}, 1);
  EXPECT_EQ(burn["result"], "Burn Failed!");
  ASSERT_FALSE(burn["messages"].empty());
  EXPECT_EQ(burn["error"], burn["messages"][0]);
}

TEST_F(CliTest, InfoListAndVersionDescribeTheCamera) {
  const std::string sim = makeSim("camera.sim", {"--chip-id", "0x23", "--flash", "winbond", "--tag", "QR5XB"});
  const auto info = runJson({"--device", sim, "info"}, 0);
  EXPECT_EQ(info["chip_id"], 0x23);
  EXPECT_EQ(info["device_kind"], 23);
  EXPECT_EQ(info["flash"]["id"], "EF:30:10");
  EXPECT_GT(info["flash"]["catalogue_entry"].get<int>(), 0);
  EXPECT_EQ(info["sf_type"], 7);
  ASSERT_EQ(info["version_text"].size(), 4u);
  EXPECT_EQ(info["version_text"][0], "QR5XB");

  const auto list = runJson({"--device", sim, "list"}, 0);
  ASSERT_EQ(list["devices"].size(), 1u);
  EXPECT_EQ(list["devices"][0]["index"], 0);
  EXPECT_EQ(list["devices"][0]["vendor_unit"], true);
  EXPECT_EQ(list["devices"][0]["chip_id"], 0x23);

  const auto version = run({"--device", sim, "version"});
  ASSERT_EQ(version.exit_code, 0) << version.err;
  EXPECT_EQ(version.out, "QR5XB\nEM-1234567\n2026-12-06\n2612061200\n");
}

TEST_F(CliTest, TraceHasOneJsonLinePerRequest) {
  const std::string sim = makeSim();
  const auto trace = dir_ / "trace.jsonl";
  ASSERT_EQ(run({"--device", sim, "--trace", trace.string(), "version"}).exit_code, 0);
  std::ifstream in(trace);
  std::string line;
  int lines = 0;
  bool chip_id_read = false;
  while (std::getline(in, line)) {
    ++lines;
    const auto j = nlohmann::json::parse(line, nullptr, false);
    ASSERT_TRUE(j.is_object()) << line;
    EXPECT_TRUE(j["op"] == "SET" || j["op"] == "GET" || (j["op"] == "SUPPORT" && j["selector"] == 0)) << line;
    EXPECT_EQ(j["payload"].get<std::string>().find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_TRUE(j["result"].is_number_integer());
    EXPECT_TRUE(j["time_us"].is_number_integer());
    // The chip-id request: register 0x101F through selector 1.
    if (j["selector"] == 1 && j["op"] == "SET" && j["payload"].get<std::string>().find("1f10") == 0)
      chip_id_read = true;
  }
  EXPECT_GT(lines, 10);
  EXPECT_TRUE(chip_id_read);
}

TEST_F(CliTest, EraseAndBackup) {
  const std::string sim = makeSim();
  const auto first = sampleImage(7);
  const auto second = sampleImage(99);
  const auto first_path = writeFile("first.src", first);
  const auto second_path = writeFile("second.src", second);
  ASSERT_EQ(run({"--device", sim, "burn", first_path.string()}).exit_code, 0);

  // A backup that cannot be written stops the burn before the flash is touched.
  const auto refused = run({"--device", sim, "burn", second_path.string(), "--backup", (dir_ / "no/such/dir.src").string()});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(run({"--device", sim, "verify", first_path.string()}).exit_code, 0);

  const auto burn = run({"--device", sim, "burn", second_path.string(), "--backup", "backup.src"});
  ASSERT_EQ(burn.exit_code, 0) << burn.err;
  const auto backup = readFile(dir_ / "backup.src");
  ASSERT_EQ(backup.size(), kImageBytes);
  EXPECT_TRUE(std::equal(first.begin(), first.begin() + kProgrammedBytes, backup.begin()));

  const auto erase = run({"--device", sim, "erase"});
  ASSERT_EQ(erase.exit_code, 0) << erase.err;
  EXPECT_NE(erase.out.find("Flash Erase Successes!"), std::string::npos);
  const auto shown = runJson({"sim", "show", (dir_ / "camera.sim").string()}, 0);
  EXPECT_EQ(shown["flash_bytes_not_ff"], 0);
}

TEST_F(CliTest, ExportWithoutFileUsesTheVersionName) {
  const std::string sim = makeSim();
  const auto doc = runJson({"--device", sim, "export"}, 0);
  const std::filesystem::path file = doc["file"].get<std::string>();
  EXPECT_EQ(file.extension(), ".src");
  EXPECT_EQ(file.filename().string().rfind("QR5X-", 0), 0u) << file;
  EXPECT_EQ(std::filesystem::file_size(dir_ / file.filename()), kImageBytes);
  EXPECT_EQ(doc["result"], "Export Rom Successes!");
}

TEST_F(CliTest, StatusTextsAndStageNamesFollowTheLanguage) {
  const std::string sim = makeSim();
  const auto image = writeFile("image.src", sampleImage());
  const auto doc = runJson({"--lang", "zh_CN", "--device", sim, "burn", image.string()}, 0);
  EXPECT_EQ(doc["result"], std::string(workflows::loadString(workflows::Language::SimplifiedChinese,
                                                             workflows::kStrBurnSucceeded)));
  EXPECT_NE(doc["result"], "Burn Successes!");
  // The stages as the Chinese dialog names them.
  EXPECT_EQ(doc["stages"], nlohmann::json({"擦除", "擦除: OK!", "烧录", "烧录: OK!", "校验", "校验: OK!"}));
  const auto text = run({"--lang", "zh_CN", "--device", sim, "burn", image.string()});
  ASSERT_EQ(text.exit_code, 0) << text.err;
  for (const char* line : {"\n擦除\n", "\n烧录: OK!\n", "\n校验: OK!\n"})
    EXPECT_NE(text.out.find(line), std::string::npos) << text.out;
  EXPECT_EQ(text.out.find("Erase and Check"), std::string::npos) << text.out;
}

// The common options may stand before the command, after it, or after its
// arguments, for every command.
TEST_F(CliTest, CommonOptionsStandAnywhere) {
  const std::string sim = makeSim();
  const auto image = writeFile("image.src", sampleImage()).string();
  const auto state = (dir_ / "camera.sim").string();
  const struct {
    std::vector<std::string> command;
    std::size_t words;  // of the command's name ("sim show": 2)
    std::string device;
    int exit_code;
  } cases[] = {
      {{"info"}, 1, sim, 0},
      {{"version"}, 1, sim, 0},
      {{"list"}, 1, sim, 0},
      {{"burn", image}, 1, sim, 0},
      {{"verify", image}, 1, sim, 0},
      {{"erase"}, 1, sim, 0},
      {{"export", "out.src"}, 1, sim, 0},
      {{"sim", "show", state}, 2, sim, 0},
      {{"sim", "fault", state, "--clear"}, 2, sim, 0},
      {{"sim", "init", "--force", state}, 2, sim, 0},
      // Parsed whole: it fails on the folder it was given, not for want of an image.
      {{"watch", image}, 1, "sim-dir:" + (dir_ / "none").string(), 2},
#ifdef __linux__
      {{"udev-rule"}, 1, sim, 0},
#endif
  };
  for (const auto& c : cases) {
    // An option that takes a value last: it must not take the argument after it.
    const std::vector<std::string> common = {"--json", "--lang", "en", "-d", c.device};
    for (std::size_t at : {std::size_t{0}, c.words, c.command.size()}) {
      auto args = c.command;
      args.insert(args.begin() + static_cast<std::ptrdiff_t>(at), common.begin(), common.end());
      const auto result = run(args);
      EXPECT_EQ(result.exit_code, c.exit_code) << ::testing::PrintToString(args) << "\n" << result.err;
      const auto doc = nlohmann::json::parse(result.out, nullptr, false);
      ASSERT_TRUE(doc.is_object()) << ::testing::PrintToString(args) << ": " << result.out;
      EXPECT_EQ(doc.value("error", "").find("required"), std::string::npos) << doc.dump();
    }
  }
}

TEST_F(CliTest, SimInitValidatesAndShowReadsBack) {
  const auto path = (dir_ / "camera.sim").string();
  EXPECT_EQ(run({"sim", "init", path, "--flash", "C2:20"}).exit_code, 2);
  EXPECT_EQ(run({"sim", "init", path, "--flash-size", "100000"}).exit_code, 2);
  EXPECT_EQ(run({"sim", "init", path, "--tag", "TOOLONG"}).exit_code, 2);
  EXPECT_EQ(run({"sim", "init", path, "--kind", "5"}).exit_code, 2);
  // A flash busy for 10,000 polls would fail every erase: the host gives up there.
  EXPECT_EQ(run({"sim", "init", path, "--erase-busy-polls", "10000"}).exit_code, 2);
  EXPECT_FALSE(std::filesystem::exists(path)) << "a refused init writes nothing";

  makeSim("camera.sim", {"--chip-id", "51", "--flash", "ef:30:10", "--mode-byte", "0x02", "--field1", "2024-01-02"});
  EXPECT_EQ(run({"sim", "init", path}).exit_code, 2) << "an existing camera is kept";
  const auto shown = runJson({"sim", "show", path}, 0);
  EXPECT_EQ(shown["chip_id"], 51);
  EXPECT_EQ(shown["flash_id"], "EF:30:10");
  EXPECT_EQ(shown["mode_byte"], 2);
  EXPECT_EQ(shown["fields"][0], "2024-01-02");
  EXPECT_EQ(shown["flash_bytes_not_ff"], 36) << "only the version block and the configuration byte";
  EXPECT_EQ(run({"sim", "init", path, "--force"}).exit_code, 0);

  writeFile("damaged.sim", {0x00, 0x01});
  EXPECT_EQ(run({"sim", "show", (dir_ / "damaged.sim").string()}).exit_code, 3);
}

}  // namespace
}  // namespace emberline::test
