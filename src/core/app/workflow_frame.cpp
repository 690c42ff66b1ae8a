// The workflow frame: a start handler on the UI thread clears the last result,
// disables the start buttons and starts a worker; the worker claims the
// camera, finds it again, runs one camera operation, reports its result in
// the status line, and the buttons come back. The start-up's search and the
// version query run in the same frame. Also the message map.

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

// The operator's one quick query: its answer is a box, it has no status texts.
void CEmberline_testDlg::OnBnClickedFwVersion() {
  static constexpr WorkflowRow kRow{Workflow::Version, {w::kCtlFwVersion, 0}, 1, 0, 0};
  startWorkflow(kRow);
}

void CEmberline_testDlg::findCameraAtStart() {
  static constexpr WorkflowRow kRow{Workflow::Startup, {0, 0}, 0, 0, 0};
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
  // An erase leaves a camera that does not start: only on the operator's word.
  if (row.workflow == Workflow::Erase && !view_.askYesNo(eraseQuestion(options_.language), false)) return;
  if (row.workflow == Workflow::Burn && !loadedImageStillCurrent()) return;
  // A result on screen belongs to the camera attached now: the last one goes
  // before anything else happens.
  if (row.workflow != Workflow::Startup) setStatusLine({});
  if (row.workflow != Workflow::Startup && row.workflow != Workflow::Version) hideStageRow();
  running_ = row.workflow;
  for (int id : row.ownButtons()) enable(id, false);
  for (int id : kStartButtons)
    if (!row.owns(id)) enable(id, false);
  // The worker's progress positions reach the screen at its rate.
  view_.setScreenTick([this] { showPostedProgress(); });
  view_.workflowStarted(row.workflow == Workflow::Burn || row.workflow == Workflow::Erase);
  workers_.start([this, &row] { runWorker(row); });
}

// On the worker. Every change to the dialog goes through the port.
void CEmberline_testDlg::runWorker(const WorkflowRow& row) {
  w::UiPort& ui = port();
  // The camera is this process's for the whole operation, discovery included.
  std::unique_ptr<CameraClaim> claim = options_.claim_camera ? options_.claim_camera() : nullptr;
  const bool found = session_->DiscoverCamera() == 0;
  int result = 0;
  if (found) {
    result = runOperation(row.workflow);
  } else {
    reportNoCamera(row, claim ? claim->busyHolder() : std::nullopt);
  }
  persistDevice();
  if (found && row.status_ok != 0) ui.setStatus(result ? row.status_ok : row.status_failed);
  const std::uint8_t chip_id = session_->chipId();
  const bool end_dialog = row.workflow == Workflow::Startup && !found && !(claim && claim->busyHolder());
  claim.reset();  // free for others before the dialog says the work is over

  // Enabling the buttons and ending the busy state is one step on the UI
  // thread, so no click can land between the two. It is the worker's last
  // call: after it the worker only returns.
  onUiThread([this, &row, result, chip_id, end_dialog] {
    view_.setScreenTick({});
    for (int id : row.ownButtons()) enable(id, true);
    for (int id : kStartButtons)
      if (!row.owns(id)) enable(id, true);
    running_ = Workflow::None;
    if (chip_id != 0 && chip_id_ != chip_id) {
      chip_id_ = chip_id;
      showIdentity();  // the version block is where this camera's chip keeps it
    }
    const std::optional<int> close = std::exchange(close_pending_, std::nullopt);
    if (end_dialog) {
      end_result_ = -1;
      view_.endDialog(-1);
    } else if (close) {
      // The operator asked to close meanwhile: the result first, then the window goes.
      if (row.status_ok != 0) {
        const std::string text = loadString(result ? row.status_ok : row.status_failed);
        setText(w::kCtlStatus, text);
        message(text, {}, result ? MessageIcon::Information : MessageIcon::Warning);
      } else {
        setStatusLine(withoutCloseNote(control(w::kCtlStatus).text));
      }
      view_.endDialog(*close);
    }
    view_.workflowEnded();
  });
}

void CEmberline_testDlg::reportNoCamera(const WorkflowRow& row, const std::optional<CameraHolder>& busy) {
  w::UiPort& ui = port();
  if (busy) {
    // Another program has it: the dialog stays, the operator knows whom to ask.
    ui.showFailure({w::FailureKind::CameraBusy, cameraBusyText(busy->pid, busy->program, options_.language), {}});
  } else if (row.workflow == Workflow::Startup) {
    const std::string advice = options_.no_camera_advice ? options_.no_camera_advice() : std::string();
    ui.showMessage(std::string(kMsgNoVideoDevice) + (advice.empty() ? "" : "\n\n" + advice));
  } else {
    // Nothing was done to any camera: the status line says why.
    onUiThread([this] { setStatusLine(std::string(kMsgNoVideoDevice)); });
  }
}

int CEmberline_testDlg::runOperation(Workflow workflow) {
  switch (workflow) {
    case Workflow::Burn:
      return session_->BurnRom();
    case Workflow::Erase:
      return session_->EraseFlash();
    case Workflow::Export:
      return exportIntoCurrentFolder();
    case Workflow::Startup: {
      std::uint8_t chip_id = 0;
      if (session_->ReadChipId(chip_id)) return 1;
      port().showFailure({session_->cameraGone() ? w::FailureKind::Unplugged : w::FailureKind::Refused,
                          std::string(kMsgChipIdFailed), {}});
      return 0;
    }
    case Workflow::Version:
      showFirmwareVersion();
      return 1;
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

void CEmberline_testDlg::showFirmwareVersion() {
  // The session says itself why it has no text ("Camera Init Failed!", ...).
  const std::optional<std::string> text = session_->FirmwareVersionText();
  if (text) port().showMessage(*text, std::string(kCaptionFwVersion));
}

}  // namespace emberline::app
