#include "gui/qt/station_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>

#include "frontend/station_targets.h"
#include "gui/qt/station_texts.h"

namespace emberline::gui {

namespace {

enum Column { kDevice, kPort, kChip, kStage, kProgress, kResult, kTime, kColumns };

constexpr int kPollMs = 200;

}  // namespace

// Carries the engine's events from the jobs' threads onto the window's:
// queued, never blocking a job on the window.
class StationWindow::Relay final : public station::StationObserver {
 public:
  explicit Relay(StationWindow& window) : window_(&window) {}
  void onEvent(const station::JobEvent& event) override {
    std::optional<station::AttemptRecord> record;
    if (event.record != nullptr) record = *event.record;
    station::JobEvent copy = event;
    copy.record = nullptr;
    QMetaObject::invokeMethod(
        window_, [window = window_, copy, record] { window->apply(copy, record); }, Qt::QueuedConnection);
  }

 private:
  StationWindow* window_;
};

StationWindow::StationWindow(StationWindowSettings settings, std::unique_ptr<frontend::HotplugSource> source,
                             std::unique_ptr<frontend::RecordLog> record, QWidget* parent)
    : QWidget(parent),
      settings_(std::move(settings)),
      source_(std::move(source)),
      record_(std::move(record)),
      relay_(std::make_unique<Relay>(*this)) {
  const auto language = settings_.language;
  setWindowTitle(stationText(language, StationText::Title) + QStringLiteral(" - ") +
                 QString::fromStdString(settings_.image.filename().string()));

  totals_ = new QLabel(this);
  QFont bold = totals_->font();
  bold.setBold(true);
  totals_->setFont(bold);
  start_ = new QPushButton(stationText(language, StationText::StartAll), this);
  stop_ = new QPushButton(stationText(language, StationText::Stop), this);
  connect(start_, &QPushButton::clicked, this, &StationWindow::startAll);
  connect(stop_, &QPushButton::clicked, this, &StationWindow::stop);

  table_ = new QTableWidget(0, kColumns, this);
  table_->setHorizontalHeaderLabels({stationText(language, StationText::Device), stationText(language, StationText::Port),
                                     stationText(language, StationText::ChipId), stationText(language, StationText::Stage),
                                     stationText(language, StationText::Progress),
                                     stationText(language, StationText::Result), stationText(language, StationText::Time)});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setSectionResizeMode(kDevice, QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(kResult, QHeaderView::Stretch);
  table_->setColumnWidth(kProgress, 160);
  table_->setColumnWidth(kStage, 150);

  auto* top = new QHBoxLayout;
  top->addWidget(totals_, 1);
  top->addWidget(start_);
  top->addWidget(stop_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(table_);
  resize(960, 360);

  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &StationWindow::pollCameras);
  timer_->start(kPollMs);
  pollCameras();
}

StationWindow::~StationWindow() {
  timer_->stop();
  // Jobs in flight end before the window's parts go; their queued events
  // die with the window.
  for (auto& station : stations_) station->requestStop();
  stations_.clear();
}

int StationWindow::rowOf(const std::string& device) const {
  for (int row = 0; row < table_->rowCount(); ++row)
    if (table_->item(row, kDevice)->data(Qt::UserRole).toString().toStdString() == device) return row;
  return -1;
}

void StationWindow::addRow(const Camera& camera) {
  const int row = table_->rowCount();
  table_->insertRow(row);
  auto* device = new QTableWidgetItem(QString::fromStdString(camera.device));
  device->setData(Qt::UserRole, QString::fromStdString(camera.device));
  table_->setItem(row, kDevice, device);
  table_->setItem(row, kPort, new QTableWidgetItem(QString::fromStdString(camera.target.port)));
  for (int column : {kChip, kStage, kResult, kTime}) table_->setItem(row, column, new QTableWidgetItem);
  table_->item(row, kResult)->setText(stationText(settings_.language, StationText::Ready));
  auto* bar = new QProgressBar(table_);
  bar->setRange(0, 100);
  bar->setValue(0);
  table_->setCellWidget(row, kProgress, bar);
}

void StationWindow::pollCameras() {
  for (const auto& event : source_->poll(std::chrono::milliseconds(0))) {
    auto it = cameras_.find(event.device);
    if (event.plugged) {
      if (it != cameras_.end() && !it->second.gone) continue;
      if (it != cameras_.end()) {  // plugged in again before its last job ended
        cameras_.erase(it);
        table_->removeRow(rowOf(event.device));
      }
      Camera camera;
      camera.device = event.device;
      camera.unplugged = std::make_shared<std::atomic<bool>>(false);
      std::string error;
      auto target = frontend::makeJobTarget(event.device, &error, camera.unplugged);
      if (!target) continue;
      camera.target = std::move(*target);
      addRow(camera);
      cameras_.emplace(event.device, std::move(camera));
    } else if (it != cameras_.end()) {
      it->second.unplugged->store(true);
      it->second.gone = true;
      if (!it->second.running) {
        table_->removeRow(rowOf(event.device));
        cameras_.erase(it);
      } else {
        table_->item(rowOf(event.device), kStage)->setText(stationText(settings_.language, StationText::Unplugged));
      }
    }
  }
  // Earlier stations whose jobs have all ended are let go.
  for (std::size_t i = 0; i + 1 < stations_.size();) {
    if (stations_[i]->tally().running == 0) {
      stations_.erase(stations_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  refreshTotals();
}

void StationWindow::startAll() {
  if (stations_.empty() || stations_.back()->stopping()) {
    station::JobSettings settings;
    settings.image = settings_.image;
    settings.verify_full = settings_.verify_full;
    if (record_) settings.keep_record = [log = record_.get()](const station::AttemptRecord& r) { return log->keep(r); };
    stations_.push_back(std::make_unique<station::Station>(std::move(settings), *relay_));
  }
  stopping_ = false;
  for (auto it = cameras_.begin(); it != cameras_.end();) {
    if (it->second.gone && !it->second.running) {
      table_->removeRow(rowOf(it->first));
      it = cameras_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& [device, camera] : cameras_) {
    if (camera.burned || camera.gone) continue;
    camera.burned = true;
    camera.running = true;
    stations_.back()->start(camera.target);
  }
  refreshTotals();
}

void StationWindow::stop() {
  if (stations_.empty()) return;
  stations_.back()->requestStop();
  stopping_ = true;
  refreshTotals();
}

void StationWindow::apply(const station::JobEvent& event, std::optional<station::AttemptRecord> record) {
  const int row = rowOf(event.device);
  if (row < 0) return;
  auto* bar = static_cast<QProgressBar*>(table_->cellWidget(row, kProgress));
  using Kind = station::JobEvent::Kind;
  switch (event.kind) {
    case Kind::Started:
      table_->item(row, kResult)->setText({});
      break;
    case Kind::ChipId:
      table_->item(row, kChip)->setText(QString::asprintf("0x%02X", static_cast<unsigned>(*event.chip_id)));
      break;
    case Kind::Stage:
      if (event.stage == "save") break;
      table_->item(row, kStage)->setText(stageText(settings_.language, event.text));
      bar->setValue(0);
      break;
    case Kind::Progress:
      bar->setValue(event.percent);
      break;
    case Kind::Message:
      break;
    case Kind::Finished: {
      const bool passed = record->result == station::JobResult::Passed;
      ++(passed ? passed_ : failed_);
      if (passed) {
        bar->setValue(100);
        table_->item(row, kStage)->setText(stationText(settings_.language, StationText::Done));
      }
      QString text = resultText(settings_.language, record->result);
      if (!record->error.empty()) text += QStringLiteral(": ") + QString::fromStdString(record->error);
      table_->item(row, kResult)->setText(text);
      table_->item(row, kResult)->setForeground(passed ? QColor(0, 128, 0) : QColor(192, 0, 0));
      const double seconds = std::chrono::duration<double>(record->end - record->start).count();
      table_->item(row, kTime)->setText(QStringLiteral("%1 s").arg(seconds, 0, 'f', 1));
      // A camera unplugged during its burn keeps its row (and result) until the next "Start All".
      if (auto it = cameras_.find(event.device); it != cameras_.end()) it->second.running = false;
      break;
    }
  }
  refreshTotals();
}

station::StationTally StationWindow::tally() const {
  station::StationTally tally;
  tally.passed = passed_;
  tally.failed = failed_;
  for (const auto& [device, camera] : cameras_) tally.running += camera.running ? 1 : 0;
  return tally;
}

bool StationWindow::idle() const { return tally().running == 0; }

void StationWindow::refreshTotals() {
  std::size_t waiting = 0;
  for (const auto& [device, camera] : cameras_) waiting += (!camera.burned && !camera.gone) ? 1 : 0;
  const auto now = tally();
  QString text = stationText(settings_.language, StationText::Totals)
                     .arg(now.passed)
                     .arg(now.failed)
                     .arg(now.running)
                     .arg(waiting);
  if (stopping_ && now.running > 0) text += QStringLiteral("    ") + stationText(settings_.language, StationText::Stopping);
  totals_->setText(text);
  start_->setEnabled(waiting > 0);
  stop_->setEnabled(now.running > 0 && !stopping_);
}

}  // namespace emberline::gui
