#include "core/workflows/chip_erase.h"

#include "core/device/clock.h"
#include "core/serialflash/serial_flash.h"
#include "core/workflows/flash_type_detection.h"
#include "core/workflows/spi_sequencer.h"

namespace emberline::workflows {

void eraseChip(serialflash::SerialFlash& library, device::Clock& clock, std::uint8_t sf_type) {
  SpiSequencer spi(library, /*echo_read=*/false);
  spi.takePort();
  switch (sf_type) {
    case kSfTypeMicron:
    case kSfTypeWinbond:
    case kSfTypePmc:
    case kSfTypeAmic:
      spi.command(0x06);  // write enable
      spi.command(0xC7);  // chip erase
      break;
    case kSfTypeSst:
      spi.command(0x50);  // enable write status
      spi.select();       // write status 0: clear the block protection bits
      spi.send(0x01);
      spi.send(0x00);
      spi.release();
      spi.command(0x06);
      spi.command(0x60);
      break;
    case kSfTypeAtmel15:
      // Erased with 0x62 and fixed waits rather than by its status alone.
      spi.command(0x06);
      spi.select();
      spi.send(0x62);
      clock.sleepMs(2500);
      spi.release();
      clock.sleepMs(900);
      break;
    default:
      spi.command(0x06);
      spi.command(0x60);
      break;
  }
  library.SfWaitFlashReady();
  spi.givePort();
}

}  // namespace emberline::workflows
