// Loading the source image: "Browse" and files dropped on the dialog. The path
// box and the identity under it always name the image a burn would write: a
// refused file leaves them (and the image) as they were.

#include <algorithm>

#include "core/app/main_dialog.h"
#include "core/app/operator_texts.h"
#include "core/workflows/camera_session.h"

namespace emberline::app {

namespace w = workflows;

bool CEmberline_testDlg::loadSourceImage(const std::filesystem::path& path) {
  if (!session_) return false;
  // The burn reads the image buffer on its worker; it must not change under it.
  if (running_ == Workflow::Burn) {
    message(kMsgBusy);
    return false;
  }
  std::vector<std::uint8_t> bytes;
  const w::LoadResult result = w::readSourceImage(path, bytes);
  if (result != w::LoadResult::Loaded) {
    failureMessage({w::FailureKind::BadImage, w::loadFailureText(result), path.string()});
    return false;
  }
  // No worker reads the buffer but the burn's.
  session_->replaceImage(std::move(bytes));
  loaded_.path = path;
  setText(w::kCtlImagePath, path.string());
  showIdentity();
  setStatusLine(loadString(w::kStrClickGo));
  return true;
}

// Two lines under the path box: the image's version block as the camera's
// chip keeps it, and its SHA-256 as an operator compares it.
void CEmberline_testDlg::showIdentity() {
  if (loaded_.path.empty() || !session_) return;
  loaded_.identity = station::identifyImage(session_->image(), chip_id_, options_.chip_text_decoder);
  setText(w::kCtlImageIdentity, loaded_.identity->version + "\nSHA-256 " + loaded_.identity->shortSha256());
}

bool CEmberline_testDlg::loadedImageStillCurrent() {
  if (loaded_.path.empty() || !loaded_.identity) return true;  // the burn itself says "No Source File!"
  std::vector<std::uint8_t> now;
  const auto image = session_->image();
  if (w::readSourceImage(loaded_.path, now) == w::LoadResult::Loaded &&
      std::equal(now.begin(), now.end(), image.begin(), image.end()))
    return true;
  return view_.askYesNo(imageChangedQuestion(loaded_.path, loaded_.identity->line(), options_.language), false);
}

void CEmberline_testDlg::OnBnClickedBrowse() {
  if (running_ == Workflow::Burn) {
    message(kMsgBusy);
    return;
  }
  const std::optional<std::filesystem::path> path = view_.chooseSourceFile(sourceFileDialog(options_.language));
  if (!path || path->empty()) return;
  loadSourceImage(*path);
}

void CEmberline_testDlg::OnDropFiles(const std::vector<std::filesystem::path>& files) {
  // Only the first file of a drop counts; its full name is used, however long.
  if (files.empty() || files.front().empty()) return;
  if (!loadSourceImage(files.front())) return;
  showBurnPage();
}

}  // namespace emberline::app
