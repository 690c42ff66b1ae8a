#include "gui/qt/about_dialog.h"

#include <algorithm>

#include <QLabel>
#include <QPushButton>

#include "core/app/dialog_template.h"
#include "gui/qt/app_icon.h"
#include "gui/qt/control_widgets.h"

namespace emberline::gui {

namespace {

QString text(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

AboutDialog::AboutDialog(workflows::Language language, QWidget* parent) : QDialog(parent) {
  const app::AboutTemplate t = app::aboutTemplate(language);
  const app::DialogBaseUnits base = baseUnitsFor(font());
  const auto place = [&](QWidget* w, app::DialogRect r) {
    const app::PixelRect p = app::toPixels(r, base);
    w->setGeometry(p.x, p.y, p.width, p.height);
  };

  setWindowTitle(text(t.caption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("aboutIcon"));
  const app::PixelRect icon_box = app::toPixels({11, 14, 21, 20}, base);
  const int side = std::min(icon_box.width, icon_box.height);
  icon->setPixmap(applicationIcon().pixmap(side, side));
  place(icon, {11, 14, 21, 20});

  auto* title = new QLabel(text(t.title_line), this);
  title->setObjectName(QStringLiteral("aboutTitle"));
  place(title, {40, 14, t.width - 48, 8});
  auto* detail = new QLabel(text(t.detail_line), this);
  detail->setObjectName(QStringLiteral("aboutDetail"));
  place(detail, {40, 26, t.width - 48, 8});

  // Where this platform's font runs wider than the template allowed for, the
  // box grows so that both lines show whole.
  int extra = 0;
  for (QLabel* line : {title, detail}) {
    const int need = line->sizeHint().width() - line->width();
    if (need > 0) line->resize(line->sizeHint().width(), line->height());
    extra = std::max(extra, need);
  }

  auto* ok = new QPushButton(text(t.ok_caption), this);
  ok->setDefault(true);
  place(ok, {t.width - 57, 41, 50, 14});
  ok->move(ok->x() + extra, ok->y());
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  setFixedSize(app::dialogUnitsToPixelsX(t.width, base) + extra, app::dialogUnitsToPixelsY(t.height, base));
}

}  // namespace emberline::gui
