// The burn: image checks, write protection lifted, flash type detected and
// recorded, chip erased and checked blank, every non-blank block programmed,
// the result verified, write protection restored. Stage bar 1004 and the
// labels 1007-1012 follow the stages; bar 1003 the bytes within a stage.

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "core/workflows/camera_session.h"
#include "core/workflows/flash_layout.h"

namespace emberline::workflows {
namespace {

constexpr char kSignature[4] = {'Q', 'R', '5', 'X'};

bool isBlank(std::span<const std::uint8_t, 8> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
}

}  // namespace

int CameraSession::BurnRom(const BurnOptions& options, BurnReport* report_out) {
  BurnReport scratch;
  BurnReport& report = report_out != nullptr ? *report_out : scratch;
  report = BurnReport{};
  std::string* failure = &report.failure;
  noteFlashChanged(FailureKind::Unplugged);
  const int waits_before = library_.transferWaitsRanOut();

  if (image_[0] == 0xFF && image_[1] == 0xFF) return fail(FailureKind::NoImage, "No Source File!", failure);
  if (std::memcmp(image_.data(), kSignature, sizeof kSignature) != 0) {
    return fail(FailureKind::BadImage, "It isn't Qorin Rom File!", failure);
  }

  ui_.setStatus(kStrBurning);
  ui_.showControl(kCtlProgressStage, true);
  ui_.setProgressRange(kCtlProgressStage, 0, kStageRange);
  ui_.setProgressPos(kCtlProgressStage, 0);
  ui_.showControl(kCtlStageErase, true);
  ui_.setProgressRange(kCtlProgressData, 0, 2);

  if (stop_.stopRequested()) return stopped(WorkStage::BeforeChange, std::nullopt, failure);
  if (!liftWriteProtect(failure)) return 0;
  if (library_.flashStayedBusy()) return flashNotReady(WorkStage::WriteProtectLifted, failure);
  if (stop_.stopRequested()) return stopped(WorkStage::WriteProtectLifted, std::nullopt, failure, true);
  ui_.setProgressPos(kCtlProgressData, 2);
  ui_.setProgressPos(kCtlProgressStage, 0);

  if (!writeSFTypeAndEraseChip(readRomIdRecord(), FailureKind::UnpluggedDuringBurn, failure)) return 0;
  if (stop_.stopRequested())
    return stopped(chip_erase_sent_ ? WorkStage::Erasing : WorkStage::WriteProtectLifted, std::nullopt, failure, true);
  if (library_.flashStayedBusy()) return flashNotReady(WorkStage::Erasing, failure);
  ui_.setProgressPos(kCtlProgressStage, 1);

  // Erase check: 8 bytes in every 1024.
  ui_.setProgressRange(kCtlProgressData, 0, kBurnDataRange);
  {
    HighBankScope bank(high_bank_flag_);
    for (std::uint32_t offset = 0; offset < kSampleEnd; offset += kSampleStride) {
      ui_.setProgressPos(kCtlProgressData, static_cast<int>(offset / 10));
      std::array<std::uint8_t, 8> block;
      block.fill(0xFF);
      bank.at(offset);
      if (stop_.stopRequested()) return stopped(WorkStage::EraseCheck, offset, failure, true);
      if (!readBlock(offset, block)) return fail(requestFailure(), blockFailure("Read Flash", offset), failure);
      if (!passesBlankCheck(block)) return fail(FailureKind::NotErased, "Check Flash Erase Failed!", failure);
    }
  }
  ui_.setProgressPos(kCtlProgressStage, 3);
  ui_.showControl(kCtlStageEraseOk, true);
  ui_.showControl(kCtlStageBurn, true);

  // Programming: blank blocks are already 0xFF after the erase and are not
  // sent; the last 8 bytes of the flash are never programmed.
  {
    HighBankScope bank(high_bank_flag_);
    for (std::uint32_t offset = 0; offset < kProgramEnd; offset += kBlockSize) {
      const std::uint32_t in_bank = offset < kBankBoundary ? offset : offset - kBankBoundary;
      ui_.setProgressPos(kCtlProgressData, static_cast<int>(in_bank / 5));
      bank.at(offset);
      const std::span<const std::uint8_t, 8> bytes(image_.data() + offset, kBlockSize);
      if (isBlank(bytes)) {
        ++report.blocks_skipped;
        continue;
      }
      if (stop_.stopRequested()) return stopped(WorkStage::Programming, offset, failure, true);
      if (!writeBlock(offset, bytes)) return fail(requestFailure(), blockFailure("Write Flash", offset), failure);
      ++report.blocks_written;
    }
  }
  ui_.setProgressPos(kCtlProgressStage, 6);
  ui_.showControl(kCtlStageBurnOk, true);
  ui_.showControl(kCtlStageVerify, true);

  if ((options.verify_full ? verifyFull(report) : verifySampled(report)) == 0) return 0;
  ui_.setProgressPos(kCtlProgressStage, 8);

  restoreWriteProtect();
  ui_.setProgressPos(kCtlProgressStage, 9);
  ui_.showControl(kCtlStageVerifyOk, true);
  report.transfer_waits_ran_out = library_.transferWaitsRanOut() - waits_before;
  return 1;
}

namespace {

// A difference in the very first block means the flash wrapped: it is
// smaller than the image.
const char* differenceText(std::uint32_t offset) {
  return offset == 0 ? "The Flash size is less than 128K, please confirm!" : "Check Data Failed!";
}

FailureKind differenceKind(std::uint32_t offset) {
  return offset == 0 ? FailureKind::FlashTooSmall : FailureKind::VerifyMismatch;
}

// The flash offset of the first byte of `block` (read at `offset`) that
// differs from the image.
std::optional<std::uint32_t> firstDifference(const std::array<std::uint8_t, 8>& block,
                                             std::uint32_t offset,
                                             const std::vector<std::uint8_t>& image) {
  const auto differs = std::mismatch(block.begin(), block.end(), image.begin() + offset);
  if (differs.first == block.end()) return std::nullopt;
  return offset + static_cast<std::uint32_t>(differs.first - block.begin());
}

}  // namespace

// Verification by sampling 8 bytes in every 1024.
int CameraSession::verifySampled(BurnReport& report) {
  HighBankScope bank(high_bank_flag_);
  for (std::uint32_t offset = 0; offset < kSampleEnd; offset += kSampleStride) {
    ui_.setProgressPos(kCtlProgressData, static_cast<int>(offset / 10 + 100));
    std::array<std::uint8_t, 8> block;
    block.fill(0xFF);
    bank.at(offset);
    if (stop_.stopRequested()) return stopped(WorkStage::Verifying, offset, &report.failure, true);
    if (!readBlock(offset, block))
      return fail(requestFailure(), blockFailure("Read Flash", offset), &report.failure);
    if (auto at = firstDifference(block, offset, image_)) {
      report.first_difference = at;
      return fail(differenceKind(offset), differenceText(offset), &report.failure);
    }
  }
  return 1;
}

// Verification of every block a burn covers, blank ones included: a block the
// chip erase missed shows up here even where the image holds nothing.
int CameraSession::verifyFull(BurnReport& report) {
  HighBankScope bank(high_bank_flag_);
  for (std::uint32_t offset = 0; offset < kProgramEnd; offset += kBlockSize) {
    ui_.setProgressPos(kCtlProgressData,
                       std::min(static_cast<int>(offset / 10), kBurnDataRange));
    bank.at(offset);
    std::array<std::uint8_t, 8> block;
    block.fill(0xFF);
    if (stop_.stopRequested()) return stopped(WorkStage::Verifying, offset, &report.failure, true);
    if (!readBlock(offset, block))
      return fail(requestFailure(), blockFailure("Read Flash", offset), &report.failure);
    if (auto at = firstDifference(block, offset, image_)) {
      report.first_difference = at;
      return fail(differenceKind(offset), differenceText(offset), &report.failure);
    }
  }
  return 1;
}

}  // namespace emberline::workflows
