#pragma once

// The main dialog's behaviour, without a toolkit: what each control shows,
// the two tab pages, the status line, loading the source image, and the
// workflow frame (a start handler on the UI thread, a worker that runs one
// camera operation). A face creates its widgets from the template table,
// forwards the operator's actions to the handlers below and renders what the
// controller tells its DialogView.
//
// Threads: handlers run on the UI thread, which never talks to the camera:
// every camera operation (finding the camera and reading its chip id at
// start, each workflow, the firmware version) runs on a worker from the
// WorkerLauncher, under a camera claim (one process per camera). Everything a
// worker does to the dialog passes through DialogView::runOnUiThread, so the
// control state below is only ever touched on the UI thread. Progress positions are the exception: a worker leaves them
// in a ProgressMailbox without waiting, and the UI thread shows them at
// screen rate (DialogView::setScreenTick) and before every change that still
// waits, so they keep their place among the others.
// One device operation runs at a time: while a workflow runs, every start
// button is disabled and the start handlers and the version query refuse.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/app/camera_claim.h"
#include "core/app/dialog_template.h"
#include "core/app/dialog_view.h"
#include "core/app/progress_mailbox.h"
#include "core/app/worker_launcher.h"
#include "core/station/image_identity.h"
#include "core/workflows/strings.h"
#include "core/workflows/ui_port.h"
#include "core/workflows/version_block.h"

namespace emberline::device {
class Clock;
class DeviceList;
}  // namespace emberline::device

namespace emberline::workflows {
class CameraSession;
}

namespace emberline::app {

// System-menu commands: the About item, and the station window's item.
inline constexpr unsigned kIdmAboutBox = 0x0010;
inline constexpr unsigned kIdmStation = 0x0020;

// Messages of the dialog itself (the workflows bring their own).
inline constexpr std::string_view kMsgNoVideoDevice = "Can't find video device!";
inline constexpr std::string_view kMsgChipIdFailed = "GetChipIDValue Failed!";
inline constexpr std::string_view kCaptionFwVersion = "Get F/W Version";
inline constexpr std::string_view kMsgBusy = "Another task is running, please wait until it ends!";

struct ControlState {
  bool visible = true;
  bool enabled = true;
  std::string text;  // UTF-8
  int minimum = 0;   // progress bars
  int maximum = 100;
  int position = 0;
};

// What the worker runs: the start-up's search and chip-id read, a workflow,
// or the firmware-version query.
enum class Workflow { None, Startup, Burn, Erase, Export, Version };

struct DialogOptions {
  workflows::Language language = workflows::Language::English;
  device::Clock* clock = nullptr;  // the system clock when null
  // Runs after every device operation (on the thread that ran it) so that a
  // simulated camera's state is written back; returns a message to show, or
  // an empty string when all went well.
  std::function<std::string()> persist;
  // Where "Rom Export" writes; the program's current folder when empty.
  std::filesystem::path export_folder;
  // The face can open the station window (DialogView::openStation): the
  // window menu then offers it.
  bool station_window = false;
  // How the chip's narrow text becomes UTF-8 (Latin-1 when empty); a face
  // sets the system's own code page here.
  workflows::NarrowTextDecoder chip_text_decoder = {};
  // Takes the camera's lock for one operation (on the worker); no locking
  // when empty.
  ClaimCamera claim_camera = {};
  // What the operator can check when no camera is found at start-up, in
  // this platform's terms, shown below "Can't find video device!".
  std::function<std::string()> no_camera_advice = {};
};

class CEmberline_testDlg {
 public:
  CEmberline_testDlg(device::DeviceList& devices, DialogView& view, WorkerLauncher& workers,
                     DialogOptions options = {});
  ~CEmberline_testDlg();
  CEmberline_testDlg(const CEmberline_testDlg&) = delete;
  CEmberline_testDlg& operator=(const CEmberline_testDlg&) = delete;

  // --- handlers (UI thread) ---
  // Sets up the window, then finds the camera and reads its chip id on the
  // worker. Without a camera the operator is told, and the dialog ends with
  // -1 (endResult()); a camera busy in another process is said and the
  // dialog stays.
  void OnInitDialog();
  // BN_CLICKED routed through the message map; false when the id has no entry.
  bool OnCommand(int control_id);
  void OnBnClickedBrowse();
  void OnBnClickedGo();
  void OnBnClickedEraseSf();
  void OnBnClickedRomExport();
  void OnBnClickedFwVersion();
  // The files of one drop, in the order the drop reports them.
  void OnDropFiles(const std::vector<std::filesystem::path>& files);
  // The operator selected tab item `selected`; the result (*pResult) is 0.
  long OnTcnSelchangeTab(int selected);
  // True when the command was one of the dialog's own items (About, the
  // station window); false lets the toolkit handle it.
  bool OnSysCommand(unsigned id);
  // Waits for a running worker, then frees the session and its image buffer.
  void OnDestroy();
  // The operator closes the dialog (close box, Esc, Enter) with `result`.
  // True when it may end now. While a workflow runs the close waits: the
  // status line says so, and when the workflow ends its result is shown in a
  // box before the dialog ends with `result`.
  bool requestClose(int result);

