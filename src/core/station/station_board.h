#pragma once

// What a station window shows, without a toolkit: one row per camera plugged
// in (device, port, chip id, stage, progress, result with its reason, time),
// the totals, the image's identity, and what "Start All", "Stop" and "Clear"
// do. A face renders rows() and totals() whenever changed() is called and
// forwards the operator's buttons and the cameras plugged in and out.
//
// Rules: each camera is burned once per plug-in ("Start All" starts every
// camera waiting). A failed row says in its stage where it failed. A camera
// that passed goes when it is unplugged; one that failed stays, greyed and
// marked unplugged, until "Clear" or until it is plugged in again (then it
// waits for its next attempt). The totals count cameras by where each stands
// (passed, failed, running, waiting, those gone included), and attempts
// apart.
//
// Threads: everything but the engine's jobs runs on the face's thread. Job
// events are carried there through Hooks::post.

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/station/camera_job.h"
#include "core/station/station.h"
#include "core/station/station_texts.h"
#include "core/workflows/strings.h"

namespace emberline::station {

enum class RowState { Waiting, Running, Passed, Failed };

struct BoardRow {
  std::string device;  // as the station names it; the row's key
  RowState state = RowState::Waiting;
  bool unplugged = false;  // the camera is gone: the row is greyed
  int percent = 0;
  // The cells as shown, in the board's language.
  std::string device_text;  // the device, marked when unplugged
  std::string port;
  std::string chip_id;  // "0x33"
  std::string stage;    // the stage running, "Done", or where it failed
  std::string result;   // "Passed", "Failed: <what to do>"
  std::string result_tooltip;  // the whole reason: the system's text and what to do
  std::string time;     // "1.7 s"
};

struct BoardTotals {
  std::size_t passed = 0;
  std::size_t failed = 0;
  std::size_t running = 0;
  std::size_t waiting = 0;
  std::size_t attempts = 0;
  std::string text;  // all of them, in the board's language
  bool stopping = false;
  bool can_start = false;  // a camera waits
  bool can_stop = false;   // jobs run and no stop was asked for
  bool can_clear = false;  // greyed rows are there
};

enum BoardColumn { kColumnDevice, kColumnPort, kColumnChip, kColumnStage, kColumnProgress, kColumnResult, kColumnTime, kColumns };

class StationBoard {
 public:
  struct Hooks {
    // Runs `fn` on the face's thread, later (never inside the call).
    std::function<void(std::function<void()>)> post;
    // The job target for a camera plugged in as `device`, whose requests
    // fail as unplugged once `unplugged` is set; nullopt when it is none.
    std::function<std::optional<JobTarget>(const std::string& device, std::shared_ptr<std::atomic<bool>> unplugged)>
        target;
    // Rows or totals changed (face's thread).
    std::function<void()> changed;
  };

  StationBoard(JobSettings settings, workflows::Language language, Hooks hooks);
  // Stops, and waits for the jobs in flight.
  ~StationBoard();
  StationBoard(const StationBoard&) = delete;
  StationBoard& operator=(const StationBoard&) = delete;

  void plugged(const std::string& device);
  void unplugged(const std::string& device);
  void startAll();
  // The jobs in flight end; no job starts until the next "Start All".
  void stop();
  // Forgets the greyed rows of failed cameras that are gone.
  void clear();

  const std::vector<BoardRow>& rows() const { return rows_; }
  const BoardRow* row(const std::string& device) const;
  BoardTotals totals() const;
  bool idle() const { return totals().running == 0; }

  std::string title() const;     // "Emberline Station - firmware.src"
  std::string identity() const;  // "Image: QR5XS ...  SHA-256 1a2b3c4d", or why the image cannot be read
  std::string header(BoardColumn column) const;
  std::string buttonText(StationText button) const { return stationText(language_, button); }
  workflows::Language language() const { return language_; }

 private:
  struct Run;
  struct Camera;  // a row's state beyond its cells
  class Relay;

  void apply(std::size_t run, const JobEvent& event, const std::optional<AttemptRecord>& record);
  void finish(BoardRow& row, const AttemptRecord& record);
  BoardRow* find(const std::string& device);
  void remove(const std::string& device);
  void markUnplugged(BoardRow& row);
  void letEndedRunsGo();
  void changed();

  const JobSettings settings_;
  const workflows::Language language_;
  Hooks hooks_;
  std::string identity_;
  std::vector<BoardRow> rows_;
  std::map<std::string, Camera> cameras_;
  std::map<std::pair<std::size_t, std::size_t>, std::pair<std::string, std::size_t>> jobs_;  // (run, job) -> (device, plug-in)
  std::size_t gone_passed_ = 0;  // cameras whose rows went, by their last result
  std::size_t gone_failed_ = 0;
  std::size_t attempts_ = 0;
  bool stopping_ = false;
  std::size_t next_run_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // events posted after the board went are dropped
  std::vector<std::unique_ptr<Run>> runs_;  // the stations of each "Start All"; the last is current
};

}  // namespace emberline::station
