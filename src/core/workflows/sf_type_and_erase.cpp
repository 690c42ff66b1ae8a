// Detect the flash type, record it where the chip's mask ROM looks for it,
// and erase the whole flash: the shared first step of the burn and the erase.

#include <algorithm>

#include "core/workflows/camera_session.h"
#include "core/workflows/chip_erase.h"
#include "core/workflows/device_error_text.h"
#include "core/workflows/rom_tag_table.h"

namespace emberline::workflows {
namespace {

constexpr std::uint16_t kReg1040 = 0x1040;

// ROMs tagged "ZK5T..." (any letter case), and records whose byte 5 is 1,
// get register 0x1040 cleared before the erase.
bool needsReg1040Cleared(const RomIdRecord& record) {
  return romTagMatches(record.data(), "ZK5T") || record[5] == 1;
}

}  // namespace

void CameraSession::WriteSFTypeAndEraseChip(std::span<const std::uint8_t, 8> rom_id) {
  writeSFTypeAndEraseChip(rom_id, unplugged_kind_, nullptr);
}

bool CameraSession::writeSFTypeAndEraseChip(std::span<const std::uint8_t, 8> rom_id, FailureKind unplugged,
                                            std::string* failure) {
  RomIdRecord record;
  std::copy(rom_id.begin(), rom_id.end(), record.begin());

  const RomTagEntry& entry = rom_tag_table_[findRomTagEntry(rom_tag_table_, record)];
  chip_erase_sent_ = false;
  DetectSFType();
  // Detection takes a while; a stop asked for meanwhile erases nothing (the
  // caller sees the stop, and chip_erase_sent_ says nothing was erased).
  if (stop_.stopRequested()) return true;
  if (!library_.SfWriteRegister(entry.sf_type_register, sf_type_)) {
    const std::string text = "Write SFType Data To Mask Rom Failed!";
    // A camera that is gone fails the work here, in this one message.
    if (cameraGone()) {
      fail(requestFailure(), text + " " + describeDeviceError(backend_.channel().last_error), failure);
      return false;
    }
    ui_.showMessage(text);
  }
  if (needsReg1040Cleared(record)) library_.SfWriteRegister(kReg1040, 0);
  noteFlashChanged(unplugged);
  chip_erase_sent_ = true;
  eraseChip(library_, clock_, sf_type_);
  return true;
}

}  // namespace emberline::workflows
