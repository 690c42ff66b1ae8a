#include "core/app/progress_mailbox.h"

#include <algorithm>

namespace emberline::app {

ProgressMailbox::ProgressMailbox(std::initializer_list<int> step_bars) : step_bars_(step_bars) {}

bool ProgressMailbox::keepsSteps(int bar_id) const {
  return std::find(step_bars_.begin(), step_bars_.end(), bar_id) != step_bars_.end();
}

void ProgressMailbox::post(int bar_id, int position) {
  const std::lock_guard lock(mutex_);
  if (!keepsSteps(bar_id)) {
    // The newest position replaces the one still pending, unless a step was
    // posted since: a step shows with every other bar where it stood then.
    for (auto it = pending_.rbegin(); it != pending_.rend() && !keepsSteps(it->bar_id); ++it) {
      if (it->bar_id == bar_id) {
        it->position = position;
        return;
      }
    }
    pending_.push_back({bar_id, position});
    return;
  }
  const auto of_bar = [bar_id](const Position& p) { return p.bar_id == bar_id; };
  const auto held = static_cast<std::size_t>(std::count_if(pending_.begin(), pending_.end(), of_bar));
  if (held < kMaxStepsPending) {
    pending_.push_back({bar_id, position});
  } else {
    std::find_if(pending_.rbegin(), pending_.rend(), of_bar)->position = position;
  }
}

std::vector<ProgressMailbox::Position> ProgressMailbox::take() {
  std::vector<Position> out;
  const std::lock_guard lock(mutex_);
  out.swap(pending_);
  return out;
}

}  // namespace emberline::app
