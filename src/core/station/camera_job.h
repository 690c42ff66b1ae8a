#pragma once

// One attempt on one camera, run on the calling thread with objects of its
// own: the camera's device list (through its link), a request counter, a
// session (channel, serial-flash library, image buffer) and a clock.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "core/device/clock.h"
#include "core/device/transport.h"
#include "core/station/attempt.h"

namespace emberline::station {

// A camera taken for one job: its device list, and what ends the job (a
// simulated camera writes its state back). Made on the job's own thread.
class CameraLink {
 public:
  virtual ~CameraLink() = default;
  virtual device::DeviceList& devices() = 0;
  // After the operation; false and a reason when what it does failed.
  virtual bool finish(std::string* error) = 0;
};

struct LinkFailure {
  JobResult result = JobResult::Unavailable;  // Busy when another process holds the camera
  std::string text;
};

// One camera a station drives.
struct JobTarget {
  std::string device;  // as shown and recorded
  std::string port;    // USB port path, empty when unknown
  // Takes the camera (lock, device list); nullptr and `failure` when it cannot.
  std::function<std::unique_ptr<CameraLink>(LinkFailure& failure)> open;
};

// What every job of a station does.
struct JobSettings {
  Operation operation = Operation::Burn;
  std::filesystem::path image;  // burn: read by each job into its own buffer
  bool verify_full = false;
  // Each job gets its own clock (tests: a ManualClock per job).
  std::function<std::unique_ptr<device::Clock>()> make_clock = [] {
    return std::make_unique<device::SystemClock>();
  };
  // Keeps the finished record (appends it to a file, flushed to disk) on the
  // job's thread before the job counts as done; empty text when it is kept,
  // else why not, which fails the job.
  std::function<std::string(const AttemptRecord&)> keep_record;
  // Wall time for the record's start and end.
  std::function<std::chrono::system_clock::time_point()> wall_clock = [] {
    return std::chrono::system_clock::now();
  };
};

// Runs one attempt; `on_event` gets every event (job and device already filled
// in by the caller's wrapper). `stop` is looked at before anything is written.
AttemptRecord runCameraJob(const JobSettings& settings, const JobTarget& target,
                           const std::atomic<bool>& stop, const std::function<void(JobEvent&)>& on_event);

}  // namespace emberline::station
