#include "gui/qt/station_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMetaObject>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "frontend/station_targets.h"

namespace emberline::gui {

namespace {

constexpr int kPollMs = 200;
// Device and port columns give up their width to the result beyond this.
constexpr int kWidestNameColumn = 180;

QString qs(const std::string& s) { return QString::fromStdString(s); }

station::JobSettings jobSettings(const StationWindowSettings& settings, frontend::RecordLog* record) {
  station::JobSettings job;
  job.image = settings.image;
  job.verify_full = settings.verify_full;
  if (record) job.keep_record = [record](const station::AttemptRecord& r) { return record->keep(r); };
  return job;
}

}  // namespace

StationWindow::StationWindow(StationWindowSettings settings, std::unique_ptr<frontend::HotplugSource> source,
                             std::unique_ptr<frontend::RecordLog> record, QWidget* parent)
    : QWidget(parent), source_(std::move(source)), record_(std::move(record)) {
  station::StationBoard::Hooks hooks;
  hooks.post = [this](std::function<void()> fn) {
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
  };
  hooks.target = [](const std::string& device, std::shared_ptr<std::atomic<bool>> unplugged) {
    std::string error;
    return frontend::makeJobTarget(device, &error, std::move(unplugged));
  };
  hooks.changed = [this] { render(); };

  totals_ = new QLabel(this);
  QFont bold = totals_->font();
  bold.setBold(true);
  totals_->setFont(bold);
  identity_ = new QLabel(this);
  identity_->setTextFormat(Qt::PlainText);
  identity_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  start_ = new QPushButton(this);
  stop_ = new QPushButton(this);
  clear_ = new QPushButton(this);
  connect(start_, &QPushButton::clicked, this, &StationWindow::startAll);
  connect(stop_, &QPushButton::clicked, this, &StationWindow::stop);
  connect(clear_, &QPushButton::clicked, this, &StationWindow::clear);

  table_ = new QTableWidget(0, station::kColumns, this);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->verticalHeader()->hide();
  QHeaderView* header = table_->horizontalHeader();
  header->setSectionResizeMode(QHeaderView::Interactive);
  // The reason of a failure is what the operator reads: it takes the room left.
  header->setSectionResizeMode(station::kColumnResult, QHeaderView::Stretch);
  header->setSectionResizeMode(station::kColumnTime, QHeaderView::ResizeToContents);
  header->setSectionResizeMode(station::kColumnChip, QHeaderView::ResizeToContents);
  table_->setColumnWidth(station::kColumnProgress, 100);
  table_->setColumnWidth(station::kColumnStage, 130);
  table_->setWordWrap(false);

  auto* top = new QHBoxLayout;
  top->addWidget(totals_, 1);
  top->addWidget(start_);
  top->addWidget(stop_);
  top->addWidget(clear_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(identity_);
  layout->addWidget(table_);
  resize(1280, 400);

  board_ = std::make_unique<station::StationBoard>(jobSettings(settings, record_.get()), settings.language,
                                                   std::move(hooks));
  setWindowTitle(qs(board_->title()));
  identity_->setText(qs(board_->identity()));
  start_->setText(qs(board_->buttonText(station::StationText::StartAll)));
  stop_->setText(qs(board_->buttonText(station::StationText::Stop)));
  clear_->setText(qs(board_->buttonText(station::StationText::Clear)));
  QStringList headers;
  for (int c = 0; c < station::kColumns; ++c) headers << qs(board_->header(static_cast<station::BoardColumn>(c)));
  table_->setHorizontalHeaderLabels(headers);

  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &StationWindow::pollCameras);
  timer_->start(kPollMs);
  pollCameras();
  render();
}

StationWindow::~StationWindow() {
  timer_->stop();
  // Jobs in flight end before the window's parts go; their queued events
  // die with the board.
  board_.reset();
}

void StationWindow::pollCameras() {
  for (const auto& event : source_->poll(std::chrono::milliseconds(0))) {
    if (event.plugged) {
      board_->plugged(event.device);
    } else {
      board_->unplugged(event.device);
    }
  }
}

void StationWindow::startAll() { board_->startAll(); }
void StationWindow::stop() { board_->stop(); }
void StationWindow::clear() { board_->clear(); }

void StationWindow::render() {
  if (!board_) return;
  const auto& rows = board_->rows();
  const bool reshaped = table_->rowCount() != static_cast<int>(rows.size());
  table_->setRowCount(static_cast<int>(rows.size()));
  const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const station::BoardRow& row = rows[static_cast<std::size_t>(r)];
    const std::string* cells[station::kColumns] = {&row.device_text, &row.port,   &row.chip_id, &row.stage,
                                                   nullptr,          &row.result, &row.time};
    for (int c = 0; c < station::kColumns; ++c) {
      if (cells[c] == nullptr) continue;
      QTableWidgetItem* item = table_->item(r, c);
      if (!item) table_->setItem(r, c, item = new QTableWidgetItem);
      item->setText(qs(*cells[c]));
      item->setToolTip(c == station::kColumnResult && !row.result_tooltip.empty() ? qs(row.result_tooltip)
                                                                                  : qs(*cells[c]));
      QColor colour = palette().color(QPalette::Text);
      if (row.unplugged) {
        colour = grey;
      } else if (row.state == station::RowState::Failed && (c == station::kColumnStage || c == station::kColumnResult)) {
        colour = QColor(192, 0, 0);
      } else if (row.state == station::RowState::Passed && c == station::kColumnResult) {
        colour = QColor(0, 128, 0);
      }
      item->setForeground(colour);
    }
    auto* bar = qobject_cast<QProgressBar*>(table_->cellWidget(r, station::kColumnProgress));
    if (!bar) {
      bar = new QProgressBar(table_);
      bar->setRange(0, 100);
      table_->setCellWidget(r, station::kColumnProgress, bar);
    }
    bar->setValue(row.percent);
    bar->setEnabled(!row.unplugged);
  }
  if (reshaped) {
    for (int c : {station::kColumnDevice, station::kColumnPort}) {
      table_->resizeColumnToContents(c);
      table_->setColumnWidth(c, std::min(table_->columnWidth(c), kWidestNameColumn));
    }
  }
  const station::BoardTotals totals = board_->totals();
  totals_->setText(qs(totals.text));
  start_->setEnabled(totals.can_start);
  stop_->setEnabled(totals.can_stop);
  clear_->setEnabled(totals.can_clear);
}

}  // namespace emberline::gui
