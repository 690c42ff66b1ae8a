// Lifting and restoring the flash's write protection around the burn and the
// erase: open the library afresh, identify the chip, fetch its write-protect
// pin configuration from chip memory and let the library do the rest.

#include <cstdint>
#include <span>

#include "core/device/backend.h"
#include "core/workflows/camera_session.h"

namespace emberline::workflows {

std::uint16_t writeProtectConfigAddress(std::uint8_t chip_id) {
  switch (chip_id) {
    case 0x33:
      return 0x000F;
    case 0x32:
    case 0x75:
    case 0x76:
      return 0xC034;
    case 0x16:
      return 0x5834;
    default:
      return 0x8034;
  }
}

int CameraSession::setWriteProtect(int mode) {
  std::uint8_t config = 0;  // a read that delivers nothing leaves 0
  std::uint16_t restore_register = 0xFFFF;

  const int init = library_.SfInit();
  if (init <= 0) return fail(serialflash::initFailureText(init));

  std::uint8_t chip_id = 0;
  if (!ReadChipId(chip_id)) {
    fail("GetChipIDValue Failed!");
    library_.SfClose();
    return 0;
  }

  library_.SfTransferMemory(device::kSpaceRead, writeProtectConfigAddress(chip_id),
                            std::span<std::uint8_t>(&config, 1));
  return library_.SfSetWriteProtect(mode, restore_register, config) ? 1 : 0;
}

int CameraSession::DisableFlashWriteProtect() { return setWriteProtect(0); }

int CameraSession::EnableFlashWriteProtect() { return setWriteProtect(1); }

}  // namespace emberline::workflows
