// emberline-station-screenshots [DIR]: renders the station window after four
// simulated cameras were burned at once (one of them with a flash too small
// for the image, its row saying where and why it failed), as
// DIR/station-{en,zh_CN}.png. Run it under a display
// server (xvfb-run) so that the real fonts and style are used.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>

#include <cstdio>

#include "frontend/hotplug.h"
#include "gui/qt/station_window.h"
#include "sim/sim_camera.h"

namespace {

using emberline::workflows::Language;

QString writeImage(const QDir& dir) {
  QByteArray image(0x20000, '\xFF');
  image.replace(0, 4, "QR5X");
  for (int i = 4; i < 0x18000; ++i) image[i] = static_cast<char>((i * 7) ^ (i >> 8));
  // The version block, where the cameras' chip keeps it: the window shows it.
  image.replace(0x01F3, 5, "QR5XS");
  image.replace(0x1E00, 30, "2026-12-06EM-12345672612061200");
  const QString path = dir.filePath(QStringLiteral("firmware.src"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) return {};
  return path;
}

bool makeCameras(const QDir& dir) {
  for (int i = 1; i <= 4; ++i) {
    emberline::sim::SimSettings settings;
    if (i == 3) settings.flash_size = 0x10000;  // a part too small: verification fails
    emberline::sim::SimCamera camera(settings);
    const auto path = dir.filePath(QStringLiteral("line-%1.sim").arg(i)).toStdString();
    if (camera.save(path) != 0) return false;
  }
  return true;
}

bool render(Language language, const QString& suffix, const QString& out, const QString& image, const QDir& work) {
  QDir cameras(work.filePath(QStringLiteral("cameras-") + suffix));
  cameras.removeRecursively();
  QDir().mkpath(cameras.path());
  if (!makeCameras(cameras)) return false;
  // Relative device names read better in the table.
  QDir::setCurrent(cameras.path());
  emberline::gui::StationWindowSettings settings;
  settings.image = image.toStdString();
  settings.language = language;
  std::string error;
  auto source = emberline::frontend::openSimFolder("sim-dir:.", &error);
  if (!source) return false;
  emberline::gui::StationWindow window(std::move(settings), std::move(source), nullptr);
  window.resize(1100, 260);
  window.show();
  window.startAll();
  QElapsedTimer timer;
  timer.start();
  while ((!window.idle() || window.board().totals().passed + window.board().totals().failed < 4) &&
         timer.elapsed() < 60000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  QCoreApplication::processEvents();
  const QString file = QDir(out).filePath(QStringLiteral("station-%1.png").arg(suffix));
  if (window.grab().save(file)) return true;
  std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out =
      QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots")).absolutePath();
  QDir().mkpath(out);
  QDir work(QDir::temp().filePath(QStringLiteral("emberline-station")));
  work.removeRecursively();
  QDir().mkpath(work.path());
  const QString image = writeImage(work);
  if (image.isEmpty()) return 1;
  bool ok = render(Language::English, QStringLiteral("en"), out, image, work);
  ok = render(Language::SimplifiedChinese, QStringLiteral("zh_CN"), out, image, work) && ok;
  QDir::setCurrent(QDir::tempPath());
  work.removeRecursively();
  return ok ? 0 : 1;
}
