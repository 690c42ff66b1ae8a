// Reading the flash's identification bytes through the SPI port and looking
// them up in the catalogue, trying up to four identification commands.

#include <array>

#include "core/serialflash/serial_flash.h"

namespace emberline::serialflash {

namespace {

// Some parts prefix their manufacturer id with this continuation code.
constexpr std::uint8_t kContinuationCode = 0x7F;
constexpr std::uint8_t kNoThirdByte = 0xFF;

struct IdCommand {
  std::uint8_t opcode;
  int dummies;
  int count;
};

// Tried in this order until one identifies the part.
constexpr std::array<IdCommand, 4> kIdCommands{{
    {0x9F, 0, 3},  // JEDEC id
    {0x15, 0, 2},
    {0x90, 3, 2},  // manufacturer / device id
    {0xAB, 3, 2},  // release from power-down / device id
}};

}  // namespace

void SerialFlash::readFlashId(int index, std::uint8_t opcode, int dummies, int count) {
  takePort(index);
  select(index);
  sendByte(index, opcode);
  for (int i = 0; i < dummies; ++i) sendByte(index, 0x00);
  std::uint8_t first = receiveByte(index);
  if (first == kContinuationCode) first = receiveByte(index);  // skipped once only
  const std::uint8_t second = receiveByte(index);
  const std::uint8_t third = count >= 3 ? receiveByte(index) : kNoThirdByte;
  release(index);
  givePort(index);
  detection_.id = {first, second, third};
}

void SerialFlash::SfReadFlashId(std::uint8_t opcode, int dummies, int count) {
  readFlashId(0, opcode, dummies, count);
}

int SerialFlash::SfDetectFlash(int index) {
  if (!guard(index)) return -1;
  std::uint8_t type = 0;
  for (const IdCommand& command : kIdCommands) {
    readFlashId(index, command.opcode, command.dummies, command.count);
    type = SfLookupFlash(detection_);
    if (type != 0) break;
  }
  return type;
}

}  // namespace emberline::serialflash
