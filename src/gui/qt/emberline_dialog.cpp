#include "gui/qt/emberline_dialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QThread>
#include <QToolButton>
#include <QUrl>

#include "frontend/device_advice.h"
#include "gui/qt/about_dialog.h"
#include "gui/qt/app_icon.h"
#include "gui/qt/control_widgets.h"

namespace emberline::gui {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// "Label(*.EXT)" already names its pattern; anything else gets it appended,
// which is how the Qt file dialog reads a filter.
QString nameFilter(const app::FileFilter& f) {
  const QString label = qs(f.label);
  const QString pattern = qs(f.pattern);
  return label.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')'))
             ? label
             : label + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

// About the screen's refresh rate: progress shows as smoothly as it can be seen.
constexpr int kScreenTickMs = 16;

}  // namespace

int titleWidth(const QString& title, const QFont& font) {
  // The title bar's font is usually the same size, often bold: allow for
  // that, and for the window manager's icon and buttons beside the title.
  QFont bold = font;
  bold.setBold(true);
  return QFontMetrics(bold).horizontalAdvance(title) + 4 * QFontMetrics(font).height() + 24;
}

EmberlineDialog::EmberlineDialog(device::DeviceList& devices, workflows::Language language,
                                 std::function<std::string()> persist, StationOpener station,
                                 app::ClaimCamera claim, QWidget* parent)
    : QDialog(parent), language_(language), station_(std::move(station)) {
  // A fixed frame with a title, a system menu and a close box; no minimise
  // or maximise box.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(qs(app::kMainDialogCaption));
  setAcceptDrops(true);
  createControls();
  connect(&screen_tick_, &QTimer::timeout, this, [this] {
    if (tick_) tick_();
  });

  app::DialogOptions options;
  options.language = language;
  options.persist = std::move(persist);
  options.station_window = static_cast<bool>(station_);
  options.claim_camera = std::move(claim);
  options.no_camera_advice = [&devices, language] { return frontend::noCameraAdvice(devices, language); };
  controller_ = std::make_unique<app::CEmberline_testDlg>(devices, *this, workers_, std::move(options));
}

EmberlineDialog::~EmberlineDialog() { destroyController(); }

void EmberlineDialog::createControls() {
  const app::DialogBaseUnits base = baseUnitsFor(font());
  QWidget* tabs = nullptr;
  for (const app::ControlTemplate& c : app::mainDialogControls()) {
    QWidget* w = createControlWidget(c, language_, base, this);
    controls_.emplace(c.id, w);
    if (auto* button = qobject_cast<QAbstractButton*>(w))
      connect(button, &QAbstractButton::clicked, this, [this, id = c.id] {
        if (controller_) controller_->OnCommand(id);
      });
    if (c.kind == app::ControlKind::TabControl) tabs = w;
  }
  // The tab control comes last in the template so that the page controls lie
  // above it.
  if (auto* tab = qobject_cast<QTabWidget*>(tabs)) {
    tab->lower();
    connect(tab, &QTabWidget::currentChanged, this,
            [this](int index) {
              if (controller_) controller_->OnTcnSelchangeTab(index);
            });
  }

  // This platform offers no title-bar menu to extend: the system menu is a
  // button with the window's icon in the top-left corner (and the dialog's
  // context menu).
  system_menu_ = new QMenu(this);
  system_menu_button_ = new QToolButton(this);
  system_menu_button_->setObjectName(QStringLiteral("systemMenuButton"));
  system_menu_button_->setAutoRaise(true);
  system_menu_button_->setPopupMode(QToolButton::InstantPopup);
  system_menu_button_->setMenu(system_menu_);
  system_menu_button_->setFocusPolicy(Qt::NoFocus);
  system_menu_button_->setAcceptDrops(false);
  const app::PixelRect r = app::toPixels({3, 3, 14, 14}, base);
  const int side = std::min(r.width, r.height);
  system_menu_button_->setGeometry(r.x, r.y, side, side);
  system_menu_button_->setIconSize(QSize(side - 4, side - 4));
  system_menu_button_->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
  system_menu_button_->hide();  // until the About item is added

  setFixedSize(app::dialogUnitsToPixelsX(app::kMainDialogWidth, base),
               app::dialogUnitsToPixelsY(app::kMainDialogHeight, base));
}

bool EmberlineDialog::initialise() {
  initialising_ = true;
  controller_->OnInitDialog();
  initialising_ = false;
  if (init_end_result_) {
    setResult(*init_end_result_);
    return false;
  }
  return true;
}

int EmberlineDialog::runModal() {
  int result = 0;
  if (initialise()) {
    result = exec();
  } else {
    result = *init_end_result_;
  }
  destroyController();
  return result;
}

