#pragma once

// The operator's dialog in Qt Widgets. It creates one widget per control of
// the dialog template, forwards the operator's actions to the controller and
// renders what the controller decides; it holds no behaviour of its own.
//
// Workers reach the widgets only through runOnUiThread, a blocking queued
// call onto the dialog's thread (a direct call on it), so every widget is
// touched on the UI thread and a worker's message box is shown there too.

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/app/dialog_view.h"
#include "core/app/main_dialog.h"
#include "core/app/worker_launcher.h"
#include "platform/machine_hold.h"

class QMenu;
class QMessageBox;
class QTabWidget;
class QToolButton;

namespace emberline::device {
class DeviceList;
}

namespace emberline::gui {

// Opens the station window on an image, modal over `parent`; returns once it
// is closed.
using StationOpener = std::function<void(const std::filesystem::path& image, QWidget* parent)>;

// How wide a message box must be so that the window manager shows its whole
// `title` in the title bar.
int titleWidth(const QString& title, const QFont& font);

class EmberlineDialog final : public QDialog, public app::DialogView {
  Q_OBJECT

 public:
  // Without `station` the window menu offers no station window; without
  // `claim` the camera is not locked (tests on a camera of their own).
  EmberlineDialog(device::DeviceList& devices, workflows::Language language,
                  std::function<std::string()> persist = {}, StationOpener station = {},
                  app::ClaimCamera claim = {}, QWidget* parent = nullptr);
  ~EmberlineDialog() override;

  // Runs the dialog's initialisation; the camera is looked for on the worker
  // afterwards. False when it ended the dialog already; result() then holds
  // the end result.
  bool initialise();
  // Initialises, runs the dialog modally and tears it down; the dialog's result
  // (-1 when no camera was found).
  int runModal();

  app::CEmberline_testDlg& controller() { return *controller_; }
  QWidget* control(int id) const;
  QString controlText(int id) const;
  QTabWidget* tabControl() const;
  // The button that stands in for the title bar's system menu.
  QToolButton* systemMenuButton() const { return system_menu_button_; }
  QMenu* systemMenu() const { return system_menu_; }

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
  void setScreenTick(std::function<void()> tick) override;
  void workflowStarted(bool writes_flash) override;
  void workflowEnded() override;

 public slots:
  void done(int result) override;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void createControls();
  void destroyController();
  void fitBox(QMessageBox& box) const;

  workflows::Language language_;
  StationOpener station_;
  app::ThreadLauncher workers_;
  std::unique_ptr<app::CEmberline_testDlg> controller_;
  std::map<int, QWidget*> controls_;
  QToolButton* system_menu_button_ = nullptr;
  QMenu* system_menu_ = nullptr;
  std::optional<int> init_end_result_;  // EndDialog during initialisation
  bool initialising_ = false;
  QTimer screen_tick_;  // runs tick_ while a workflow runs
  std::function<void()> tick_;
  std::unique_ptr<platform::MachineHold> machine_hold_;  // while a burn or an erase runs
};

}  // namespace emberline::gui
