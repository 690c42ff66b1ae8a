#include "gui/qt/station_main.h"

#include <QApplication>
#include <QMessageBox>

#include "frontend/record_log.h"
#include "frontend/udev_source.h"
#include "gui/qt/station_window.h"
#include "gui/qt/station_texts.h"

namespace emberline::gui {

int runStationWindow(const std::string& image, const std::string& record, const std::string& device,
                     workflows::Language language) {
  const QString title = stationText(language, StationText::Title);
  std::string error;
  std::unique_ptr<frontend::HotplugSource> source;
  if (device.rfind("sim-dir:", 0) == 0) {
    source = frontend::openSimFolder(device, &error);
  } else if (device.empty()) {
    source = frontend::openUdevSource(&error);
  } else {
    error = "the station finds the cameras itself: give no --device, or sim-dir:DIR";
  }
  std::unique_ptr<frontend::RecordLog> log;
  if (source && !record.empty()) log = frontend::RecordLog::open(record, &error);
  if (!source || (!record.empty() && !log)) {
    QMessageBox::critical(nullptr, title, QString::fromStdString(error));
    return 2;
  }
  StationWindowSettings settings;
  settings.image = image;
  settings.record = record;
  settings.language = language;
  StationWindow window(std::move(settings), std::move(source), std::move(log));
  window.show();
  return QApplication::exec();
}

}  // namespace emberline::gui