  // --- state (UI thread) ---
  const ControlState& control(int id) const;
  int currentTab() const { return current_tab_; }
  Workflow runningWorkflow() const { return running_; }
  bool busy() const { return running_ != Workflow::None; }
  bool canClose() const { return !busy(); }
  std::optional<int> pendingClose() const { return close_pending_; }
  std::optional<int> endResult() const { return end_result_; }
  workflows::Language language() const { return options_.language; }
  std::string loadString(int string_id) const;
  int imageSize() const { return m_nImageSize; }
  // The file the image buffer was last loaded from; empty before a load.
  const std::filesystem::path& loadedImage() const { return loaded_.path; }
  // The loaded image's identity (version block, SHA-256); nullopt before a load.
  const std::optional<station::ImageIdentity>& loadedIdentity() const { return loaded_.identity; }
  // Null before construction finished and after OnDestroy.
  workflows::CameraSession* session() { return session_.get(); }
  // The port the workflows report through (any thread).
  workflows::UiPort& port();
  // How many times a worker has waited for the UI thread so far.
  std::uint64_t blockingUiCalls() const { return blocking_ui_calls_.load(std::memory_order_relaxed); }

 private:
  class Port;
  struct WorkflowRow;
  friend class Port;

  // The image in the buffer: where it came from and what it is.
  struct LoadedImage {
    std::filesystem::path path;
    std::vector<std::uint8_t> bytes;  // as loaded, to tell a changed file
    std::optional<station::ImageIdentity> identity;
  };

  // Control changes on the UI thread: record, then render. A stage-row
  // control keeps what the burn made of it while the other page is shown.
  void show(int id, bool visible);
  void render(int id, bool visible);
  void showStageRowOfTheBurn();
  void enable(int id, bool enabled);
  void setText(int id, const std::string& text);
  void setRange(int id, int minimum, int maximum);
  void setPosition(int id, int position);
  void message(std::string_view text, std::string_view caption = {},
               MessageIcon icon = MessageIcon::Warning, const std::string& details = {});
  // A failure: its text, the operator's line below it, the details apart.
  void failureMessage(const workflows::Failure& failure);
  // The status line := `text` (the waiting close noted below it).
  void setStatusLine(const std::string& text);
  // A status text, with the waiting close noted below it.
  std::string statusText(int string_id) const;
  std::string withCloseNote(const std::string& text) const;
  std::string withoutCloseNote(const std::string& text) const;
  // Runs `fn` on the UI thread after the progress positions posted before it.
  void onUiThread(const std::function<void()>& fn);
  void showPostedProgress();  // UI thread
  bool isUiThread() const { return std::this_thread::get_id() == ui_thread_; }

  void showBurnPage();
  void hideStageRow();
  bool loadSourceImage(const std::filesystem::path& path);
  void showIdentity();
  // At GO: the file the image came from still holds it, or the operator
  // agrees to burn the copy loaded before.
  bool loadedImageStillCurrent();
  void openStationWindow();
  void findCameraAtStart();
  void startWorkflow(const WorkflowRow& row);
  // On the worker: claims the camera, finds it and runs the row's work.
  void runWorker(const WorkflowRow& row);
  // The camera could not be claimed or found (worker): what the operator is
  // told. `busy` is who holds it, when another process does.
  void reportNoCamera(const WorkflowRow& row, const std::optional<CameraHolder>& busy);
  int runOperation(Workflow workflow);
  int exportIntoCurrentFolder();
  void showFirmwareVersion();
  void persistDevice();  // on the calling thread; reports through the port

  device::DeviceList& devices_;
  DialogView& view_;
  WorkerLauncher& workers_;
  DialogOptions options_;
  const std::thread::id ui_thread_ = std::this_thread::get_id();  // the thread that built the dialog
  ProgressMailbox progress_{workflows::kCtlProgressStage};
  std::atomic<std::uint64_t> blocking_ui_calls_{0};
  std::unique_ptr<Port> port_;
  std::unique_ptr<workflows::CameraSession> session_;
  std::map<int, ControlState> controls_;
  int current_tab_ = 0;
  int m_nImageSize = 0;
  LoadedImage loaded_;
  std::optional<std::uint8_t> chip_id_;  // the camera's, once a worker read it
  Workflow running_ = Workflow::None;
  std::optional<int> end_result_;
  std::set<int> stage_row_shown_;     // what the burn has shown of the stage row
  std::optional<int> close_pending_;  // a close that waits for the workflow
  bool destroyed_ = false;
};

}  // namespace emberline::app
