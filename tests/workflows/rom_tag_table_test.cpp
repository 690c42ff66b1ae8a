// The RomTagTable's self-check and its matching rules.

#include <gmock/gmock.h>

#include "core/workflows/rom_id_record.h"
#include "core/workflows/rom_tag_table.h"

namespace emberline::workflows {
namespace {

TEST(RomTagTable, PassesItsSelfCheck) { EXPECT_THAT(checkRomTagTable(), ::testing::IsEmpty()); }

RomIdRecord record(const char* tag, std::uint8_t yy, std::uint8_t mm, std::uint8_t dd) {
  RomIdRecord r{};
  for (int i = 0; i < 5 && tag[i] != 0; ++i) r[i] = static_cast<std::uint8_t>(tag[i]);
  r[5] = yy, r[6] = mm, r[7] = dd;
  return r;
}

TEST(RomTagTable, FirstEntryTakenByTagAndVersion) {
  const std::tuple<const char*, RomIdRecord, std::size_t> cases[] = {
      {"undated family ROM: entry 0 itself", record("QR5XA", 0, 0, 0), 0},
      {"exact build", record("QR5X", 13, 4, 16), 1},
      {"lower case, fifth character ignored", record("qr5xz", 13, 9, 2), 2},
      {"exact needs all three bytes", record("QR5X", 13, 4, 17), 4},
      {"minimum year reached", record("QR5X", 24, 1, 1), 3},
      {"record bytes are signed: 0x80 reaches no minimum", record("QR5X", 0x80, 1, 1), 0},
      {"unknown tag", record("AB12", 30, 1, 1), 0},
      {"four characters compared", record("ZK5TX", 12, 11, 30), 15},
      {"nothing read", RomIdRecord{}, 0},
  };
  for (const auto& [why, r, entry] : cases) EXPECT_EQ(findRomTagEntry(r), entry) << why;
}

TEST(RomIdRecord, TagAndBuildDateFromTheVersionBlock) {
  const std::array<std::uint8_t, 5> tag{'Q', 'R', '5', 'X', 'A'};
  EXPECT_EQ(makeRomIdRecord(tag, {'2', '6', '1', '2', '0', '6', '1', '2', '0', '0'}),
            (RomIdRecord{'Q', 'R', '5', 'X', 'A', 26, 12, 6}));
  EXPECT_EQ(makeRomIdRecord(tag, {'2', '6', '-', '2'}), (RomIdRecord{'Q', 'R', '5', 'X', 'A', 26, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace emberline::workflows
