#pragma once

// The Qt dialog on a simulated camera, a watcher that answers modal boxes as
// an operator would, and a wait that keeps the event loop running.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <ostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/app/main_dialog.h"
#include "core/workflows/camera_session.h"
#include "gui/qt/emberline_dialog.h"
#include "sim/sim_camera.h"

class QFileDialog;

// Readable failure output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) {
  *os << '{';
  for (const QString& s : l) PrintTo(s, os), *os << ' ';
  *os << '}';
}

namespace emberline::gui {
namespace w = workflows;
}

namespace emberline::gui::testing {

// Closes every modal box that opens, recording what it said. Message boxes
// are recorded by their text ("caption: text" when the caption is not the
// dialog's own), other dialogs by their class name.
class ModalWatcher : public QObject {
 public:
  ModalWatcher();
  QStringList seen;
  // Runs once for each new message box; return false to leave it open for
  // now (it is asked again on the next poll).
  std::function<bool(QMessageBox*)> on_message;
  // Runs for a file dialog instead of cancelling it.
  std::function<void(QFileDialog*)> on_file_dialog;
  // Runs for any other modal dialog before it is accepted.
  std::function<void(QDialog*)> on_dialog;

 private:
  void poll();
  QTimer timer_;
  std::set<QObject*> recorded_;
};

// Runs the event loop until `done` holds or `timeout_ms` passed.
bool waitUntil(const std::function<bool()>& done, int timeout_ms = 30000);

// A temporary folder, removed with the test.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// `size` bytes: the family signature, then a pattern.
std::filesystem::path writeImage(const std::filesystem::path& path, std::size_t size = w::kImageSize);
std::vector<std::uint8_t> readFile(const std::filesystem::path& path);

// Drops `files` on the dialog as a file manager would.
void dropFiles(QWidget& target, const std::vector<std::filesystem::path>& files);

// The control ids whose widgets the dialog shows.
std::set<int> visibleControls(const EmberlineDialog& dialog);

struct GuiRig {
  explicit GuiRig(w::Language language = w::Language::English, bool with_camera = true);
  ~GuiRig();
  std::shared_ptr<sim::SimCamera> camera = std::make_shared<sim::SimCamera>();
  sim::SimDeviceList devices;
  std::unique_ptr<EmberlineDialog> dialog;
  ModalWatcher watcher;
};

}  // namespace emberline::gui::testing
