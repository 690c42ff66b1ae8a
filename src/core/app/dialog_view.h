#pragma once

// What the main dialog's behaviour needs from a toolkit: rendering of
// controls by id, the tab control, modal boxes, the file dialog, and a way to
// run code on the user-interface thread. The Qt face implements it; tests use
// a recording fake. Everything but runOnUiThread is called on the UI thread.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/app/dialog_template.h"

namespace emberline::app {

// The icon of a message box: a warning for a failure, information for
// anything the operator is only told (a result, the firmware version).
enum class MessageIcon { Warning, Information };

class DialogView {
 public:
  virtual ~DialogView() = default;

  // Runs `fn` on the UI thread and returns once it has run; runs it at once
  // when called on the UI thread. Workers reach the dialog only through this.
  virtual void runOnUiThread(const std::function<void()>& fn) = 0;

  // Control changes, already decided by the controller.
  virtual void setControlVisible(int id, bool visible) = 0;
  virtual void setControlEnabled(int id, bool enabled) = 0;
  virtual void setControlText(int id, const std::string& text) = 0;  // UTF-8
  virtual void setProgress(int id, int minimum, int maximum, int position) = 0;

  // The window's own furniture.
  virtual void setDialogIcon() = 0;
  // Adds the About item to the window's system menu, or wherever the
  // platform lets an operator reach it; `command` goes back to OnSysCommand.
  virtual void addSystemMenuItem(unsigned command, const std::string& text) = 0;
  virtual void insertTab(int index, const std::string& text) = 0;
  // Selects a tab from code; no selection-change notification follows.
  virtual void selectTab(int index) = 0;

  // A modal message with an OK button, centred on the dialog and carrying its
  // icon; `caption` empty means the dialog's title. `details` (the platform's
  // account of a failure: HRESULT, device) is for whoever files a bug: a face
  // keeps it out of the way (Qt: "Show Details...") but available.
  virtual void showMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                           const std::string& details) = 0;
  // A modal question with Yes and No; true for Yes. `default_yes` says which
  // button Enter presses.
  virtual bool askYesNo(const std::string& text, bool default_yes) = 0;
  // The file-open dialog; nullopt when the operator did not choose a file.
  virtual std::optional<std::filesystem::path> chooseSourceFile(const SourceFileDialog& settings) = 0;
  virtual void showAbout() = 0;
  // The station window burning `image` into every camera plugged in, modal
  // over the dialog: returns once the operator has closed it. Only called
  // when DialogOptions::station_window is set.
  virtual void openStation(const std::filesystem::path& image) { (void)image; }
  // Ends the dialog with `result` as soon as the current handler has returned.
  virtual void endDialog(int result) = 0;

  // A workflow's worker is about to start (UI thread). `writes_flash` for a
  // burn or an erase: the face keeps the machine awake and holds a shutdown
  // off until workflowEnded.
  virtual void workflowStarted(bool writes_flash) { (void)writes_flash; }
  // A workflow's worker has ended (UI thread).
  virtual void workflowEnded() {}

  // While a workflow runs, `tick` is to be called on the UI thread at screen
  // rate (about 60 times a second): it shows the worker's latest progress
  // positions. An empty function stops the ticks. Without ticks, positions
  // show whenever the worker next waits for the UI thread.
  virtual void setScreenTick(std::function<void()> tick) { (void)tick; }
};

}  // namespace emberline::app
