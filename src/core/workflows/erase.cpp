// The erase: write protection lifted (and left lifted), flash type detected
// and recorded, chip erased, then a blank check of 8 bytes in every 32.

#include <array>

#include "core/workflows/camera_session.h"
#include "core/workflows/flash_layout.h"

namespace emberline::workflows {

int CameraSession::EraseFlash() {
  noteFlashChanged(FailureKind::Unplugged);
  ui_.setStatus(kStrErasing);
  ui_.setProgressRange(kCtlProgressData, 0, kEraseDataRange);
  ui_.setProgressPos(kCtlProgressData, 1);

  if (stop_.stopRequested()) return stopped(WorkStage::BeforeChange, std::nullopt, nullptr);
  if (!liftWriteProtect(nullptr)) return 0;
  if (library_.flashStayedBusy()) return flashNotReady(WorkStage::WriteProtectLifted);
  if (stop_.stopRequested()) return stopped(WorkStage::WriteProtectLifted, std::nullopt, nullptr);
  if (!writeSFTypeAndEraseChip(readRomIdRecord(), FailureKind::UnpluggedDuringErase, nullptr)) return 0;
  if (stop_.stopRequested())
    return stopped(chip_erase_sent_ ? WorkStage::Erasing : WorkStage::WriteProtectLifted, std::nullopt, nullptr);
  if (library_.flashStayedBusy()) return flashNotReady(WorkStage::Erasing);

  HighBankScope bank(high_bank_flag_);
  for (std::uint32_t offset = 0; offset < kEraseEnd; offset += kEraseStride) {
    ui_.setProgressPos(kCtlProgressData, static_cast<int>(offset / 10));
    std::array<std::uint8_t, 8> block;
    block.fill(0xFF);
    bank.at(offset);
    if (stop_.stopRequested()) return stopped(WorkStage::BlankCheck, offset, nullptr);
    if (!readBlock(offset, block)) return fail(requestFailure(), blockFailure("Read Flash", offset));
    if (!passesBlankCheck(block)) return fail(FailureKind::NotErased, "Check Flash Erase Failed!");
  }
  return 1;
}

}  // namespace emberline::workflows
