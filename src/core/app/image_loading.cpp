// Loading the source image: "Browse" and files dropped on the dialog.

#include "core/app/main_dialog.h"
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
  if (session_->LoadSourceImage(path) != w::LoadResult::Loaded) return false;
  loaded_image_ = path;
  return true;
}

void CEmberline_testDlg::OnBnClickedBrowse() {
  if (running_ == Workflow::Burn) {
    message(kMsgBusy);
    return;
  }
  const std::optional<std::filesystem::path> path = view_.chooseSourceFile(sourceFileDialog());
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
