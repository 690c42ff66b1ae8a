#pragma once

#include <cstdint>

namespace emberline::device {
class Clock;
}
namespace emberline::serialflash {
class SerialFlash;
}

namespace emberline::workflows {

// Erases the whole flash with the command sequence its SFType calls for and
// waits for the flash to be ready. Nothing is reported: the callers' blank
// check tells whether it worked.
void eraseChip(serialflash::SerialFlash& library, device::Clock& clock, std::uint8_t sf_type);

}  // namespace emberline::workflows
