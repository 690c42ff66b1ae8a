#include "core/workflows/spi_sequencer.h"

#include "core/serialflash/serial_flash.h"

namespace emberline::workflows {

using namespace serialflash;

void SpiSequencer::write(std::uint16_t reg, std::uint8_t value) {
  library_.SfWriteRegister(reg, value);
}

void SpiSequencer::takePort() { write(kRegPortOwner, 1); }
void SpiSequencer::givePort() { write(kRegPortOwner, 0); }
void SpiSequencer::select() { write(kRegChipSelect, 0); }
void SpiSequencer::release() { write(kRegChipSelect, 1); }

void SpiSequencer::send(std::uint8_t byte) {
  write(kRegTxByte, byte);
  write(kRegTransferStart, 1);
  library_.SfWaitTransferDone();
  if (echo_read_) {
    std::uint8_t dropped = 0xFF;
    library_.SfReadRegister(kRegRxByte, dropped);
  }
}

std::uint8_t SpiSequencer::receive() {
  write(kRegRxByte, 0);
  write(kRegTransferStart, 2);
  library_.SfWaitTransferDone();
  std::uint8_t value = 0xFF;
  library_.SfReadRegister(kRegRxByte, value);
  return value;
}

void SpiSequencer::command(std::uint8_t opcode) {
  select();
  send(opcode);
  release();
}

}  // namespace emberline::workflows
