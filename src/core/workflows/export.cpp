// The ROM export: the flash read back block by block into a file named after
// the firmware version (or the default name). The file appears whole or not
// at all; a block that cannot be read fails the export.

#include <algorithm>
#include <array>
#include <vector>

#include "core/workflows/atomic_file.h"
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

  AtomicFile out(target);
  if (auto error = out.create()) return fail(*error);
  if (readFlashInto(content) == 0) return 0;

  if (auto error = out.commit(content)) return fail(*error);
  if (written != nullptr) *written = target;
  return 1;
}

int CameraSession::readFlashInto(std::vector<std::uint8_t>& content, std::string* failure) {
  ui_.setProgressRange(kCtlProgressData, 0, kExportDataRange);
  HighBankScope bank(high_bank_flag_);
  for (std::uint32_t offset = 0; offset < kExportEnd; offset += kBlockSize) {
    ui_.setProgressPos(kCtlProgressData, static_cast<int>(offset / 10));
    std::array<std::uint8_t, 8> block;
    block.fill(0xFF);
    bank.at(offset);
    if (!readBlock(offset, block)) return fail(blockFailure("Read Flash", offset), failure);
    std::copy(block.begin(), block.end(), content.begin() + offset);
  }
  return 1;
}

}  // namespace emberline::workflows
