// Lifting and restoring the flash's write protection around the burn and the
// erase: open the library afresh, identify the chip, fetch its write-protect
// pin configuration from chip memory and let the library do the rest.

#include <cstdint>
#include <span>

#include "core/device/backend.h"
#include "core/workflows/camera_session.h"

namespace emberline::workflows {
namespace {

// Where each chip model keeps its write-protect configuration byte (space 7).
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

}  // namespace

int CameraSession::setWriteProtect(int mode, std::string& reason, FailureKind& kind) {
  std::uint8_t config = 0;  // a read that delivers nothing leaves 0
  std::uint16_t restore_register = 0xFFFF;

  const int init = library_.SfInit();
  if (init <= 0) {
    reason = serialflash::initFailureText(init);
    kind = initFailure(init);
    return 0;
  }

  std::uint8_t chip_id = 0;
  if (!ReadChipId(chip_id)) {
    reason = "GetChipIDValue Failed!";
    kind = requestFailure();
    library_.SfClose();
    return 0;
  }

  library_.SfTransferMemory(device::kSpaceRead, writeProtectConfigAddress(chip_id),
                            std::span<std::uint8_t>(&config, 1));
  if (library_.SfSetWriteProtect(mode, restore_register, config)) return 1;
  kind = cameraGone() ? requestFailure() : FailureKind::Protected;
  return 0;
}

// Called on their own, they show what stood in the way; the workflows show
// it together with their own text instead.
int CameraSession::DisableFlashWriteProtect() {
  std::string reason;
  FailureKind kind = FailureKind::None;
  if (setWriteProtect(0, reason, kind) != 0) return 1;
  if (!reason.empty()) fail(kind, reason);
  return 0;
}

int CameraSession::EnableFlashWriteProtect() {
  std::string reason;
  FailureKind kind = FailureKind::None;
  if (setWriteProtect(1, reason, kind) != 0) return 1;
  if (!reason.empty()) fail(kind, reason);
  return 0;
}

bool CameraSession::liftWriteProtect(std::string* failure) {
  std::string reason;
  FailureKind kind = FailureKind::None;
  if (setWriteProtect(0, reason, kind) != 0) return true;
  std::string text = "Disable Flash Write Protect Failed!";
  if (!reason.empty()) text += " " + reason;
  fail(kind, text, failure);
  return false;
}

void CameraSession::restoreWriteProtect() {
  std::string reason;
  FailureKind kind = FailureKind::None;
  if (setWriteProtect(1, reason, kind) != 0) return;
  if (kind == FailureKind::Protected) kind = FailureKind::Unprotected;
  std::string text = "Enable Flash Write Protect Failed!";
  if (!reason.empty()) text += " " + reason;
  fail(kind, text);
}

}  // namespace emberline::workflows
