#pragma once

// The UiPort a job's session draws on: it turns the dialog's controls into
// the job's events (stage labels become stages, the data bar a percentage,
// message boxes messages) and times each stage with the job's own clock.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "core/device/clock.h"
#include "core/station/attempt.h"
#include "core/workflows/ui_port.h"

namespace emberline::station {

class JobUiPort final : public workflows::UiPort {
 public:
  using Emit = std::function<void(JobEvent&)>;
  JobUiPort(device::Clock& clock, Emit on_event);

  // Closes the running stage (if any) and opens `name`, shown as `label`.
  void beginStage(const std::string& name, const std::string& label);
  // Closes the running stage; the durations so far.
  std::vector<StageTime> finishStages();
  // The last message the workflow showed, the reason of a failure.
  const std::string& lastMessage() const { return last_message_; }
  // The kind of the last failure the workflow showed (None before any).
  workflows::FailureKind lastFailureKind() const { return last_failure_kind_; }

  void setStatus(int) override {}
  void setControlText(int, const std::string&) override {}
  void showControl(int control_id, bool visible) override;
  void enableControl(int, bool) override {}
  void setProgressRange(int bar_id, int minimum, int maximum) override;
  void setProgressPos(int bar_id, int position) override;
  void showMessage(const std::string& text, const std::string& caption) override;
  void showFailure(const workflows::Failure& failure) override;

 private:
  device::Clock& clock_;
  Emit emit_;
  std::vector<StageTime> stages_;
  std::string current_;
  std::chrono::steady_clock::time_point began_{};
  int minimum_ = 0;
  int maximum_ = 0;
  int percent_ = -1;
  int sweep_ = 0;
  int sweep_percent_ = 0;
  std::string last_message_;
  workflows::FailureKind last_failure_kind_ = workflows::FailureKind::None;
};

}  // namespace emberline::station
