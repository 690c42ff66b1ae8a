// emberline-gui-screenshots [DIR]: renders the operator's dialog on a
// simulated camera in both languages, as DIR/<shot>-<en|zh_CN>.png:
//   burn       the Burn page after a burn, seen again after a page switch,
//              with the loaded image's identity under its path
//   auxiliary  the Auxiliary page after an export and an erase
//   erase-question  the question "Erase SF" asks first
//   closing    a close asked for during a burn: the status line says it waits
//   result     the box with the burn's result that follows, before the window goes
//   message    the box a file of the wrong size gets
// Run it under a display server (xvfb-run) so that the real fonts and style
// are used.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

#include "core/app/main_dialog.h"
#include "gui/qt/emberline_dialog.h"
#include "gui/qt/qt_translations.h"
#include "sim/sim_camera.h"

namespace {

using emberline::workflows::Language;

void waitUntil(const std::function<bool()>& done) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  QCoreApplication::processEvents();
}

bool save(QWidget& widget, const QString& file) {
  QCoreApplication::processEvents();
  if (widget.grab().save(file)) return true;
  std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
  return false;
}

// Photographs the next message box that opens, then presses its OK (or Yes).
class BoxCamera : public QObject {
 public:
  explicit BoxCamera(QString file) : file_(std::move(file)) {
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || done_) return;
      ok_ = file_.isEmpty() || save(*box, file_);
      done_ = true;
      QAbstractButton* answer = box->button(QMessageBox::Ok);
      box->button(answer ? QMessageBox::Ok : QMessageBox::Yes)->click();
    });
    timer_.start(50);
  }
  bool done() const { return done_; }
  bool ok() const { return ok_; }

 private:
  QString file_;
  QTimer timer_;
  bool done_ = false;
  bool ok_ = false;
};

// A firmware image of the family: the signature, a pattern, and a version
// block where the simulated camera's chip keeps it.
QString writeImage(const QDir& dir, const QString& name, int size) {
  QByteArray image(size, '\xFF');
  image.replace(0, 4, "QR5X");
  for (int i = 4; i < std::min(size, 0x18000); ++i) image[i] = static_cast<char>((i * 7) ^ (i >> 8));
  image.replace(0x01F3, 5, "QR5XS");
  image.replace(0x1E00, 30, "2026-12-06EM-12345672612061200");
  const QString path = dir.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) return {};
  return path;
}

struct Rig {
  explicit Rig(Language language) : dialog((devices.add(camera), devices), language) {}
  std::shared_ptr<emberline::sim::SimCamera> camera = std::make_shared<emberline::sim::SimCamera>();
  emberline::sim::SimDeviceList devices;
  emberline::gui::EmberlineDialog dialog;
};

bool render(Language language, const QString& suffix, const QDir& out, const QDir& work) {
  const auto shot = [&](const QString& name) { return out.filePath(name + '-' + suffix + ".png"); };
  const QString image = writeImage(work, QStringLiteral("firmware.src"), 0x20000);
  const QString odd = writeImage(work, QStringLiteral("firmware-old.bin"), 0x10000);
  if (image.isEmpty() || odd.isEmpty()) return false;
  bool ok = true;
  {
    Rig rig(language);
    auto& dialog = rig.dialog;
    if (!dialog.initialise()) return false;
    dialog.show();
    waitUntil([&] { return !dialog.controller().busy(); });  // the camera is found
    dialog.controller().OnDropFiles({QFile::encodeName(image).toStdString()});
    dialog.controller().OnBnClickedGo();
    waitUntil([&] { return !dialog.controller().busy(); });
    // Away and back: the stage row shows the burn as it ended.
    dialog.tabControl()->setCurrentIndex(1);
    dialog.tabControl()->setCurrentIndex(0);
    ok = save(dialog, shot(QStringLiteral("burn"))) && ok;

    dialog.tabControl()->setCurrentIndex(1);
    dialog.controller().OnBnClickedRomExport();
    waitUntil([&] { return !dialog.controller().busy(); });
    {
      BoxCamera question(shot(QStringLiteral("erase-question")));
      dialog.controller().OnBnClickedEraseSf();
      waitUntil([&] { return question.done() && !dialog.controller().busy(); });
      ok = question.ok() && ok;
    }
    ok = save(dialog, shot(QStringLiteral("auxiliary"))) && ok;

    BoxCamera box(shot(QStringLiteral("message")));
    dialog.controller().OnDropFiles({QFile::encodeName(odd).toStdString()});
    waitUntil([&] { return box.done(); });
    ok = box.ok() && ok;
  }
  {
    Rig rig(language);
    auto& dialog = rig.dialog;
    if (!dialog.initialise()) return false;
    dialog.show();
    waitUntil([&] { return !dialog.controller().busy(); });
    dialog.controller().OnDropFiles({QFile::encodeName(image).toStdString()});
    dialog.controller().OnBnClickedGo();
    dialog.close();  // put off until the burn has ended
    const QString burning = QString::fromStdString(dialog.controller().loadString(emberline::workflows::kStrBurning));
    waitUntil([&] { return dialog.controlText(emberline::workflows::kCtlStatus).startsWith(burning); });
    ok = save(dialog, shot(QStringLiteral("closing"))) && ok;
    BoxCamera box(shot(QStringLiteral("result")));
    waitUntil([&] { return box.done() && !dialog.isVisible(); });
    ok = box.ok() && ok;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QDir out(QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots")).absolutePath());
  QDir().mkpath(out.path());
  // A fixed folder, so the path boxes read the same in every rendering; the
  // export writes into the current folder, which keeps it out of the tree.
  QDir work(QDir::temp().filePath(QStringLiteral("emberline")));
  work.removeRecursively();
  QDir().mkpath(work.path());
  QDir::setCurrent(work.path());

  bool ok = render(Language::English, QStringLiteral("en"), out, work);
  {
    const auto qt_texts = emberline::gui::installQtTranslations(Language::SimplifiedChinese);
    ok = render(Language::SimplifiedChinese, QStringLiteral("zh_CN"), out, work) && ok;
  }
  work.removeRecursively();
  return ok ? 0 : 1;
}
