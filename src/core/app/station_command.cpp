// The window menu's station item: the station window burns the image into
// every camera plugged in, the dialog's own among them.

#include "core/app/main_dialog.h"

namespace emberline::app {

// The station drives the dialog's camera too, so it opens only while no
// workflow runs, and the face holds the dialog until it is closed. It burns
// the image the dialog loaded, or one the operator chooses now.
void CEmberline_testDlg::openStationWindow() {
  if (!session_) return;
  if (busy()) {
    message(kMsgBusy);
    return;
  }
  std::filesystem::path image = loaded_.path;
  if (image.empty()) {
    const std::optional<std::filesystem::path> chosen = view_.chooseSourceFile(sourceFileDialog(options_.language));
    if (!chosen || chosen->empty()) return;
    image = *chosen;
  }
  view_.openStation(image);
}

}  // namespace emberline::app
