// Lifting and restoring the flash's write protection around the burn and the
// erase: open the library afresh, identify the chip, fetch its write-protect
// pin configuration from chip memory and let the library do the rest.

#include <cstdint>
#include <optional>
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

std::optional<Failure> CameraSession::setWriteProtect(int mode) {
  std::uint8_t config = 0;  // a read that delivers nothing leaves 0
  std::uint16_t restore_register = 0xFFFF;

  const int init = library_.SfInit();
  if (init <= 0) return Failure{initFailure(init), serialflash::initFailureText(init), {}};

  std::uint8_t chip_id = 0;
  if (!ReadChipId(chip_id)) {
    const FailureKind kind = requestFailure();
    library_.SfClose();
    return Failure{kind, "GetChipIDValue Failed!", {}};
  }

  library_.SfTransferMemory(device::kSpaceRead, writeProtectConfigAddress(chip_id),
                            std::span<std::uint8_t>(&config, 1));
  if (library_.SfSetWriteProtect(mode, restore_register, config)) return std::nullopt;
  return Failure{cameraGone() ? requestFailure() : FailureKind::Protected, {}, {}};
}

namespace {

// "<what> <why>": the workflow's own text and what stood in its way, in one message.
std::string withReason(const char* what, const std::string& why) {
  return why.empty() ? std::string(what) : std::string(what) + " " + why;
}

}  // namespace

// Called on their own, they show what stood in the way; the workflows show
// it together with their own text instead.
int CameraSession::DisableFlashWriteProtect() { return changeWriteProtect(0); }

int CameraSession::EnableFlashWriteProtect() { return changeWriteProtect(1); }

int CameraSession::changeWriteProtect(int mode) {
  const auto failed = setWriteProtect(mode);
  if (!failed) return 1;
  if (!failed->text.empty()) fail(failed->kind, failed->text);
  return 0;
}

bool CameraSession::liftWriteProtect(std::string* failure) {
  const auto failed = setWriteProtect(0);
  if (!failed) return true;
  fail(failed->kind, withReason("Disable Flash Write Protect Failed!", failed->text), failure);
  return false;
}

std::string CameraSession::restoreWriteProtect(bool show) {
  const auto failed = setWriteProtect(1);
  if (!failed) return {};
  const std::string text = withReason("Enable Flash Write Protect Failed!", failed->text);
  // The work before it stands: the flash is only left open to writes.
  if (show) fail(failed->kind == FailureKind::Protected ? FailureKind::Unprotected : failed->kind, text);
  return text;
}

}  // namespace emberline::workflows
