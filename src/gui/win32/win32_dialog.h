#pragma once

// The operator's dialog as a native Win32 dialog. The templates come from the
// program's resources (dialog 102, About box 100) in the chosen language; the
// dialog forwards the operator's actions to the controller and renders what
// the controller decides, holding no behaviour of its own.
//
// The dialog's thread is a single-threaded apartment for its whole life
// (OleInitialize before the window exists), as the shell's file dialog and
// drag and drop want it; it never talks to a camera. Camera work runs on one
// worker thread of its own, which joins the multithreaded apartment the
// transport's objects live in. Every call from that worker (or from a drop
// handled later) reaches the dialog's thread one way: a function posted to
// the dialog as a message, run there (also while a box of that thread is
// open), waited for when the worker needs it done.

#include <windows.h>

#include <shellapi.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/app/dialog_view.h"
#include "core/app/main_dialog.h"
#include "core/app/worker_launcher.h"
#include "core/workflows/strings.h"
#include "platform/machine_hold.h"
#include "platform/win32/machine_hold_windows.h"
#include "platform/windows_handles.h"

namespace emberline::device {
class Clock;
class DeviceList;
}  // namespace emberline::device

namespace emberline::gui::win32 {

// The resources' language for `language`: 1033 or 2052.
LANGID resourceLanguage(workflows::Language language);

// A dialog template of the module in exactly that language, or nullptr.
const DLGTEMPLATE* findDialogTemplate(HINSTANCE module, int dialog_id, LANGID language);

// Opens the station window on an image, modal over `owner`; returns once it
// is closed.
using StationOpener = std::function<void(const std::filesystem::path& image, HWND owner)>;

class Win32Dialog final : public app::DialogView {
 public:
  // Without `station` the system menu offers no station window.
  Win32Dialog(device::DeviceList& devices, workflows::Language language, HINSTANCE module,
              std::function<std::string()> persist = {}, device::Clock* clock = nullptr,
              app::ClaimCamera claim = {}, StationOpener station = {});
  ~Win32Dialog() override;
  Win32Dialog(const Win32Dialog&) = delete;
  Win32Dialog& operator=(const Win32Dialog&) = delete;

  // Makes the calling thread a single-threaded apartment, creates the dialog
  // and runs it modally; the dialog's result (-1 when no camera was found).
  int runModal();

  // The dialog window while it runs (null before and after).
  HWND window() const { return hwnd_; }
  app::CEmberline_testDlg* controller() { return controller_.get(); }

  // --- app::DialogView ---
  void runOnUiThread(const std::function<void()>& fn) override;
  void setControlVisible(int id, bool visible) override;
  void setControlEnabled(int id, bool enabled) override;
  void setControlText(int id, const std::string& text) override;
  void setProgress(int id, int minimum, int maximum, int position) override;
  void setDialogIcon() override;
  void addSystemMenuItem(unsigned command, const std::string& text) override;
  void insertTab(int index, const std::string& text) override;
  void selectTab(int index) override;
  void showMessage(const std::string& text, const std::string& caption, app::MessageIcon icon,
                   const std::string& details) override;
  bool askYesNo(const std::string& text, bool default_yes) override;
  std::optional<std::filesystem::path> chooseSourceFile(const app::SourceFileDialog& settings) override;
  void showAbout() override;
  void openStation(const std::filesystem::path& image) override;
  void endDialog(int result) override;
  // Calls `tick` at screen rate on the dialog's thread while it is set.
  void setScreenTick(std::function<void()> tick) override;
  // While a burn or an erase runs: the machine stays awake, and a shutdown
  // or log-off waits with the reason shown (WM_QUERYENDSESSION refused).
  void workflowStarted(bool writes_flash) override;
  void workflowEnded() override;

 private:
  static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam);
  void initialise(HWND hwnd);
  void dropFiles(HDROP drop);
  void close(int result);
  void tearDown();
  // Runs `fn` on the dialog's thread later; `done`, when given, is signalled
  // once it has run. False when it could not be posted.
  bool post(std::function<void()> fn, HANDLE done = nullptr);
  // A message box of this dialog: centred on it, with its icon.
  int messageBox(const std::wstring& text, const std::wstring& title, UINT style);

  device::DeviceList& devices_;
  workflows::Language language_;
  HINSTANCE module_;
  std::function<std::string()> persist_;
  device::Clock* clock_;  // the system clock when null
  app::ClaimCamera claim_;
  StationOpener station_;
  DWORD ui_thread_ = 0;
  HWND hwnd_ = nullptr;
  platform::UniqueIcon big_icon_;
  platform::UniqueIcon small_icon_;
  app::WorkerThread workers_;
  std::unique_ptr<app::CEmberline_testDlg> controller_;
  std::function<void()> screen_tick_;
  std::optional<int> init_end_result_;  // an end asked for during initialisation
  bool initialising_ = false;
  std::unique_ptr<platform::MachineHold> machine_hold_;
  std::unique_ptr<platform::win32::ShutdownBlock> shutdown_block_;
};

}  // namespace emberline::gui::win32
