#include "core/station/station.h"

#include <limits>
#include <optional>
#include <utility>

namespace emberline::station {

struct Station::Job {
  std::size_t index = 0;
  JobTarget target;
  std::optional<AttemptRecord> record;  // set when the job ended (under jobs_mutex_)
  std::thread thread;
};

Station::Station(JobSettings settings, StationObserver& observer)
    : settings_(std::move(settings)), observer_(observer) {}

Station::~Station() {
  requestStop();
  wait();
}

std::size_t Station::start(JobTarget target) {
  std::lock_guard lock(jobs_mutex_);
  if (stop_.load()) return std::numeric_limits<std::size_t>::max();
  auto job = std::make_unique<Job>();
  job->index = jobs_.size();
  job->target = std::move(target);
  ++tally_.started;
  ++tally_.running;
  Job& ref = *job;
  jobs_.push_back(std::move(job));
  ref.thread = std::thread([this, &ref] { runJob(ref); });
  return ref.index;
}

void Station::requestStop() { stop_.store(true); }

void Station::wait() {
  // Jobs may still be started while we wait (a watcher on another thread):
  // join by index until none is left.
  for (std::size_t i = 0;; ++i) {
    std::thread* thread = nullptr;
    {
      std::lock_guard lock(jobs_mutex_);
      if (i >= jobs_.size()) return;
      thread = &jobs_[i]->thread;
    }
    if (thread->joinable()) thread->join();
  }
}

void Station::deliver(const Job& job, JobEvent& event) {
  event.job = job.index;
  event.device = job.target.device;
  std::lock_guard lock(observer_mutex_);
  observer_.onEvent(event);
}

void Station::runJob(Job& job) {
  const std::function<void(JobEvent&)> emit_event = [this, &job](JobEvent& event) { deliver(job, event); };
  AttemptRecord record = runCameraJob(settings_, job.target, stop_, emit_event);
  if (settings_.keep_record) {
    std::string error = settings_.keep_record(record);
    if (!error.empty()) {
      if (record.result == JobResult::Passed) {
        record.result = JobResult::Failed;
        record.failure_kind = workflows::FailureKind::FileNotWritten;
      }
      record.error = record.error.empty() ? error : record.error + "; " + error;
    }
  }
  {
    std::lock_guard lock(jobs_mutex_);
    --tally_.running;
    ++(record.result == JobResult::Passed ? tally_.passed : tally_.failed);
    job.record = record;
  }
  JobEvent finished;
  finished.kind = JobEvent::Kind::Finished;
  finished.chip_id = record.chip_id;
  finished.text = record.error;
  finished.record = &record;
  deliver(job, finished);
}

StationTally Station::tally() const {
  std::lock_guard lock(jobs_mutex_);
  return tally_;
}

std::vector<AttemptRecord> Station::results() const {
  std::lock_guard lock(jobs_mutex_);
  std::vector<AttemptRecord> out;
  for (const auto& job : jobs_)
    if (job->record) out.push_back(*job->record);
  return out;
}

}  // namespace emberline::station
