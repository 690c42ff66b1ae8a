// The RomTagTable: the built-in table is sound, its text form is read strictly,
// and the matching rules, on a table of the test's own.

#include <gmock/gmock.h>

#include "core/workflows/rom_id_record.h"
#include "core/workflows/rom_tag_table.h"

namespace emberline::workflows {
namespace {

TEST(RomTagTable, TheBuiltInTableIsReadFromItsTextAndPassesItsSelfCheck) {
  const auto& table = defaultRomTagTable();
  ASSERT_GT(table.size(), 1u) << "the built-in text did not parse";
  EXPECT_THAT(checkRomTagTable(table), ::testing::IsEmpty());
}

RomIdRecord record(const char* tag, std::uint8_t yy, std::uint8_t mm, std::uint8_t dd) {
  RomIdRecord r{};
  for (int i = 0; i < 5 && tag[i] != 0; ++i) r[i] = static_cast<std::uint8_t>(tag[i]);
  r[5] = yy, r[6] = mm, r[7] = dd;
  return r;
}

constexpr const char* kTestTable = R"(# a comment line

AB1C    0  0  0  0x1000  exact   # 0: fallback
AB1C   13  4 16  0x1001  exact
AB1C   24  0  0  0x1002  min
ab1c    0  0  0  0x1003  min
ZZ9TO  12 11 30  0x1004  exact
)";

TEST(RomTagTable, FirstEntryTakenByTagAndVersion) {
  RomTagTable table;
  std::string error;
  ASSERT_TRUE(parseRomTagTable(kTestTable, table, error)) << error;
  ASSERT_EQ(table.size(), 5u);
  EXPECT_EQ(table[4].sf_type_register, 0x1004);
  const std::tuple<const char*, RomIdRecord, std::size_t> cases[] = {
      {"undated ROM: entry 0 itself", record("AB1CA", 0, 0, 0), 0},
      {"exact build", record("AB1C", 13, 4, 16), 1},
      {"exact needs all three bytes", record("AB1C", 13, 4, 17), 3},
      {"minimum year reached, lower case", record("ab1c", 24, 1, 1), 2},
      {"record bytes are signed: 0x80 reaches no minimum", record("AB1C", 0x80, 1, 1), 0},
      {"unknown tag", record("QQ12", 30, 1, 1), 0},
      {"four characters compared", record("ZZ9TX", 12, 11, 30), 4},
      {"nothing read", RomIdRecord{}, 0},
  };
  for (const auto& [why, r, entry] : cases) EXPECT_EQ(findRomTagEntry(table, r), entry) << why;
}

TEST(RomTagTable, AReplacementTableIsRefusedWithTheLineAndTheFault) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "no entry"},
      {"# only comments\n", "no entry"},
      {"AB1C 0 0 0 0x1000\n", "line 1: expected TAG YY MM DD REGISTER MODE"},
      {"AB1C 0 0 0 0x1000 exact\nAB 0 0 0 0x1000 exact\n", "line 2: the tag 'AB'"},
      {"AB-C 0 0 0 0x1000 exact\n", "the tag 'AB-C'"},
      {"AB1C 128 0 0 0x1000 exact\n", "above 127"},
      {"AB1C 0 0 0 1000 exact\n", "the register '1000'"},
      {"AB1C 0 0 0 0x10000 exact\n", "the register '0x10000'"},
      {"AB1C 0 0 0 0x1000 newest\n", "the mode 'newest'"},
      {"AB1C 0 0 0 0x1000 exact extra\n", "unexpected 'extra'"},
  };
  for (const auto& [text, expected] : cases) {
    RomTagTable table{{{'K', 'E', 'E', 'P', 0}, {0, 0, 0}, 1, 0}};
    std::string error;
    EXPECT_FALSE(parseRomTagTable(text, table, error)) << text;
    EXPECT_NE(error.find(expected), std::string::npos) << text << ": " << error;
    EXPECT_EQ(table.size(), 1u) << "a refused table leaves the old one";
  }
}

TEST(RomIdRecord, TagAndBuildDateFromTheVersionBlock) {
  const std::array<std::uint8_t, 5> tag{'Q', 'R', '5', 'X', 'A'};
  EXPECT_EQ(makeRomIdRecord(tag, {'2', '6', '1', '2', '0', '6', '1', '2', '0', '0'}),
            (RomIdRecord{'Q', 'R', '5', 'X', 'A', 26, 12, 6}));
  EXPECT_EQ(makeRomIdRecord(tag, {'2', '6', '-', '2'}), (RomIdRecord{'Q', 'R', '5', 'X', 'A', 26, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace emberline::workflows
