// The RomTagTable's self-check and its matching rules.

#include <gmock/gmock.h>

#include "core/workflows/rom_id_record.h"
#include "core/workflows/rom_tag_table.h"

namespace emberline::workflows {
namespace {

TEST(RomTagTable, PassesItsSelfCheck) {
  EXPECT_THAT(checkRomTagTable(), ::testing::IsEmpty());
}

RomIdRecord record(const char* tag, std::uint8_t yy, std::uint8_t mm, std::uint8_t dd) {
  RomIdRecord r{};
  for (int i = 0; i < 5 && tag[i] != 0; ++i) r[i] = static_cast<std::uint8_t>(tag[i]);
  r[5] = yy;
  r[6] = mm;
  r[7] = dd;
  return r;
}

TEST(RomTagTable, FirstEntryTakenByTagAndVersion) {
  const struct {
    const char* why;
    RomIdRecord record;
    std::size_t entry;
  } cases[] = {
      {"undated family ROM: entry 0 itself", record("QR5XA", 0, 0, 0), 0},
      {"exact build", record("QR5X", 13, 4, 16), 1},
      {"exact build, lower case, fifth character ignored", record("qr5xz", 13, 9, 2), 2},
      {"exact needs all three bytes", record("QR5X", 13, 4, 17), 4},
      {"minimum year reached", record("QR5X", 24, 1, 1), 3},
      {"below the minimum: next range", record("QR5X", 23, 12, 31), 4},
      {"record bytes are signed: 0x80 never reaches a minimum", record("QR5X", 0x80, 1, 1), 0},
      {"unparsed date (0xFF) matches no version", record("QR6X", 0xFF, 0xFF, 0xFF), 0},
      {"unknown tag: fallback", record("AB12", 30, 1, 1), 0},
      {"tag compared over four characters only", record("ZK5TX", 12, 11, 30), 15},
      {"nothing read", RomIdRecord{}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(findRomTagEntry(c.record), c.entry) << c.why;
}

TEST(RomIdRecord, TagAndBuildDateFromTheVersionBlock) {
  const std::array<std::uint8_t, 5> tag{'Q', 'R', '5', 'X', 'A'};
  const auto digits = [](const char* s) {
    std::array<std::uint8_t, 10> f{};
    for (int i = 0; i < 10 && s[i] != 0; ++i) f[i] = static_cast<std::uint8_t>(s[i]);
    return f;
  };
  EXPECT_EQ(makeRomIdRecord(tag, digits("2612061200")), (RomIdRecord{'Q', 'R', '5', 'X', 'A', 26, 12, 6}));
  EXPECT_EQ(makeRomIdRecord(tag, digits("26-2")), (RomIdRecord{'Q', 'R', '5', 'X', 'A', 26, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace emberline::workflows
