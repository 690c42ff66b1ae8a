#include "gui/qt/station_main.h"

#include <QApplication>
#include <QMessageBox>
#include <QVBoxLayout>

#include "frontend/device_selection.h"
#include "frontend/udev_source.h"
#include "core/station/station_texts.h"
#include "platform/file_replacement.h"
#include "platform/machine_hold.h"

namespace emberline::gui {

namespace {

struct StationInputs {
  std::unique_ptr<frontend::HotplugSource> source;
  std::unique_ptr<frontend::RecordLog> log;
  std::string error;
};

// `device`: empty for udev, or sim-dir:DIR. The record file is appended to,
// so it may be neither the image nor a camera's file.
StationInputs openInputs(const std::filesystem::path& image, const std::string& record, const std::string& device) {
  StationInputs in;
  if (!record.empty() && platform::sameFile(record, image)) {
    in.error = "IMAGE " + image.string() + " and --record " + record +
               " are the same file; an output never overwrites an input";
    return in;
  }
  if (!record.empty() && frontend::isSimFolderCamera(device, record)) {
    in.error = "--record " + record + " would be a camera of " + device + "; an output never overwrites a camera";
    return in;
  }
  if (device.rfind("sim-dir:", 0) == 0) {
    in.source = frontend::openSimFolder(device, &in.error);
  } else if (device.empty()) {
    in.source = frontend::openUdevSource(&in.error);
  } else {
    in.error = "the station finds the cameras itself: give no --device, or sim-dir:DIR";
  }
  if (in.source && !record.empty()) {
    in.log = frontend::RecordLog::open(record, &in.error);
    if (!in.log) in.source.reset();
  }
  return in;
}

// The station's source for a dialog on `device`: the folder of a simulated
// camera (with its latency), every camera udev shows otherwise.
std::string stationSourceFor(const std::string& device) {
  std::string ignored;
  const auto wanted = frontend::parseDeviceSpec(device, &ignored);
  if (!wanted || wanted->kind != frontend::DeviceSpec::Kind::Sim) return {};
  std::filesystem::path folder = wanted->sim_state.parent_path();
  if (folder.empty()) folder = ".";
  std::string text = "sim-dir:" + folder.string();
  if (wanted->latency.count() > 0) text += "?latency-us=" + std::to_string(wanted->latency.count());
  return text;
}

}  // namespace

int runStationWindow(const std::string& image, const std::string& record, const std::string& device,
                     workflows::Language language) {
  StationInputs in = openInputs(image, record, device);
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
  StationInputs in = openInputs(image, record, stationSourceFor(dialog_device));
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
