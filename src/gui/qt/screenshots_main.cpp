// emberline-gui-screenshots [DIR]: renders the dialog's two pages in both
// languages after a burn, an export and an erase on a simulated camera, as
// DIR/{burn,auxiliary}-{en,zh_CN}.png. Run it under a display server
// (xvfb-run) so that the real fonts and style are used.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QTabWidget>
#include <QTranslator>

#include <cstdio>
#include <memory>

#include "core/app/main_dialog.h"
#include "gui/qt/emberline_dialog.h"
#include "sim/sim_camera.h"

namespace {

using emberline::workflows::Language;

void waitForWorkflow(emberline::gui::EmberlineDialog& dialog) {
  while (dialog.controller().busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QCoreApplication::processEvents();
}

bool save(QWidget& widget, const QString& file) {
  QCoreApplication::processEvents();
  if (widget.grab().save(file)) return true;
  std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
  return false;
}

// A firmware image of the family: the signature, then a pattern.
QString writeImage(const QDir& dir) {
  QByteArray image(0x20000, '\xFF');
  image.replace(0, 4, "QR5X");
  for (int i = 4; i < 0x18000; ++i) image[i] = static_cast<char>((i * 7) ^ (i >> 8));
  const QString path = dir.filePath(QStringLiteral("firmware.src"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) return {};
  return path;
}

bool render(Language language, const QString& suffix, const QString& out, const QString& image) {
  auto camera = std::make_shared<emberline::sim::SimCamera>();
  emberline::sim::SimDeviceList devices;
  devices.add(camera);

  emberline::gui::EmberlineDialog dialog(devices, language);
  if (!dialog.initialise()) return false;
  dialog.show();
  dialog.controller().OnDropFiles({QFile::encodeName(image).toStdString()});
  dialog.controller().OnBnClickedGo();
  waitForWorkflow(dialog);
  if (!save(dialog, QDir(out).filePath(QStringLiteral("burn-%1.png").arg(suffix)))) return false;

  dialog.tabControl()->setCurrentIndex(1);
  dialog.controller().OnBnClickedRomExport();
  waitForWorkflow(dialog);
  dialog.controller().OnBnClickedEraseSf();
  waitForWorkflow(dialog);
  return save(dialog, QDir(out).filePath(QStringLiteral("auxiliary-%1.png").arg(suffix)));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out =
      QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots")).absolutePath();
  QDir().mkpath(out);
  // A fixed folder, so the path box reads the same in every rendering; the
  // export writes into the current directory, which keeps it out of the tree.
  QDir work(QDir::temp().filePath(QStringLiteral("emberline")));
  work.removeRecursively();
  QDir().mkpath(work.path());
  const QString image = writeImage(work);
  if (image.isEmpty()) return 1;
  QDir::setCurrent(work.path());

  QTranslator qt_texts;
  bool ok = render(Language::English, QStringLiteral("en"), out, image);
  if (qt_texts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qt_texts);
  ok = render(Language::SimplifiedChinese, QStringLiteral("zh_CN"), out, image) && ok;
  work.removeRecursively();
  return ok ? 0 : 1;
}
