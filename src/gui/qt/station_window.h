#pragma once

// The station window: one row per camera plugged in (device, port, chip id,
// stage, progress bar, result, time), the totals on top, "Start All" and
// "Stop". Cameras come and go as they are plugged in and out; each is burned
// once per plug-in. It drives the same station engine as `emberline burn`
// and `watch`: the engine's events arrive on the jobs' threads and are
// queued onto the window's.

#include <QWidget>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/station/station.h"
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
  // Looks for cameras plugged in or out now (the timer does it every 200 ms).
  void pollCameras();

  QTableWidget* table() const { return table_; }
  QLabel* totals() const { return totals_; }
  station::StationTally tally() const;
  // Rows waiting for "Start All" plus jobs running.
  bool idle() const;

 private:
  struct Camera {
    std::string device;
    station::JobTarget target;
    std::shared_ptr<std::atomic<bool>> unplugged;
    bool burned = false;   // once per plug-in
    bool running = false;
    bool gone = false;     // unplugged; the row goes once its job has ended
  };
  class Relay;

  void apply(const station::JobEvent& event, std::optional<station::AttemptRecord> record);
  int rowOf(const std::string& device) const;
  void addRow(const Camera& camera);
  void refreshTotals();

  StationWindowSettings settings_;
  std::unique_ptr<frontend::HotplugSource> source_;
  std::unique_ptr<frontend::RecordLog> record_;
  std::unique_ptr<Relay> relay_;
  std::map<std::string, Camera> cameras_;
  std::size_t passed_ = 0;
  std::size_t failed_ = 0;
  bool stopping_ = false;
  QLabel* totals_;
  QTableWidget* table_;
  QPushButton* start_;
  QPushButton* stop_;
  QTimer* timer_;
  // The station of the current "Start All", and earlier ones still ending.
  std::vector<std::unique_ptr<station::Station>> stations_;  // last: current
};

}  // namespace emberline::gui