void EmberlineDialog::destroyController() {
  if (!controller_) return;
  // A worker still reports through this dialog: let its calls in until it ends.
  while (controller_->busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  controller_->OnDestroy();
  controller_.reset();
}

QWidget* EmberlineDialog::control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QString EmberlineDialog::controlText(int id) const { return widgetText(control(id)); }

QTabWidget* EmberlineDialog::tabControl() const {
  return qobject_cast<QTabWidget*>(control(workflows::kCtlTab));
}

void EmberlineDialog::runOnUiThread(const std::function<void()>& fn) {
  if (QThread::currentThread() == thread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(this, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void EmberlineDialog::setControlVisible(int id, bool visible) {
  if (QWidget* w = control(id)) w->setVisible(visible);
}

void EmberlineDialog::setControlEnabled(int id, bool enabled) {
  if (QWidget* w = control(id)) w->setEnabled(enabled);
}

void EmberlineDialog::setControlText(int id, const std::string& text) {
  if (QWidget* w = control(id)) setWidgetText(w, QString::fromStdString(text));
}

void EmberlineDialog::setProgress(int id, int minimum, int maximum, int position) {
  auto* bar = qobject_cast<QProgressBar*>(control(id));
  if (!bar) return;
  if (bar->minimum() != minimum || bar->maximum() != maximum) bar->setRange(minimum, maximum);
  bar->setValue(position);
}

void EmberlineDialog::setDialogIcon() { setWindowIcon(applicationIcon()); }

void EmberlineDialog::addSystemMenuItem(unsigned command, const std::string& text) {
  QAction* action = system_menu_->addAction(QString::fromStdString(text));
  connect(action, &QAction::triggered, this, [this, command] {
    if (controller_) controller_->OnSysCommand(command);
  });
  system_menu_button_->setIcon(applicationIcon());
  system_menu_button_->setToolTip(action->text().remove(QLatin1Char('&')));
  system_menu_button_->show();
}

void EmberlineDialog::insertTab(int index, const std::string& text) {
  QTabWidget* tabs = tabControl();
  const QSignalBlocker quiet(tabs);
  auto* page = new QWidget;
  page->setAcceptDrops(false);
  tabs->insertTab(index, page, QString::fromStdString(text));
}

void EmberlineDialog::selectTab(int index) {
  QTabWidget* tabs = tabControl();
  const QSignalBlocker quiet(tabs);
  tabs->setCurrentIndex(index);
}

void EmberlineDialog::showMessage(const std::string& text, const std::string& caption,
                                  app::MessageIcon icon, const std::string& details) {
  QString body = QString::fromStdString(text);
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(icon == app::MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information,
                  caption.empty() ? windowTitle() : QString::fromStdString(caption), body,
                  QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  if (!details.empty()) box.setDetailedText(QString::fromStdString(details));
  fitBox(box);
  box.exec();
}

bool EmberlineDialog::askYesNo(const std::string& text, bool default_yes) {
  QMessageBox box(QMessageBox::Question, windowTitle(), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(default_yes ? QMessageBox::Yes : QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  fitBox(box);
  return box.exec() == QMessageBox::Yes;
}

// A box as wide as its whole title needs (Qt sizes it to its text alone, so
// a short text cut the title), with the dialog's icon.
void EmberlineDialog::fitBox(QMessageBox& box) const {
  box.setWindowIcon(windowIcon());
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (!grid) return;
  const int width = titleWidth(box.windowTitle(), box.font());
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                grid->columnCount());
}

std::optional<std::filesystem::path> EmberlineDialog::chooseSourceFile(
    const app::SourceFileDialog& settings) {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  QStringList filters;
  for (const app::FileFilter& f : settings.filters) filters << nameFilter(f);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.value(0));
  dialog.selectFile(qs(settings.initial_name));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return std::filesystem::path(QFile::encodeName(files.first()).toStdString());
}

void EmberlineDialog::showAbout() {
  AboutDialog about(language_, this);
  about.exec();
}

void EmberlineDialog::openStation(const std::filesystem::path& image) {
  if (station_) station_(image, this);
}

void EmberlineDialog::endDialog(int result) {
  if (initialising_) {
    init_end_result_ = result;  // the dialog closes once initialisation returns
    return;
  }
  // From the event loop, once the current handler (or a worker's last call)
  // has returned.
  QMetaObject::invokeMethod(this, [this, result] { done(result); }, Qt::QueuedConnection);
}

// The machine stays awake, and logind holds a shutdown back, while the flash
// is written; the burn itself runs on to its end.
void EmberlineDialog::workflowStarted(bool writes_flash) {
  if (writes_flash) machine_hold_ = platform::holdMachine({platform::kBurningReason, {}});
}

void EmberlineDialog::workflowEnded() { machine_hold_.reset(); }

void EmberlineDialog::setScreenTick(std::function<void()> tick) {
  tick_ = std::move(tick);
  if (!tick_) {
    screen_tick_.stop();
    return;
  }
  if (!screen_tick_.isActive()) screen_tick_.start(kScreenTickMs);
}

void EmberlineDialog::done(int result) {
  // The close box, Esc, Enter and endDialog all end here. While a workflow
  // runs, closing waits for it (the worker uses the dialog and the image
  // buffer); the controller ends the dialog once the operator saw the result.
  if (controller_ && !controller_->requestClose(result)) return;
  QDialog::done(result);
}

void EmberlineDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void EmberlineDialog::dropEvent(QDropEvent* event) {
  std::vector<std::filesystem::path> files;
  for (const QUrl& url : event->mimeData()->urls())
    files.emplace_back(QFile::encodeName(url.toLocalFile()).toStdString());
  // The program the file came from waits until the drop returns: accept and
  // release it first, load (and show any message box) afterwards.
  event->acceptProposedAction();
  QMetaObject::invokeMethod(
      this,
      [this, files = std::move(files)] {
        if (controller_) controller_->OnDropFiles(files);
      },
      Qt::QueuedConnection);
}

void EmberlineDialog::keyPressEvent(QKeyEvent* event) {
  // A focused button takes Enter itself and presses; anywhere else Enter ends
  // the dialog as its default button does (a running workflow is waited for).
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void EmberlineDialog::contextMenuEvent(QContextMenuEvent* event) {
  if (system_menu_->isEmpty()) return;
  system_menu_->exec(event->globalPos());
}

}  // namespace emberline::gui
