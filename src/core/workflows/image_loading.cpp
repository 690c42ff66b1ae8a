// Loading a source image: the file must hold exactly kImageSize bytes; the
// image buffer is replaced whole, or not at all.

#include <fstream>
#include <system_error>
#include <vector>

#include "core/workflows/camera_session.h"

namespace emberline::workflows {

LoadResult readSourceImage(const std::filesystem::path& path, std::vector<std::uint8_t>& image) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return LoadResult::CannotOpen;
  std::ifstream in(path, std::ios::binary);
  if (!in) return LoadResult::CannotOpen;

  // One byte more than an image, to tell "too long" from "exactly right"
  // without trusting a size the file system reports.
  std::vector<std::uint8_t> bytes(kImageSize + 1);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  // A read error must not leave 0xFF holes in what would be burnt.
  if (in.bad()) return LoadResult::CannotOpen;
  if (static_cast<std::size_t>(in.gcount()) != kImageSize) return LoadResult::WrongSize;
  bytes.resize(kImageSize);
  image.swap(bytes);
  return LoadResult::Loaded;
}

const char* loadFailureText(LoadResult result) {
  return result == LoadResult::WrongSize ? "It is not a Rom file!" : "Can't Open File!";
}

// The path box names the image a burn would write: it changes only once the
// new image is in the buffer, so a refused file leaves the earlier one named.
LoadResult CameraSession::LoadSourceImage(const std::filesystem::path& path) {
  std::vector<std::uint8_t> bytes;
  const LoadResult result = readSourceImage(path, bytes);
  if (result != LoadResult::Loaded) {
    fail(FailureKind::BadImage, loadFailureText(result), nullptr, path.string());
    return result;
  }
  replaceImage(std::move(bytes));
  ui_.setControlText(kCtlImagePath, path.string());
  ui_.setStatus(kStrClickGo);
  return LoadResult::Loaded;
}

void CameraSession::replaceImage(std::vector<std::uint8_t> image) {
  if (image.size() == kImageSize) image_.swap(image);
}

}  // namespace emberline::workflows
