#include "gui/qt/station_main.h"

#include <QApplication>
#include <QMessageBox>
#include <QVBoxLayout>

#include "core/station/station_texts.h"
#include "frontend/station_inputs.h"
#include "platform/machine_hold.h"

namespace emberline::gui {

int runStationWindow(const std::string& image, const std::string& record, const std::string& device,
                     workflows::Language language) {
  frontend::StationInputs in = frontend::openStationInputs(image, record, device);
  if (!in.source) {
    QMessageBox::critical(nullptr, QString::fromStdString(station::stationText(language, station::StationText::Title)),
                          QString::fromStdString(in.error));
    return 2;
  }
  StationWindowSettings settings;
  settings.image = image;
  settings.record = record;
  settings.language = language;
  StationWindow window(std::move(settings), std::move(in.source), std::move(in.log));
  // Cameras may be plugged in at any time: the machine stays awake while the station is open.
  const auto hold = platform::holdMachine({platform::kBurningReason, {}});
  window.show();
  return QApplication::exec();
}

StationDialog::StationDialog(StationWindowSettings settings, std::unique_ptr<frontend::HotplugSource> source,
                             std::unique_ptr<frontend::RecordLog> record, QWidget* parent)
    : QDialog(parent) {
  setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
  window_ = new StationWindow(std::move(settings), std::move(source), std::move(record), this);
  setWindowTitle(window_->windowTitle());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(window_);
  resize(window_->size());
}

void openStationFromDialog(const std::filesystem::path& image, const std::string& record,
                           const std::string& dialog_device, workflows::Language language, QWidget* parent) {
  frontend::StationInputs in =
      frontend::openStationInputs(image, record, frontend::stationSourceFor(dialog_device));
  if (!in.source) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(station::stationText(language, station::StationText::Title)),
                    QString::fromStdString(in.error), QMessageBox::Ok, parent);
    box.exec();
    return;
  }
  StationWindowSettings settings;
  settings.image = image;
  settings.record = record;
  settings.language = language;
  StationDialog dialog(std::move(settings), std::move(in.source), std::move(in.log), parent);
  const auto hold = platform::holdMachine({platform::kBurningReason, {}});
  dialog.exec();
}

}  // namespace emberline::gui
