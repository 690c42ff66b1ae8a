// Compares the camera's flash with an image without changing either: every
// block a burn would program, read back through the dialog's channel.

#include <algorithm>
#include <array>

#include "core/workflows/camera_session.h"
#include "core/workflows/flash_layout.h"

namespace emberline::workflows {

VerifyReport CameraSession::VerifyImage(std::span<const std::uint8_t> image) {
  VerifyReport report;
  if (image.size() != kImageSize) {
    fail("It is not a Rom file!", &report.failure);
    return report;
  }
  ui_.setProgressRange(kCtlProgressData, 0, kExportDataRange);

  HighBankScope bank(high_bank_flag_);
  for (std::uint32_t offset = 0; offset < kExportEnd; offset += kBlockSize) {
    ui_.setProgressPos(kCtlProgressData, static_cast<int>(offset / 10));
    std::array<std::uint8_t, 8> block;
    block.fill(0xFF);
    bank.at(offset);
    if (!readBlock(offset, block)) {
      fail(blockFailure("Read Flash", offset), &report.failure);
      return report;
    }
    const auto expected = image.begin() + offset;
    const auto differs = std::mismatch(block.begin(), block.end(), expected);
    if (differs.first != block.end()) {
      report.first_difference = offset + static_cast<std::uint32_t>(differs.first - block.begin());
      return report;
    }
  }
  report.matches = true;
  return report;
}

}  // namespace emberline::workflows
