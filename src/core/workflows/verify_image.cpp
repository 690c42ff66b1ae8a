// Compares the camera's flash with an image without changing either: every
// block a burn would program, read back through the dialog's channel.

#include <algorithm>
#include <vector>

#include "core/workflows/camera_session.h"
#include "core/workflows/flash_layout.h"

namespace emberline::workflows {

VerifyReport CameraSession::VerifyImage(std::span<const std::uint8_t> image) {
  VerifyReport report;
  if (image.size() != kImageSize) {
    fail(FailureKind::BadImage, "It is not a Rom file!", &report.failure);
    return report;
  }
  std::vector<std::uint8_t> content(kImageSize, 0xFF);
  if (readFlashInto(content, &report.failure) == 0) return report;
  const auto end = content.begin() + kExportEnd;
  const auto differs = std::mismatch(content.begin(), end, image.begin());
  if (differs.first != end) {
    report.first_difference = static_cast<std::uint32_t>(differs.first - content.begin());
    return report;
  }
  report.matches = true;
  return report;
}

}  // namespace emberline::workflows
