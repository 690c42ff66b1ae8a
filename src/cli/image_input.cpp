#include "cli/image_input.h"

#include <system_error>

#include "cli/report.h"
#include "core/workflows/camera_session.h"

namespace emberline::cli {

Outcome loadImage(RunContext& ctx, const std::filesystem::path& image) {
  ctx.report.details()["image"] = image.string();
  std::error_code ec;
  if (std::filesystem::is_directory(image, ec)) {
    ctx.report.fail(image.string() + " is a folder, not an image file");
    return Outcome::BadInputFile;
  }
  switch (ctx.session->LoadSourceImage(image)) {
    case workflows::LoadResult::Loaded:
      return Outcome::Success;
    case workflows::LoadResult::CannotOpen:
      ctx.report.fail("cannot read " + image.string());
      return Outcome::BadInputFile;
    case workflows::LoadResult::WrongSize: {
      const auto size = std::filesystem::file_size(image, ec);
      ctx.report.fail(image.string() + (ec ? std::string(" has the wrong size")
                                           : " is " + std::to_string(size) + " bytes") +
                      "; an image is exactly " + std::to_string(workflows::kImageSize) + " bytes");
      return Outcome::BadInputFile;
    }
  }
  return Outcome::BadInputFile;
}

}  // namespace emberline::cli
