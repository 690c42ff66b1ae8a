// `emberline sim`: text options in bytes, faults kept in the state file, and
// commands that change nothing leaving the file alone.

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <fstream>
#include <iterator>

#include "cli_fixture.h"
#include "core/device/utf8_path.h"

namespace emberline::test {
namespace {

std::string statePath(const std::string& sim) { return sim.substr(4); }  // after "sim:"

TEST_F(CliTest, SimInitTakesAnyBytesUpToItsLimitsInBytes) {
#ifdef _WIN32
  GTEST_SKIP() << "a Windows command line is UTF-16 text: bytes that are no UTF-8 cannot be passed";
#endif
  const std::string path = (dir_ / "bytes.sim").string();
  const auto init = runJson({"sim", "init", path, "--tag", "\xFF\x01" "AB", "--field2", "EM\xC3(\x80", "--json"}, 0);
  EXPECT_EQ(init["tag"], "\\xFF\\x01AB\\x00");
  EXPECT_EQ(init["fields"][1], "EM\\xC3(\\x80\\x00\\x00\\x00\\x00\\x00");
  // The version shows the camera's own bytes, not Latin-1 letters made of them.
  const auto field = (dir_ / "field.sim").string();
  ASSERT_EQ(run({"sim", "init", field, "--field2", "EM\xC3(\x80"}).exit_code, 0);
  const auto version = run({"--device", "sim:" + field, "version"});
  EXPECT_NE(version.out.find("\nEM\\xC3(\\x80\n"), std::string::npos) << version.out;

  const auto too_long = run({"sim", "init", (dir_ / "long.sim").string(), "--tag", "\xC3\xA4\xC3\xA4\xC3\xA4"});
  EXPECT_EQ(too_long.exit_code, 2);
  EXPECT_NE(too_long.err.find("--tag takes at most 5 bytes, not 6"), std::string::npos) << too_long.err;
}

TEST_F(CliTest, FaultsAreKeptInTheStateFileShownAndCleared) {
  const std::string sim = makeSim();
  const std::string path = statePath(sim);
  const auto image = writeFile("image.src", sampleImage()).string();

  const auto set = runJson({"sim", "fault", path, "--refuse", "3:get", "--refuse-register", "0x5F5",
                            "--wrong-byte-at", "0x10000", "--json"}, 0);
  EXPECT_EQ(set["faults"]["refuse_selector_gets"], nlohmann::json::array({3}));
  const auto shown = runJson({"sim", "show", path, "--json"}, 0);
  EXPECT_EQ(shown["faults"]["refuse_registers"], nlohmann::json::array({0x5F5}));
  EXPECT_EQ(shown["faults"]["wrong_byte_at"], 0x10000);
  EXPECT_NE(run({"sim", "show", path}).out.find("Fault:           every GET of selector 3 fails"), std::string::npos);
  EXPECT_EQ(run({"--device", sim, "burn", image}).exit_code, 1);

  // Adding keeps what is there; --clear starts again.
  runJson({"sim", "fault", path, "--clear", "--unplug-after", "20", "--json"}, 0);
  EXPECT_EQ(runJson({"--device", sim, "burn", image, "--json"}, 1)["blocks_written"], 0);
  EXPECT_EQ(runJson({"sim", "fault", path, "--clear", "--json"}, 0)["faults"]["unplug_after"], nullptr);
  EXPECT_EQ(run({"--device", sim, "burn", image}).exit_code, 0);

  const std::vector<std::string> refused[] = {{"--refuse", "3:put"},
                                              {"--refuse", "0"},
                                              {"--slow-request", "4"},
                                              {"--slow-request", "4", "--slow-us", "1000001"},
                                              {"--fail-read-at", "-1"}};
  for (const auto& options : refused) {
    std::vector<std::string> args{"sim", "fault", path};
    args.insert(args.end(), options.begin(), options.end());
    EXPECT_EQ(run(args).exit_code, 2) << options[0];
  }
}

// The file's inode and modification time: a rewrite replaces the file.
std::pair<std::uint64_t, std::int64_t> identity(const std::string& path) {
#ifdef _WIN32
  // No inode to compare, and under Wine the modification time may move in
  // whole seconds: the content tells a rewrite that changed something.
  std::error_code ec;
  std::ifstream in(utf8Path(path), std::ios::binary);
  const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return {std::hash<std::string>{}(content),
          std::filesystem::last_write_time(utf8Path(path), ec).time_since_epoch().count()};
#else
  struct stat info {};
  ::stat(path.c_str(), &info);
  return {info.st_ino, static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
#endif
}

TEST_F(CliTest, CommandsThatChangeNothingLeaveTheStateFileAlone) {
  const std::string sim = makeSim();
  const std::string path = statePath(sim);
  const auto image = writeFile("image.src", sampleImage()).string();
  ASSERT_EQ(run({"--device", sim, "burn", image}).exit_code, 0);
  const auto before = identity(path);
  const std::vector<std::string> readers[] = {{"info"}, {"version"}, {"list"}, {"verify", image},
                                              {"export", (dir_ / "back.src").string()}};
  for (const auto& command : readers) {
    std::vector<std::string> args{"--device", sim};
    args.insert(args.end(), command.begin(), command.end());
    EXPECT_EQ(run(args).exit_code, 0) << command[0];
    EXPECT_EQ(identity(path), before) << command[0] << " rewrote the state file";
  }
  EXPECT_EQ(run({"--device", sim, "erase"}).exit_code, 0);
  EXPECT_NE(identity(path), before) << "an erase is kept";
}

// The version block is flash content: a burn brings the image's version.
TEST_F(CliTest, VersionAndExportNameFollowTheBurnedImage) {
  const std::string sim = makeSim();
  auto bytes = sampleImage();
  const std::string tag = "QR5XB", fields = "2026-01-02EM-00000422601021530";
  std::copy(tag.begin(), tag.end(), bytes.begin() + 0x01F3);
  std::copy(fields.begin(), fields.end(), bytes.begin() + 0x1E00);
  const auto image = writeFile("versioned.src", bytes).string();
  EXPECT_EQ(runJson({"--device", sim, "version", "--json"}, 0)["version_text"][0], "QR5XA");
  ASSERT_EQ(run({"--device", sim, "burn", image}).exit_code, 0);
  const auto version = runJson({"--device", sim, "version", "--json"}, 0);
  EXPECT_EQ(version["version_text"], nlohmann::json::array({"QR5XB", "EM-0000042", "2026-01-02", "2601021530"}));
  const auto exported = runJson({"--device", sim, "export", "--json"}, 0);
  EXPECT_EQ(exported["file"], "QR5X-EM0000042-B-V260102_15_30-20260102.src");
}

// The flash type code goes where the table given says; a bad table stops the
// command before it touches the camera.
#ifndef _WIN32
// A simulated camera is saved as an export is written: through a symbolic
// link, which stays, keeping the file's mode and owner; never over a FIFO.
TEST_F(CliTest, ACameraIsSavedAsAnExportIsWritten) {
  makeSim("real.sim");
  std::filesystem::create_symlink("real.sim", dir_ / "link.sim");
  std::filesystem::permissions(dir_ / "real.sim", std::filesystem::perms(0640));
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown((dir_ / "real.sim").c_str(), 65534, 65534), 0);
  }
  const auto image = writeFile("image.src", sampleImage()).string();
  const auto link = (dir_ / "link.sim").string();
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-d", "sim:" + link, "burn", image},
                                               {"sim", "fault", link, "--stuck-busy"},
                                               {"sim", "init", "--force", link}}) {
    const auto before = readFile(dir_ / "real.sim");
    ASSERT_EQ(run(args).exit_code, 0) << args[2];
    EXPECT_NE(readFile(dir_ / "real.sim"), before) << args[2];
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << args[2];
    struct stat st {};
    ASSERT_EQ(stat((dir_ / "real.sim").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << args[2];
    if (root) {
      EXPECT_EQ(st.st_uid, 65534u) << args[2];
    }
  }
  ASSERT_EQ(mkfifo((dir_ / "fifo.sim").c_str(), 0600), 0);
  const auto fifo = run({"sim", "init", "--force", (dir_ / "fifo.sim").string()});
  EXPECT_EQ(fifo.exit_code, 1);
  EXPECT_NE(fifo.err.find("is a FIFO, not a regular file"), std::string::npos) << fifo.err;
  EXPECT_EQ(std::filesystem::status(dir_ / "fifo.sim").type(), std::filesystem::file_type::fifo);
}
#endif

TEST_F(CliTest, ARomTagTableFromAFileReplacesOurs) {
  const std::string sim = makeSim();
  const auto image = writeFile("image.src", sampleImage()).string();
  const std::string table = "QR5X 0 0 0 0x1234 min\n";
  const auto table_file = writeFile("table.txt", std::vector<std::uint8_t>(table.begin(), table.end())).string();
  const auto shown = run({"--device", sim, "--trace", (dir_ / "trace.jsonl").string(), "--rom-tag-table",
                          table_file, "erase"});
  ASSERT_EQ(shown.exit_code, 0) << shown.err;
  std::ifstream trace(dir_ / "trace.jsonl");
  const std::string lines((std::istreambuf_iterator<char>(trace)), std::istreambuf_iterator<char>());
  EXPECT_NE(lines.find("\"payload\":\"3412"), std::string::npos) << "the SFType write to 0x1234";

  // Refused before the camera is touched: what is no table, and a table that
  // fails the self-check the built-in one passes (a register of the SPI port
  // or chip select would take the flash type).
  const std::pair<std::string, std::string> bad_tables[] = {{"QR\n", "line 1"},
                                                            {"QR5X 0 0 0 0x1080 min\n", "register is used elsewhere"},
                                                            {"QR5X 0 0 0 0x1091 min\n", "register is used elsewhere"}};
  const auto before = readFile(statePath(sim));
  for (const auto& [text, says] : bad_tables) {
    const auto bad_file = writeFile("bad.txt", {text.begin(), text.end()}).string();
    const auto bad = run({"--device", sim, "--rom-tag-table", bad_file, "burn", image});
    EXPECT_EQ(bad.exit_code, 2);
    EXPECT_NE(bad.err.find("--rom-tag-table " + bad_file + ": "), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find(says), std::string::npos) << bad.err;
  }
  EXPECT_EQ(readFile(statePath(sim)), before);
}

}  // namespace
}  // namespace emberline::test
