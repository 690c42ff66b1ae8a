#pragma once

// The station window in Qt: a rendering of the toolkit-free StationBoard (one
// row per camera plugged in, the totals, the image's identity) with "Start
// All", "Stop" and "Clear" forwarded to it. Cameras plugged in and out come
// from a hot-plug source polled on a timer; the engine's events reach the
// board on this window's thread through queued calls.

#include <QWidget>

#include <filesystem>
#include <memory>
#include <string>

#include "core/station/station_board.h"
#include "core/workflows/strings.h"
#include "frontend/hotplug.h"
#include "frontend/record_log.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace emberline::gui {

struct StationWindowSettings {
  std::filesystem::path image;
  bool verify_full = false;
  std::string record;  // empty: no record file
  workflows::Language language = workflows::Language::English;
};

class StationWindow final : public QWidget {
  Q_OBJECT

 public:
  // `record` may be null (no --record).
  StationWindow(StationWindowSettings settings, std::unique_ptr<frontend::HotplugSource> source,
                std::unique_ptr<frontend::RecordLog> record, QWidget* parent = nullptr);
  ~StationWindow() override;

  void startAll();
  void stop();
  void clear();
  // Looks for cameras plugged in or out now (the timer does it every 200 ms).
  void pollCameras();

  const station::StationBoard& board() const { return *board_; }
  QTableWidget* table() const { return table_; }
  QLabel* totals() const { return totals_; }
  QLabel* identity() const { return identity_; }
  bool idle() const { return board_->idle(); }

 private:
  void render();

  std::unique_ptr<frontend::HotplugSource> source_;
  std::unique_ptr<frontend::RecordLog> record_;
  QLabel* totals_;
  QLabel* identity_;
  QTableWidget* table_;
  QPushButton* start_;
  QPushButton* stop_;
  QPushButton* clear_;
  QTimer* timer_;
  std::unique_ptr<station::StationBoard> board_;  // last: its jobs report to the widgets above
};

}  // namespace emberline::gui
