#pragma once

// A station: one job per camera, each on its own thread with its own
// objects; nothing of one job reaches another. Faces start jobs (all at once
// for `burn`, as cameras are plugged in for `watch`) and see every job's
// events through one observer, called one event at a time.

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/station/attempt.h"
#include "core/station/camera_job.h"

namespace emberline::station {

class StationObserver {
 public:
  virtual ~StationObserver() = default;
  // Called on the job's thread, never for two events at once. Keep it short:
  // the other jobs wait for it.
  virtual void onEvent(const JobEvent& event) = 0;
};

struct StationTally {
  std::size_t started = 0;
  std::size_t running = 0;
  std::size_t passed = 0;
  std::size_t failed = 0;  // every result but passed
};

class Station {
 public:
  Station(JobSettings settings, StationObserver& observer);
  // Stops and waits for the jobs in flight.
  ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  // Starts a job on its own thread; its index in start order, or nullopt-like
  // SIZE_MAX once a stop was requested.
  std::size_t start(JobTarget target);
  // No job starts after this; jobs that have not yet written anything end as
  // Stopped; burns in flight run to their end.
  void requestStop();
  bool stopping() const { return stop_.load(); }
  // Waits for every job started so far.
  void wait();

  StationTally tally() const;
  // The finished attempts, in start order (unfinished ones are left out).
  std::vector<AttemptRecord> results() const;

 private:
  struct Job;
  void runJob(Job& job);
  void deliver(const Job& job, JobEvent& event);

  const JobSettings settings_;
  StationObserver& observer_;
  std::atomic<bool> stop_{false};
  mutable std::mutex jobs_mutex_;      // the job list and the tally
  std::mutex observer_mutex_;          // one event at a time
  std::vector<std::unique_ptr<Job>> jobs_;
  StationTally tally_;
};

}  // namespace emberline::station
