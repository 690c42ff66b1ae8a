#pragma once

// The station window's two ways in: `emberline-gui --station IMAGE [--record
// FILE] [--device sim-dir:DIR]` shows it on its own until it is closed; the
// operator's dialog opens it modally from its window menu.

#include <QDialog>

#include <filesystem>
#include <memory>
#include <string>

#include "core/workflows/strings.h"
#include "frontend/hotplug.h"
#include "frontend/record_log.h"
#include "gui/qt/station_window.h"

namespace emberline::gui {

// `device` names where cameras come from: empty for udev, or sim-dir:DIR.
int runStationWindow(const std::string& image, const std::string& record, const std::string& device,
                     workflows::Language language);

// The station window inside a modal dialog: while it is open the dialog
// below it starts nothing, so no camera is driven by both. Closing it lets
// the burns in flight end first.
class StationDialog final : public QDialog {
  Q_OBJECT

 public:
  StationDialog(StationWindowSettings settings, std::unique_ptr<frontend::HotplugSource> source,
                std::unique_ptr<frontend::RecordLog> record, QWidget* parent = nullptr);
  StationWindow* window() const { return window_; }

 private:
  StationWindow* window_;
};

// Opens the station from the operator's dialog, which runs on `dialog_device`
// (its --device text): every camera udev shows, or for a simulated camera
// sim:DIR/NAME every simulated camera in DIR. A source or record file that
// cannot be opened is said in a box over `parent`. Returns once it is closed.
void openStationFromDialog(const std::filesystem::path& image, const std::string& record,
                           const std::string& dialog_device, workflows::Language language, QWidget* parent);

}  // namespace emberline::gui
