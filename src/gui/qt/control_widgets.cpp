#include "gui/qt/control_widgets.h"

#include <algorithm>

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTextOption>

namespace emberline::gui {

namespace {

QRect pixelRect(const app::ControlTemplate& c, workflows::Language language, app::DialogBaseUnits base) {
  const app::PixelRect r = app::toPixels(c.rect(language), base);
  return {r.x, r.y, r.width, r.height};
}

QWidget* makePushButton(const app::ControlTemplate& c, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  // A button without the tab-stop style still takes focus when clicked.
  button->setFocusPolicy(c.has(app::kStyleTabStop) ? Qt::StrongFocus : Qt::ClickFocus);
  return button;
}

QWidget* makeEdit(const app::ControlTemplate& c, QWidget* parent) {
  if (c.has(app::kStyleMultiLine)) {
    // The status line: centred, borderless, on the dialog's own background.
    auto* edit = new QTextEdit(parent);
    edit->setReadOnly(c.has(app::kStyleReadOnly));
    edit->setFrameShape(c.has(app::kStyleBorder) ? QFrame::StyledPanel : QFrame::NoFrame);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->viewport()->setAutoFillBackground(false);
    edit->setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    QTextOption option(c.has(app::kStyleCentred) ? Qt::AlignHCenter : Qt::AlignLeft);
    option.setWrapMode(c.has(app::kStyleAutoHScroll) ? QTextOption::NoWrap : QTextOption::WordWrap);
    edit->document()->setDefaultTextOption(option);
    edit->document()->setDocumentMargin(1);
    edit->setAcceptDrops(false);
    edit->viewport()->setAcceptDrops(false);
    return edit;
  }
  auto* edit = new QLineEdit(parent);
  edit->setReadOnly(c.has(app::kStyleReadOnly));
  edit->setFrame(c.has(app::kStyleBorder));
  return edit;
}

QWidget* makeProgressBar(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setTextVisible(false);
  bar->setRange(0, 100);  // the native control's defaults
  bar->setValue(0);
  return bar;
}

QWidget* makeTabControl(QWidget* parent) {
  auto* tabs = new QTabWidget(parent);
  tabs->setFocusPolicy(Qt::StrongFocus);
  return tabs;
}

}  // namespace

app::DialogBaseUnits baseUnitsFor(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

QWidget* createControlWidget(const app::ControlTemplate& c, workflows::Language language,
                             app::DialogBaseUnits base, QWidget* parent) {
  const QString caption = QString::fromUtf8(c.caption(language).data(),
                                            static_cast<qsizetype>(c.caption(language).size()));
  QWidget* widget = nullptr;
  switch (c.kind) {
    case app::ControlKind::PushButton:
      widget = makePushButton(c, caption, parent);
      break;
    case app::ControlKind::Edit:
      widget = makeEdit(c, parent);
      break;
    case app::ControlKind::ProgressBar:
      widget = makeProgressBar(parent);
      break;
    case app::ControlKind::StaticText: {
      auto* label = new QLabel(caption, parent);
      label->setTextFormat(Qt::PlainText);  // text from a file or a camera is shown as it is
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      widget = label;
      break;
    }
    case app::ControlKind::TabControl:
      widget = makeTabControl(parent);
      break;
  }
  widget->setObjectName(QStringLiteral("control%1").arg(c.id));
  QRect geometry = pixelRect(c, language, base);
  // A stage label keeps its whole caption where this platform's font runs
  // wider than the template allowed for; the row leaves room to its right.
  if (c.kind == app::ControlKind::StaticText)
    geometry.setWidth(std::max(geometry.width(), widget->sizeHint().width()));
  widget->setGeometry(geometry);
  widget->setEnabled(!c.has(app::kStyleDisabled));
  // Files dropped anywhere reach the dialog, never a child.
  widget->setAcceptDrops(false);
  widget->setVisible(!c.has(app::kStyleHidden));
  return widget;
}

void setWidgetText(QWidget* widget, const QString& text) {
  if (auto* b = qobject_cast<QPushButton*>(widget)) {
    b->setText(text);
  } else if (auto* l = qobject_cast<QLabel*>(widget)) {
    l->setText(text);
  } else if (auto* e = qobject_cast<QLineEdit*>(widget)) {
    e->setText(text);
    e->setCursorPosition(0);
    // A path longer than its box is read whole by hovering over it.
    e->setToolTip(text);
  } else if (auto* t = qobject_cast<QTextEdit*>(widget)) {
    t->setPlainText(text);
  }
}

QString widgetText(const QWidget* widget) {
  if (auto* b = qobject_cast<const QPushButton*>(widget)) return b->text();
  if (auto* l = qobject_cast<const QLabel*>(widget)) return l->text();
  if (auto* e = qobject_cast<const QLineEdit*>(widget)) return e->text();
  if (auto* t = qobject_cast<const QTextEdit*>(widget)) return t->toPlainText();
  return {};
}

}  // namespace emberline::gui
