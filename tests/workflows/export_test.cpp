// The ROM export: the version-derived name and its fallbacks, the content,
// and that a failed export never leaves a damaged file behind.

#include <gmock/gmock.h>

#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

class ExportTest : public SessionTest {
 protected:
  ExportTest() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir.path());
  }
  ~ExportTest() override { std::filesystem::current_path(previous_); }

  std::vector<std::string> filesInDir() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::filesystem::path previous_;
};

TEST_F(ExportTest, WritesTheFlashUnderTheVersionDerivedName) {
  camera->setFlash(patternImage());
  std::filesystem::path written;
  ASSERT_EQ(session.ExportRom({}, &written), 1);

  const std::string name = "QR5X-EM1234567-A-V261206_12_00-20261206.src";
  EXPECT_EQ(written, name);
  EXPECT_THAT(ui.outline(), ElementsAre("status 112", "text 1013 " + name, "range 1003 0..13106"));
  EXPECT_EQ(ui.positions(kCtlProgressData).back(), 0x1FFF0 / 10);
  auto expected = patternImage();
  std::fill(expected.end() - 8, expected.end(), 0xFF);  // never read
  EXPECT_EQ(readFile(dir / name), expected);
  EXPECT_THAT(filesInDir(), ElementsAre(name));
  EXPECT_EQ(session.highBankFlag(), 0);
}

TEST_F(ExportTest, FallsBackToTheDefaultName) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
  };
  const Case cases[] = {
      {"a full stop in a field", [&] { camera->setMemory(7, 0x1E00, std::vector<std::uint8_t>{'.'}); }},
      {"chip id unreadable", [&] { camera->setFaults(failRegisters({0x101F})); }},
      {"library cannot open", [&] { devices.setEnumerateError(-EIO); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    ui.events.clear();
    std::filesystem::path written;
    ASSERT_EQ(session.ExportRom({}, &written), 1);
    EXPECT_EQ(ui.outline().at(1), "text 1013 QorinAllRomFile.src");
    EXPECT_EQ(written, "QorinAllRomFile.src");
    EXPECT_THAT(filesInDir(), ElementsAre("QorinAllRomFile.src"));
    std::filesystem::remove(dir / "QorinAllRomFile.src");
    camera->setFaults({});
    devices.setEnumerateError(0);
  }
}

TEST_F(ExportTest, AFailedExportLeavesAnExistingFileAsItWas) {
  const auto target = dir / "out.src";
  const std::vector<std::uint8_t> old(100, 0x42);
  writeFile(target, old);
  at([](const UiEvent& e) { return e.kind == UiEvent::Kind::Pos && e.a == 5000; },
     [&] { camera->setFaults(vanishAfter(0)); });

  EXPECT_EQ(session.ExportRom(target), 0);
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_THAT(ui.messages()[0], StartsWith("Read Flash Failed at 0x0C350!"));
  EXPECT_EQ(readFile(target), old);
  EXPECT_THAT(filesInDir(), ElementsAre("out.src"));
  EXPECT_EQ(session.highBankFlag(), 0);
}

TEST_F(ExportTest, AnExistingFileIsReplacedWhole) {
  const auto target = dir / "out.src";
  writeFile(target, std::vector<std::uint8_t>(200000, 0x42));
  ASSERT_EQ(session.ExportRom(target), 1);
  EXPECT_EQ(readFile(target).size(), kImageSize);
  EXPECT_THAT(filesInDir(), ElementsAre("out.src"));
}

TEST_F(ExportTest, AFileThatCannotBeCreatedFailsBeforeReading) {
  camera->clearTraffic();
  EXPECT_EQ(session.ExportRom(dir / "no-such-folder" / "out.src"), 0);
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_THAT(ui.messages()[0], StartsWith("Can't Create File"));
  EXPECT_TRUE(camera->traffic().empty());
}

}  // namespace
}  // namespace emberline::workflows::testing
