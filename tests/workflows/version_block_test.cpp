// The version text and the export name: layout, cutting at NUL, the name's
// character check, and that each reader reads its own place (model 0x16
// keeps the two apart).

#include <cstring>

#include "core/workflows/version_block.h"
#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

VersionBlock block(const char* tag, const char* f1, const char* f2, const char* f3) {
  VersionBlock b;
  const auto put = [](auto& field, const char* text) { std::memcpy(field.data(), text, std::min(field.size(), std::strlen(text))); };
  put(b.tag, tag);
  put(b.field1, f1);
  put(b.field2, f2);
  put(b.field3, f3);
  return b;
}

TEST(VersionText, FourLinesCutAtTheFirstNul) {
  EXPECT_EQ(formatVersionText(block("ABCDE", "2013-04-16", "AB-1234567", "1304161230")),
            "ABCDE\r\nAB-1234567\r\n2013-04-16\r\n1304161230");
  EXPECT_EQ(formatVersionText(block("ABCD", "2013-04-16", "AB-1234567", "1304161230")), "ABCD");
  EXPECT_EQ(formatVersionText(block("AB\xE9" "DE", "", "AB-12", "")), "AB\xC3\xA9" "DE\r\nAB-12");
}

TEST(ExportName, BuiltFromTheBlockOrRefused) {
  const std::pair<VersionBlock, std::optional<std::string>> cases[] = {
      {block("ABCDE", "2013-04-16", "AB-1234567", "1304161230"), "ABCD-AB1234567-E-V130416_12_30-20130416.src"},
      {block("ABCD", "2013-04-16", "AB-1234567", "1304161230"), "ABCD-AB1234567--V130416_12_30-20130416.src"},
      {block("ABCDE", "2013-04-16", "AB-1234567", "13041612"), "ABCD-AB1234567-E-V130416_12_-20130416.src"},
      {block("ABCDE", "2013.04.16", "AB-1234567", "1304161230"), std::nullopt},
      {block("ABCDE", "2013-04-16", "AB 1234567", "1304161230"), std::nullopt},
      {block("ABCDE", "2013-04", "AB-1234567", "1304161230"), std::nullopt},  // NUL padding
  };
  for (const auto& [b, name] : cases) EXPECT_EQ(exportNameFromBlock(b), name);
}

class VersionReaders : public SessionTest {
 protected:
  VersionReaders() : SessionTest([](auto& s) { s.chip_id = 0x16; }) {}
  void put(std::uint16_t address, const std::string& bytes) {
    camera->setMemory(7, address, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  }
};

TEST_F(VersionReaders, EachReadsItsOwnPlaceAndClosesTheLibrary) {
  put(0x0FD0, "2013-04-16AB-12345671304161230");
  put(0x0153, "TEXTA");
  put(0x3E00, "2014-05-17CD-76543211405171231");
  put(0x01F3, "NAMEB");
  EXPECT_EQ(session.FirmwareVersionText(), "TEXTA\r\nAB-1234567\r\n2013-04-16\r\n1304161230");
  EXPECT_FALSE(session.library().isOpen());
  std::string name = "prefix/";
  EXPECT_TRUE(session.BuildExportFileName(name));
  EXPECT_EQ(name, "prefix/NAME-CD7654321-B-V140517_12_31-20140517.src");
  EXPECT_FALSE(session.library().isOpen());
  EXPECT_THAT(ui.messages(), ::testing::IsEmpty());
}

TEST_F(VersionReaders, FailuresAreReportedNeverShownAsAVersion) {
  camera->setFaults(failSelectors({3}));  // memory reads refused
  std::string name;
  EXPECT_FALSE(session.BuildExportFileName(name));
  EXPECT_EQ(name, "");
  EXPECT_EQ(session.FirmwareVersionText(), std::nullopt);
  camera->setFaults({});
  devices.setEnumerateError(-EIO);
  EXPECT_EQ(session.FirmwareVersionText(), std::nullopt);
  EXPECT_THAT(ui.messages(), ::testing::ElementsAre(::testing::StartsWith("Read F/W Version Failed!"),
                                                    "Camera Init Failed!"));
}

TEST_F(VersionReaders, TheSessionsDecoderTurnsTheChipsBytesIntoTheText) {
  // The second field ends early: the text stops at its first NUL.
  put(0x0FD0, std::string("2013-04-16AB-\xB0\xE6\xB1\xBE\0\0\0", 20) + "1304161230");
  put(0x0153, "TEXTA");
  std::string seen;
  session.setNarrowTextDecoder([&seen](std::string_view bytes) {
    seen = bytes;
    return std::string("decoded");
  });
  EXPECT_EQ(session.FirmwareVersionText(), "decoded");
  EXPECT_EQ(seen, "TEXTA\r\nAB-\xB0\xE6\xB1\xBE");
}

// Table A of the F/W Version command, row by row: the three fields from base,
// the tag at its own address.
struct TableARow {
  std::uint8_t chip_id;
  std::uint16_t base, tag;
};
constexpr TableARow kTableA[] = {
    {0x16, 0x0FD0, 0x0153}, {0x23, 0x1E00, 0x01F3}, {0x25, 0x3E00, 0x01F3}, {0x32, 0x0FD0, 0x0153},
    {0x33, 0x1E00, 0x01F3}, {0x56, 0x3E00, 0x01F3}, {0x70, 0x3E05, 0x3E00}, {0x71, 0x3E05, 0x3E00},
    {0x76, 0x3FD0, 0x0153}, {0x83, 0x3E05, 0x3E00}, {0x90, 0x3E00, 0x0150},
};

class TableA : public SessionTest, public ::testing::WithParamInterface<TableARow> {
 protected:
  TableA() : SessionTest([](auto& s) { s.chip_id = GetParam().chip_id; }) {}
};

TEST_P(TableA, TheVersionQueryReadsTheChipsPlace) {
  const auto& row = GetParam();
  camera->setFlash(std::vector<std::uint8_t>(kImageSize, 0xFF));
  const std::string fields = "2013-04-16AB-12345671304161230", tag = "TAGXY";
  camera->setMemory(7, row.base, std::vector<std::uint8_t>(fields.begin(), fields.end()));
  camera->setMemory(7, row.tag, std::vector<std::uint8_t>(tag.begin(), tag.end()));
  EXPECT_EQ(session.FirmwareVersionText(), "TAGXY\r\nAB-1234567\r\n2013-04-16\r\n1304161230");
}

INSTANTIATE_TEST_SUITE_P(Rows, TableA, ::testing::ValuesIn(kTableA),
                         [](const auto& row) { return "chip" + std::to_string(row.param.chip_id); });

TEST(VersionQuery, AChipTableADoesNotListReadsNothing) {
  auto camera = std::make_shared<sim::SimCamera>(with<sim::SimSettings>([](auto& s) { s.chip_id = 0x42; }));
  camera->setTrafficLog(true);
  sim::SimDeviceList list;
  list.add(camera);
  RecordingUi ui;
  device::ManualClock clock;
  CameraSession session(list, ui, clock);
  session.setDiscoveryOutput([](std::string_view) {});
  ASSERT_EQ(session.DiscoverCamera(), 0);
  camera->clearTraffic();
  session.FirmwareVersionText();
  const auto traffic = camera->traffic();
  EXPECT_EQ(std::count_if(traffic.begin(), traffic.end(), [](const auto& r) { return r.selector == 3; }), 0);
}

}  // namespace
}  // namespace emberline::workflows::testing
