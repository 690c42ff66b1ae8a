// The ROM export: the version-derived name and its fallbacks, the content,
// and that a failed export never leaves a damaged file behind.

#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

using ::testing::ElementsAre;

class ExportTest : public SessionTest {
 protected:
  ExportTest() : previous_(std::filesystem::current_path()) { std::filesystem::current_path(dir); }
  ~ExportTest() override { std::filesystem::current_path(previous_); }

  std::vector<std::string> files() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
    return out;
  }

 private:
  std::filesystem::path previous_;
};

// The version block is part of the flash: chip 0x33 keeps its tag at 0x01F3
// and its fields from 0x1E00.
TEST_F(ExportTest, WritesTheFlashUnderTheVersionDerivedName) {
  auto image = patternImage();
  const std::string tag = "QR5XA", fields = "2026-12-06EM-12345672612061200";
  std::copy(tag.begin(), tag.end(), image.begin() + 0x01F3);
  std::copy(fields.begin(), fields.end(), image.begin() + 0x1E00);
  camera->setFlash(image);
  std::filesystem::path written;
  ASSERT_EQ(session.ExportRom({}, &written), 1);

  const std::string name = "QR5X-EM1234567-A-V261206_12_00-20261206.src";
  EXPECT_EQ(written, name);
  EXPECT_THAT(ui.outline(), ElementsAre("status 112", "text 1013 " + name, "range 1003 0..13106"));
  EXPECT_EQ(ui.positions(kCtlProgressData).back(), 0x1FFF0 / 10);
  auto expected = image;
  std::fill(expected.end() - 8, expected.end(), 0xFF);  // never read
  EXPECT_EQ(readFile(dir / name), expected);
  EXPECT_THAT(files(), ElementsAre(name));
  EXPECT_EQ(session.highBankFlag(), 0);
}

TEST_F(ExportTest, FallsBackToTheDefaultName) {
  const std::function<void()> cases[] = {
      [&] { camera->setMemory(7, 0x1E00, std::vector<std::uint8_t>{'.'}); },  // not allowed in a name
      [&] { camera->setFaults(failRegisters({0x101F})); },                      // chip id unreadable
      [&] { devices.setEnumerateError(-EIO); },                                 // library cannot open
  };
  for (const auto& arrange : cases) {
    arrange();
    ui.events.clear();
    std::filesystem::path written;
    ASSERT_EQ(session.ExportRom({}, &written), 1);
    EXPECT_EQ(ui.events.at(1), "text 1013 QorinAllRomFile.src");
    EXPECT_EQ(written, "QorinAllRomFile.src");
    EXPECT_THAT(files(), ElementsAre("QorinAllRomFile.src"));
    std::filesystem::remove(dir / written);
    camera->setFaults({});
    devices.setEnumerateError(0);
  }
}

TEST_F(ExportTest, AnExistingFileIsReplacedWholeOrNotAtAll) {
  const auto target = dir / "out.src";
  const std::vector<std::uint8_t> old(200000, 0x42);
  writeFile(target, old);
  at("pos 1003 5000", [&] { camera->setFaults(vanishAfter(0)); });
  EXPECT_EQ(session.ExportRom(target), 0);
  EXPECT_THAT(ui.messages(), ElementsAre(::testing::StartsWith("Read Flash Failed at 0x0C350!")));
  EXPECT_EQ(readFile(target), old);
  EXPECT_THAT(files(), ElementsAre("out.src"));  // no temporary file left
  EXPECT_EQ(session.highBankFlag(), 0);

  camera->setFaults({});
  ui.on_event = nullptr;
  // Block reads and nothing else, for an export as for a verify: no register
  // is written, the SPI port is never taken, the camera is left as it was.
  const auto onlyBlockReads = [&] {
    const auto t = camera->traffic();
    return t.size() == 2u * (0x1FFF8 / 8) &&
           std::all_of(t.begin(), t.end(), [](const auto& r) { return r.selector == 3; });
  };
  camera->clearTraffic();
  ASSERT_EQ(session.ExportRom(target), 1);
  EXPECT_TRUE(onlyBlockReads());
  EXPECT_EQ(readFile(target).size(), kImageSize);
  EXPECT_THAT(files(), ElementsAre("out.src"));
  camera->clearTraffic();
  EXPECT_TRUE(session.VerifyImage(readFile(target)).matches);
  EXPECT_TRUE(onlyBlockReads());
}

TEST_F(ExportTest, AFileThatCannotBeCreatedFailsBeforeReading) {
  camera->clearTraffic();
  EXPECT_EQ(session.ExportRom(dir / "no-such-folder" / "out.src"), 0);
  EXPECT_THAT(ui.messages(), ElementsAre(::testing::StartsWith("Can't Create File")));
  EXPECT_TRUE(camera->traffic().empty());
}

}  // namespace
}  // namespace emberline::workflows::testing
