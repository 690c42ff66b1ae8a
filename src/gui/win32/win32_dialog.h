#pragma once

// The operator's dialog as a native Win32 dialog. The templates come from the
// program's resources (dialog 102, About box 100) in the chosen language; the
// dialog forwards the operator's actions to the controller and renders what
// the controller decides, holding no behaviour of its own.
//
// Workers reach the controls only through runOnUiThread: a message posted to
// the dialog, which runs the function on the dialog's thread (also while a
// message box of that thread is open), and a wait until it has run.

#include <windows.h>

#include <shellapi.h>

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

class Win32Dialog final : public app::DialogView {
 public:
  Win32Dialog(device::DeviceList& devices, workflows::Language language, HINSTANCE module,
              std::function<std::string()> persist = {}, device::Clock* clock = nullptr);
  ~Win32Dialog() override;
  Win32Dialog(const Win32Dialog&) = delete;
  Win32Dialog& operator=(const Win32Dialog&) = delete;

  // Creates the dialog and runs it modally on the calling thread; the
  // dialog's result (-1 when no camera was found).
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
  void showMessage(const std::string& text, const std::string& caption, app::MessageIcon icon) override;
  std::optional<std::filesystem::path> chooseSourceFile(const app::SourceFileDialog& settings) override;
  void showAbout() override;
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

  device::DeviceList& devices_;
  workflows::Language language_;
  HINSTANCE module_;
  std::function<std::string()> persist_;
  device::Clock* clock_;  // the system clock when null
  DWORD ui_thread_ = 0;
  HWND hwnd_ = nullptr;
  platform::UniqueIcon big_icon_;
  platform::UniqueIcon small_icon_;
  app::ThreadLauncher workers_;
  std::unique_ptr<app::CEmberline_testDlg> controller_;
  std::function<void()> screen_tick_;
  std::optional<int> init_end_result_;  // an end asked for during initialisation
  bool initialising_ = false;
  std::unique_ptr<platform::MachineHold> machine_hold_;
  std::unique_ptr<platform::win32::ShutdownBlock> shutdown_block_;
};

}  // namespace emberline::gui::win32
