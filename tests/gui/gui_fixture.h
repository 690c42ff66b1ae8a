#pragma once

// The Qt dialog on a simulated camera, a watcher that answers modal boxes as
// an operator would, and a wait that keeps the event loop running.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <vector>

#include "core/app/main_dialog.h"
#include "core/workflows/camera_session.h"
#include "gui/qt/emberline_dialog.h"
#include "sim/sim_camera.h"
#include "support/files.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << l.join('|').toStdString(); }

namespace emberline::gui {
namespace w = workflows;
}

namespace emberline::gui::testing {

// Answers every modal box that opens and records it: a message box by its
// text ("caption: text" when the caption is not the dialog's; a question
// "? text", answered `answer_yes`), any other dialog by its class name.
class ModalWatcher : public QObject {
 public:
  ModalWatcher() {
    connect(&timer_, &QTimer::timeout, this, &ModalWatcher::poll);
    timer_.start(5);
  }
  QStringList seen;
  QList<QMessageBox::Icon> icons;  // of every message box, in order
  QStringList details;             // each box's detailed text
  QList<bool> whole_titles;        // each box as wide as its title needs
  QList<bool> default_no;          // each question: No is the default
  bool answer_yes = false;
  std::function<bool(QMessageBox*)> on_message;      // false keeps the box open for now
  std::function<void(QFileDialog*)> on_file_dialog;  // default: cancel
  std::function<void(QDialog*)> on_dialog;           // then accepted

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      const bool question = box->button(QMessageBox::Ok) == nullptr;
      if (recorded_.insert(box).second) {
        const bool own = box->windowTitle() == box->parentWidget()->window()->windowTitle();
        seen << (question ? "? " : "") + (own ? box->text() : box->windowTitle() + ": " + box->text());
        icons << box->icon();
        details << box->detailedText();
        box->adjustSize();
        whole_titles << (box->width() >= titleWidth(box->windowTitle(), box->font()));
        if (question) default_no << (box->defaultButton() == box->button(QMessageBox::No));
      }
      if (on_message && !on_message(box)) return;
      recorded_.erase(box);
      box->button(question ? (answer_yes ? QMessageBox::Yes : QMessageBox::No) : QMessageBox::Ok)->click();
    } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
      on_file_dialog ? on_file_dialog(files) : files->reject();
    } else if (qobject_cast<EmberlineDialog*>(modal)) {
      // The dialog itself, run modally: the operator's own window.
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      seen << dialog->metaObject()->className();
      if (on_dialog) on_dialog(dialog);
      dialog->accept();
    }
  }
  QTimer timer_;
  std::set<QObject*> recorded_;
};

// Runs the event loop until `done` holds or the time is up.
inline bool waitUntil(const std::function<bool()>& done, int timeout_ms = 30000) {
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done() || clock.elapsed() > timeout_ms) loop.quit();
  });
  poll.start(5);
  if (!done()) loop.exec();
  return done();
}

// `size` bytes in a temporary folder: the family signature, a pattern, blank.
inline std::filesystem::path writeImage(const std::string& name, std::size_t size = w::kImageSize) {
  // One folder per test process: ctest runs the suite's cases side by side,
  // and one case rewriting an image another is loading would fail it.
  const auto dir = std::filesystem::temp_directory_path() /
                   ("emberline-gui-tests-" + std::to_string(QCoreApplication::applicationPid()));
  std::filesystem::create_directories(dir);
  std::vector<char> bytes(size, '\xFF');
  for (std::size_t i = 0; i < size && i < 0x14000; ++i)
    bytes[i] = i < 4 ? "QR5X"[i] : static_cast<char>(i * 31 + (i >> 10));
  std::ofstream(dir / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
  return dir / name;
}

using test::readFile;

// The operator's line of a failure, as a box shows it.
inline QString advice(w::FailureKind kind, w::Language language = w::Language::English) {
  return QString::fromUtf8(w::operatorAdvice(kind, language).data());
}

// Drags `files` onto the dialog and drops them, as a file manager would;
// returns once the drop event has been handled.
inline void sendDrop(QWidget& target, const std::vector<std::filesystem::path>& files) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const auto& f : files) urls << QUrl::fromLocalFile(QString::fromStdString(f.string()));
  mime.setUrls(urls);
  const QPoint where(target.width() / 2, target.height() / 2);
  QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &drop);
  ASSERT_TRUE(drop.isAccepted());
}

// Drops `files` and lets the dialog load them, as its event loop would.
inline void dropFiles(QWidget& target, const std::vector<std::filesystem::path>& files) {
  sendDrop(target, files);
  QCoreApplication::sendPostedEvents(&target, QEvent::MetaCall);
}

inline void click(EmberlineDialog& dialog, int id) {
  auto* button = qobject_cast<QPushButton*>(dialog.control(id));
  ASSERT_TRUE(button && button->isVisibleTo(&dialog) && button->isEnabled()) << id;
  button->click();
}

inline void selectTab(EmberlineDialog& dialog, int index) {
  dialog.tabControl()->tabBar()->setCurrentIndex(index);  // as the operator's click does
}

inline std::set<int> visibleControls(const EmberlineDialog& dialog) {
  std::set<int> ids;
  for (const app::ControlTemplate& c : app::mainDialogControls())
    if (dialog.control(c.id)->isVisibleTo(&dialog)) ids.insert(c.id);
  return ids;
}

struct GuiRig {
  explicit GuiRig(w::Language language = w::Language::English, bool with_camera = true) {
    if (with_camera) devices.add(camera);
    dialog = std::make_unique<EmberlineDialog>(devices, language);
  }
  // Shows the dialog once it has found the camera (on its worker).
  void open() {
    ASSERT_TRUE(dialog->initialise());
    dialog->show();
    ASSERT_TRUE(idle());
  }
  bool idle() { return waitUntil([&] { return !dialog->controller().busy(); }); }
  bool imageBlank() const {
    const auto image = dialog->controller().session()->image();
    return std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0xFF; });
  }
  bool flashHolds(const std::filesystem::path& file) const { return test::flashHolds(*camera, file); }

  std::shared_ptr<sim::SimCamera> camera = std::make_shared<sim::SimCamera>();
  sim::SimDeviceList devices;
  std::unique_ptr<EmberlineDialog> dialog;
  ModalWatcher watcher;
};

inline const std::set<int> kBurnPage{w::kCtlBrowse, w::kCtlImagePath, w::kCtlGo, w::kCtlImageIdentity,
                                     w::kCtlProgressData, w::kCtlStatus, w::kCtlTab};
inline const std::set<int> kAuxiliaryPage{w::kCtlEraseSf, w::kCtlRomExport, w::kCtlExportName, w::kCtlFwVersion,
                                          w::kCtlProgressData, w::kCtlStatus, w::kCtlTab};

}  // namespace emberline::gui::testing
