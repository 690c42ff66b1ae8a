#pragma once

// What a station run shows while its jobs run. On a terminal: one line per
// camera (device, chip id, stage, percent, result), redrawn in place. Else:
// one plain line per event, prefixed with the device. Both end with a
// summary line.

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "core/station/station.h"

namespace emberline::cli {

class StationOutput final : public station::StationObserver {
 public:
  StationOutput(std::FILE* out, bool live);

  void onEvent(const station::JobEvent& event) override;
  // "passed 3, failed 1, 4.2 s" (and, when watching, what is running).
  void summary(const station::StationTally& tally, std::chrono::steady_clock::duration elapsed);
  // A line of its own between the live rows and what follows (watch's notes).
  void note(const std::string& text);
  // False once a write to `out` failed.
  bool ok() {
    std::lock_guard lock(mutex_);
    return ok_;
  }

 private:
  struct Row {
    std::string device;
    std::string chip;
    std::string stage;
    int percent = 0;
    std::string result;
  };
  void put(const std::string& text);
  void redraw();
  std::string rowText(const Row& row) const;

  std::mutex mutex_;  // events come from the jobs' threads, notes from the caller's
  std::FILE* out_;
  bool live_;
  bool ok_ = true;
  std::vector<Row> rows_;
  std::size_t drawn_ = 0;  // rows on the screen below the cursor's start
};

}  // namespace emberline::cli
