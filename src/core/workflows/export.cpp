// The ROM export: the flash read back block by block into a file named after
// the firmware version (or the default name). The file appears whole or not
// at all; a block that cannot be read or a stop request fails the export and
// leaves an existing file as it was. Reading sends block reads and nothing
// else: no register is written and the SPI port is never taken, so an export
// or a verify changes nothing on the camera.

#include <algorithm>
#include <array>
#include <vector>

#include "core/workflows/camera_session.h"
#include "core/workflows/flash_layout.h"
#include "core/workflows/version_block.h"

namespace emberline::workflows {

int CameraSession::ExportRom(const std::filesystem::path& file, std::filesystem::path* written) {
  std::filesystem::path target = file;
  if (target.empty()) {
    std::string name;
    if (!BuildExportFileName(name)) name = kDefaultExportName;
    target = name;
  }

  // The last 8 bytes are not read and stay 0xFF, as a burn never programs them.
  std::vector<std::uint8_t> content(kImageSize, 0xFF);
  ui_.setStatus(kStrExporting);
  ui_.setControlText(kCtlExportName, target.string());

  // A name given by the caller was checked by the caller; the one built here
  // meets the same rule now.
  if (file.empty() && output_guard_) {
    if (auto refused = output_guard_(target)) return fail(FailureKind::FileNotWritten, *refused);
  }
  std::string error;
  auto out = output_files_->begin(target, &error);
  if (!out) return fail(FailureKind::FileNotWritten, error);
  if (readFlashInto(content) == 0) return 0;

  if (auto failed = out->commit(content)) return fail(FailureKind::FileNotWritten, *failed);
  if (written != nullptr) *written = target;
  return 1;
}

int CameraSession::readFlashInto(std::vector<std::uint8_t>& content, std::string* failure) {
  noteFlashChanged(FailureKind::Unplugged);
  if (stop_.stopRequested()) return stopped(WorkStage::Reading, std::nullopt, failure);
  ui_.setProgressRange(kCtlProgressData, 0, kExportDataRange);
  HighBankScope bank(high_bank_flag_);
  for (std::uint32_t offset = 0; offset < kExportEnd; offset += kBlockSize) {
    ui_.setProgressPos(kCtlProgressData, static_cast<int>(offset / 10));
    std::array<std::uint8_t, 8> block;
    block.fill(0xFF);
    bank.at(offset);
    if (stop_.stopRequested()) return stopped(WorkStage::Reading, offset, failure);
    if (!readBlock(offset, block)) return fail(requestFailure(), blockFailure("Read Flash", offset), failure);
    std::copy(block.begin(), block.end(), content.begin() + offset);
  }
  return 1;
}

}  // namespace emberline::workflows
