// Loading a source image: the file must hold exactly kImageSize bytes; the
// image buffer is replaced whole, or not at all.

#include <fstream>
#include <system_error>
#include <vector>

#include "core/workflows/camera_session.h"

namespace emberline::workflows {

LoadResult CameraSession::LoadSourceImage(const std::filesystem::path& path) {
  ui_.setControlText(kCtlImagePath, path.string());

  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    fail("Can't Open File!");
    return LoadResult::CannotOpen;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    fail("Can't Open File!");
    return LoadResult::CannotOpen;
  }

  // One byte more than an image, to tell "too long" from "exactly right"
  // without trusting a size the file system reports.
  std::vector<std::uint8_t> bytes(kImageSize + 1);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) {
    // A read error must not leave 0xFF holes in what would be burnt.
    fail("Can't Open File!");
    return LoadResult::CannotOpen;
  }
  if (static_cast<std::size_t>(in.gcount()) != kImageSize) {
    fail("It is not a Rom file!");
    return LoadResult::WrongSize;
  }

  bytes.resize(kImageSize);
  image_.swap(bytes);
  ui_.setStatus(kStrClickGo);
  return LoadResult::Loaded;
}

}  // namespace emberline::workflows
