// The version text and the export name: layout, cutting at NUL, the name's
// character check, and which addresses each reader uses per model.

#include <gmock/gmock.h>

#include <cstring>

#include "core/workflows/version_block.h"
#include "workflows/session_fixture.h"

namespace emberline::workflows::testing {
namespace {

VersionBlock block(const char* tag, const char* f1, const char* f2, const char* f3) {
  VersionBlock b;
  std::memcpy(b.tag.data(), tag, std::min<std::size_t>(5, std::strlen(tag)));
  std::memcpy(b.field1.data(), f1, std::min<std::size_t>(10, std::strlen(f1)));
  std::memcpy(b.field2.data(), f2, std::min<std::size_t>(10, std::strlen(f2)));
  std::memcpy(b.field3.data(), f3, std::min<std::size_t>(10, std::strlen(f3)));
  return b;
}

const VersionBlock kExample = block("ABCDE", "2013-04-16", "AB-1234567", "1304161230");

TEST(VersionText, FourLinesCutAtTheFirstNul) {
  EXPECT_EQ(formatVersionText(kExample), "ABCDE\r\nAB-1234567\r\n2013-04-16\r\n1304161230");
  EXPECT_EQ(formatVersionText(block("ABCD", "2013-04-16", "AB-1234567", "1304161230")), "ABCD");
  EXPECT_EQ(formatVersionText(block("ABCDE", "2013-04-16", "AB-12", "1304161230")), "ABCDE\r\nAB-12");
  EXPECT_EQ(formatVersionText(block("AB\xE9" "DE", "", "", "")), "AB\xC3\xA9" "DE\r\n");
}

TEST(ExportName, BuiltFromTheBlockOrRefused) {
  const struct {
    VersionBlock block;
    std::optional<std::string> name;
  } cases[] = {
      {kExample, "ABCD-AB1234567-E-V130416_12_30-20130416.src"},
      {block("ABCD", "2013-04-16", "AB-1234567", "1304161230"), "ABCD-AB1234567--V130416_12_30-20130416.src"},
      {block("ABCDE", "2013-04-16", "AB-1234567", "13041612"), "ABCD-AB1234567-E-V130416_12_-20130416.src"},
      {block("ABCDE", "2013.04.16", "AB-1234567", "1304161230"), std::nullopt},
      {block("ABCDE", "2013-04-16", "AB 1234567", "1304161230"), std::nullopt},
      {block("ABCDE", "2013-04", "AB-1234567", "1304161230"), std::nullopt},  // NUL padding
  };
  for (const auto& c : cases) EXPECT_EQ(exportNameFromBlock(c.block), c.name);
}

TEST(VersionBlockAddresses, TablesOfBothReaders) {
  const struct {
    std::uint8_t chip;
    std::optional<std::pair<int, int>> text;
    std::pair<int, int> name;
  } cases[] = {
      {0x16, {{0x0FD0, 0x0153}}, {0x3E00, 0x01F3}}, {0x25, {{0x3E00, 0x01F3}}, {0x3E00, 0x01F3}},
      {0x33, {{0x1E00, 0x01F3}}, {0x1E00, 0x01F3}}, {0x70, {{0x3E05, 0x3E00}}, {0x0FD0, 0x0153}},
      {0x76, {{0x3FD0, 0x0153}}, {0x0FD0, 0x0153}}, {0x90, {{0x3E00, 0x0150}}, {0x0FD0, 0x0153}},
      {0x42, std::nullopt, {0x0FD0, 0x0153}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.chip));
    const auto text = versionTextAddresses(c.chip);
    ASSERT_EQ(text.has_value(), c.text.has_value());
    if (text) {
      EXPECT_EQ((std::pair<int, int>(text->base, text->tag)), *c.text);
    }
    const auto name = exportNameAddresses(c.chip);
    EXPECT_EQ((std::pair<int, int>(name.base, name.tag)), c.name);
  }
}

class VersionReaders : public SessionTest {
 protected:
  VersionReaders() : SessionTest(settings([](auto& s) { s.chip_id = 0x16; })) {}

  void put(std::uint16_t base, std::uint16_t tag, const std::string& fields, const std::string& tag5) {
    camera->setMemory(7, base, std::vector<std::uint8_t>(fields.begin(), fields.end()));
    camera->setMemory(7, tag, std::vector<std::uint8_t>(tag5.begin(), tag5.end()));
  }
};

TEST_F(VersionReaders, EachReadsItsOwnPlaceAndClosesTheLibrary) {
  put(0x0FD0, 0x0153, "2013-04-16AB-12345671304161230", "TEXTA");
  put(0x3E00, 0x01F3, "2014-05-17CD-76543211405171231", "NAMEB");
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
  EXPECT_THAT(ui.messages(), ::testing::ElementsAre(::testing::StartsWith("Read F/W Version Failed!")));

  camera->setFaults({});
  devices.setEnumerateError(-EIO);
  ui.events.clear();
  EXPECT_EQ(session.FirmwareVersionText(), std::nullopt);
  EXPECT_THAT(ui.messages(), ::testing::ElementsAre("Camera Init Failed!"));
}

}  // namespace
}  // namespace emberline::workflows::testing
