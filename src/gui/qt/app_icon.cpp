#include "gui/qt/app_icon.h"

#include <QDir>

// The icon resource lives in a static library; make sure it is registered.
static void registerIconResource() { Q_INIT_RESOURCE(icon); }

namespace emberline::gui {

QIcon applicationIcon() {
  static const QIcon icon = [] {
    registerIconResource();
    QIcon i;
    for (int size : {16, 32, 48, 64, 256})
      i.addFile(QStringLiteral(":/icon/emberline-%1.png").arg(size), QSize(size, size));
    return i;
  }();
  return icon;
}

}  // namespace emberline::gui
