#include "core/station/job_ui_port.h"

#include <algorithm>
#include <utility>

namespace emberline::station {

namespace {

// The workflow's stage labels, and the stage names a record gives them.
struct StageControl {
  int control_id;
  const char* name;
  const char* label;
};
constexpr StageControl kStageControls[] = {
    {workflows::kCtlStageErase, "erase-check", "Erase and Check"},
    {workflows::kCtlStageBurn, "program", "Burning"},
    {workflows::kCtlStageVerify, "verify", "Verify"},
};

constexpr int kFewestSteps = 100;

}  // namespace

JobUiPort::JobUiPort(device::Clock& clock, Emit on_event) : clock_(clock), emit_(std::move(on_event)) {}

void JobUiPort::beginStage(const std::string& name, const std::string& label) {
  finishStages();
  current_ = name;
  began_ = clock_.now();
  percent_ = -1;
  sweep_ = 0;
  sweep_percent_ = 0;
  JobEvent event;
  event.kind = JobEvent::Kind::Stage;
  event.stage = name;
  event.text = label;
  emit_(event);
}

std::vector<StageTime> JobUiPort::finishStages() {
  if (!current_.empty()) {
    stages_.push_back({current_, std::chrono::duration_cast<std::chrono::microseconds>(clock_.now() - began_)});
    current_.clear();
  }
  return stages_;
}

void JobUiPort::showControl(int control_id, bool visible) {
  if (!visible) return;
  for (const auto& stage : kStageControls)
    if (stage.control_id == control_id) beginStage(stage.name, stage.label);
}

void JobUiPort::setProgressRange(int bar_id, int minimum, int maximum) {
  if (bar_id != workflows::kCtlProgressData) return;
  minimum_ = minimum;
  maximum_ = maximum;
}

void JobUiPort::setProgressPos(int bar_id, int position) {
  // A bar of a few steps marks a preparation (lifting write protection at the
  // start of the erase check), not the stage's own work: showing it would
  // make the stage jump to 100 % and back.
  if (bar_id != workflows::kCtlProgressData || maximum_ - minimum_ < kFewestSteps) return;
  const long span = static_cast<long>(maximum_) - minimum_;
  const long done = std::clamp(static_cast<long>(position) - minimum_, 0L, span);
  int percent = static_cast<int>(done * 100 / span);
  // Programming sweeps the bar once per 64 KB half: one stage, two halves.
  if (current_ == "program") {
    if (percent + 50 < sweep_percent_) ++sweep_;
    sweep_percent_ = percent;
    percent = std::min(100, (std::min(sweep_, 1) * 100 + percent) / 2);
  }
  if (percent == percent_) return;  // one event per step, not per request
  percent_ = percent;
  JobEvent event;
  event.kind = JobEvent::Kind::Progress;
  event.stage = current_;
  event.percent = percent;
  emit_(event);
}

void JobUiPort::showMessage(const std::string& text, const std::string&) {
  last_message_ = text;
  JobEvent event;
  event.kind = JobEvent::Kind::Message;
  event.stage = current_;
  event.text = text;
  emit_(event);
}

void JobUiPort::showFailure(const workflows::Failure& failure) {
  last_failure_kind_ = failure.kind;
  showMessage(failure.text, {});
}

}  // namespace emberline::station
