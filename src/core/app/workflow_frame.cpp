// The workflow frame: a start handler on the UI thread finds the camera again
// and starts a worker; the worker disables the start buttons, runs one camera
// operation, reports its result in the status line and enables them again.
// Also the message map and the version query, the other users of the device.

#include <algorithm>
#include <array>
#include <filesystem>
#include <span>
#include <system_error>
#include <utility>

#include "core/app/export_folder.h"
#include "core/app/main_dialog.h"
#include "core/app/operator_texts.h"
#include "core/workflows/camera_session.h"
#include "core/workflows/version_block.h"

namespace emberline::app {

namespace w = workflows;

namespace {

// Every control that starts a device operation; all are disabled while one runs.
constexpr std::array<int, 4> kStartButtons{w::kCtlGo, w::kCtlEraseSf, w::kCtlRomExport,
                                           w::kCtlFwVersion};

}  // namespace

struct CEmberline_testDlg::WorkflowRow {
  Workflow workflow;
  std::array<int, 2> own;  // the row's own buttons, in the order they change
  std::size_t own_count;
  int status_ok;
  int status_failed;

  std::span<const int> ownButtons() const { return {own.data(), own_count}; }
  bool owns(int id) const {
    const auto b = ownButtons();
    return std::find(b.begin(), b.end(), id) != b.end();
  }
};

bool CEmberline_testDlg::OnCommand(int control_id) {
  // BN_CLICKED entries of the message map. "Get Rom Type" and "Rename" are
  // inert: they stay hidden and disabled and have no entry.
  struct Entry {
    int id;
    void (CEmberline_testDlg::*handler)();
  };
  static constexpr std::array<Entry, 5> kMap{{
      {w::kCtlBrowse, &CEmberline_testDlg::OnBnClickedBrowse},
      {w::kCtlGo, &CEmberline_testDlg::OnBnClickedGo},
      {w::kCtlEraseSf, &CEmberline_testDlg::OnBnClickedEraseSf},
      {w::kCtlRomExport, &CEmberline_testDlg::OnBnClickedRomExport},
      {w::kCtlFwVersion, &CEmberline_testDlg::OnBnClickedFwVersion},
  }};
  for (const Entry& e : kMap) {
    if (e.id == control_id) {
      (this->*e.handler)();
      return true;
    }
  }
  return false;
}

// The frame's table: start button, buttons disabled while running, status texts.
void CEmberline_testDlg::OnBnClickedGo() {
  static constexpr WorkflowRow kRow{
      Workflow::Burn, {w::kCtlGo, w::kCtlBrowse}, 2, w::kStrBurnSucceeded, w::kStrBurnFailed};
  startWorkflow(kRow);
}

void CEmberline_testDlg::OnBnClickedEraseSf() {
  static constexpr WorkflowRow kRow{
      Workflow::Erase, {w::kCtlEraseSf, 0}, 1, w::kStrEraseSucceeded, w::kStrEraseFailed};
  startWorkflow(kRow);
}

void CEmberline_testDlg::OnBnClickedRomExport() {
  static constexpr WorkflowRow kRow{
      Workflow::Export, {w::kCtlRomExport, 0}, 1, w::kStrExportSucceeded, w::kStrExportFailed};
  startWorkflow(kRow);
}

void CEmberline_testDlg::startWorkflow(const WorkflowRow& row) {
  if (!session_) return;
  // One device operation at a time. The start buttons are disabled while a
  // workflow runs; this catches what gets past them.
  if (busy()) {
    message(kMsgBusy);
    return;
  }
  hideStageRow();
  // Without a camera nothing more happens and nothing is said.
  if (session_->DiscoverCamera() != 0) return;
  running_ = row.workflow;
  // The worker's progress positions reach the screen at its rate.
  view_.setScreenTick([this] { showPostedProgress(); });
  view_.workflowStarted(row.workflow == Workflow::Burn || row.workflow == Workflow::Erase);
  workers_.start([this, &row] { runWorker(row); });
}

// On the worker. Every change to the dialog goes through the port.
void CEmberline_testDlg::runWorker(const WorkflowRow& row) {
  w::UiPort& ui = port();
  for (int id : row.ownButtons()) ui.enableControl(id, false);
  for (int id : kStartButtons)
    if (!row.owns(id)) ui.enableControl(id, false);

  const int result = runOperation(row.workflow);
  persistDevice();
  ui.setStatus(result ? row.status_ok : row.status_failed);

  // Enabling the buttons and ending the busy state is one step on the UI
  // thread, so no click can land between the two. It is the worker's last
  // call: after it the worker only returns.
  onUiThread([this, &row, result] {
    view_.setScreenTick({});
    for (int id : row.ownButtons()) enable(id, true);
    for (int id : kStartButtons)
      if (!row.owns(id)) enable(id, true);
    running_ = Workflow::None;
    if (const std::optional<int> close = std::exchange(close_pending_, std::nullopt)) {
      // The operator asked to close meanwhile: the result first, then the window goes.
      const std::string text = loadString(result ? row.status_ok : row.status_failed);
      setText(w::kCtlStatus, text);
      message(text, {}, result ? MessageIcon::Information : MessageIcon::Warning);
      view_.endDialog(*close);
    }
    view_.workflowEnded();
  });
}

int CEmberline_testDlg::runOperation(Workflow workflow) {
  switch (workflow) {
    case Workflow::Burn:
      return session_->BurnRom();
    case Workflow::Erase:
      return session_->EraseFlash();
    case Workflow::Export:
      return exportIntoCurrentFolder();
    case Workflow::None:
      break;
  }
  return 0;
}

// The export goes into the export folder (the program's current one unless
// the face chose another) under the name the version gives. The operator
// sees the full path in the name box, and a folder that cannot take the file
// is named, with the reason, before the flash is read.
int CEmberline_testDlg::exportIntoCurrentFolder() {
  std::string name;
  if (!session_->BuildExportFileName(name)) name = w::kDefaultExportName;
  std::error_code ec;
  std::filesystem::path folder = options_.export_folder;
  if (folder.empty()) folder = std::filesystem::current_path(ec);
  if (!ec) folder = std::filesystem::absolute(folder, ec);
  const std::optional<std::string> problem = ec ? ec.message() : folderWriteProblem(folder);
  if (problem) {
    port().showMessage(exportFolderText(folder, *problem, options_.language), {});
    return 0;
  }
  return session_->ExportRom(folder / name);
}

// Runs on the UI thread and blocks it while the library reads, as the
// operator's one quick query.
void CEmberline_testDlg::OnBnClickedFwVersion() {
  if (!session_) return;
  if (busy()) {
    message(kMsgBusy);
    return;
  }
  if (session_->DiscoverCamera() != 0) return;
  // The session says itself why it has no text ("Camera Init Failed!", ...).
  const std::optional<std::string> text = session_->FirmwareVersionText();
  persistDevice();
  if (text) message(*text, kCaptionFwVersion, MessageIcon::Information);
}

}  // namespace emberline::app
