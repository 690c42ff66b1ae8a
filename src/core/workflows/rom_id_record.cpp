#include "core/workflows/rom_id_record.h"

#include <span>

#include "core/device/backend.h"
#include "core/workflows/camera_session.h"
#include "core/workflows/version_block.h"

namespace emberline::workflows {

RomIdRecord makeRomIdRecord(const std::array<std::uint8_t, 5>& tag,
                            const std::array<std::uint8_t, 10>& field3) {
  RomIdRecord record{};
  for (int i = 0; i < 5; ++i) record[i] = tag[i];
  for (int i = 0; i < 3; ++i) {
    const std::uint8_t hi = field3[2 * i];
    const std::uint8_t lo = field3[2 * i + 1];
    const bool digits = hi >= '0' && hi <= '9' && lo >= '0' && lo <= '9';
    record[5 + i] = digits ? static_cast<std::uint8_t>((hi - '0') * 10 + (lo - '0')) : 0xFF;
  }
  return record;
}

// The tag and the third field, from where the F/W Version command reads them
// (the export name's table for models it does not list). A record that cannot
// be read is all zero and selects the table's fallback entry.
std::array<std::uint8_t, 8> CameraSession::readRomIdRecord() {
  const auto where = versionTextAddresses(chip_id_).value_or(exportNameAddresses(chip_id_));
  std::array<std::uint8_t, 5> tag{};
  std::array<std::uint8_t, 10> field3{};
  const bool ok =
      library_.SfTransferMemory(device::kSpaceRead, where.tag, tag) &&
      library_.SfTransferMemory(device::kSpaceRead, static_cast<std::uint16_t>(where.base + 20), field3);
  if (!ok) return {};
  return makeRomIdRecord(tag, field3);
}

}  // namespace emberline::workflows
