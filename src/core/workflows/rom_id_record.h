#pragma once

#include <array>
#include <cstdint>

#include "core/workflows/rom_tag_table.h"

namespace emberline::workflows {

// The RomIdRecord of a version block: the 5 tag bytes, then year, month and
// day of the build from the third field "YYMMDDhhmm" (0xFF for a pair that is
// not two decimal digits, which then matches no version).
RomIdRecord makeRomIdRecord(const std::array<std::uint8_t, 5>& tag,
                            const std::array<std::uint8_t, 10>& field3);

}  // namespace emberline::workflows
