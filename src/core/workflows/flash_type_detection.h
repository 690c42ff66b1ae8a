#pragma once

// Identifies the serial flash by a fixed series of SPI identification
// commands (independently of the library's own catalogue detection) and
// programs the DSP's flash-access registers for the type found.

#include <cstdint>

namespace emberline::serialflash {
class SerialFlash;
}

namespace emberline::workflows {

// Flash type codes (SFType). 9 is never produced.
enum SfTypeCode : std::uint8_t {
  kSfTypeUnknown = 0,
  kSfTypeMacronix = 1,      // 0xC2
  kSfTypeMicron = 2,        // 0x20, or 0xAB signature 0x05 / 0x10
  kSfTypeSst = 3,           // 0xBF, needs the status-register unlock
  kSfTypeAtmel15 = 4,       // 0x1F through 0x15, erased with 0x62 and fixed delays
  kSfTypeAtmel = 5,         // 0x1F through 0x9F
  kSfTypeDataflash = 6,     // 0xD7 status 0x0C / 0x1C
  kSfTypeWinbond = 7,       // 0xEF
  kSfTypePmc = 8,           // 0x9D, or 0xAB signature 0x9D
  kSfTypeAmic = 10,         // 0x37
  kSfTypeUnrecognised = 0xFF,  // unknown maker answering 0x20 as its second byte
};

// Runs the identification series (the library must be open) and returns the
// SFType; the flash-access registers 0x1087-0x1093 are written last.
std::uint8_t detectFlashType(serialflash::SerialFlash& library);

}  // namespace emberline::workflows
