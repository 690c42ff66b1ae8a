#include "cli/terminal_ui.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/stage_labels.h"
#include "platform/console.h"

namespace emberline::cli {

namespace {
constexpr int kBarWidth = 30;
// Ranges shorter than this are steps, not progress (the burn's 0..2 while
// write protection is lifted): a bar would flash full and then start over.
constexpr int kMinBarSpan = 100;
}

bool isInteractive(std::FILE* stream) {
  if (!platform::isTerminal(stream)) return false;
  const char* term = std::getenv("TERM");
  return !(term && std::strcmp(term, "dumb") == 0);
}

TerminalUi::TerminalUi(std::FILE* out, std::FILE* errors, bool interactive,
                       workflows::Language language)
    : out_(out), errors_(errors), interactive_(interactive), language_(language) {}

TerminalUi::~TerminalUi() { finishLine(); }

void TerminalUi::flushOut() {
  errno = 0;
  if (std::fflush(out_) != 0 && write_error_ == 0) write_error_ = errno != 0 ? errno : EIO;
}

void TerminalUi::finishLine() {
  if (drawn_percent_ < 0) return;
  std::fputc('\n', out_);
  flushOut();
  drawn_percent_ = -1;
}

void TerminalUi::setStatus(int string_id) {
  // "Click 'GO' to start burning..." names a button this face does not have.
  if (string_id == workflows::kStrClickGo) return;
  const auto text = workflows::loadString(language_, string_id);
  finishLine();
  if (!text.empty()) std::fprintf(out_, "%.*s\n", static_cast<int>(text.size()), text.data());
  flushOut();
  if (!stage_active_) label_ = std::string(text);
}

void TerminalUi::showControl(int control_id, bool visible) {
  const auto label = stageLabel(control_id, language_);
  if (!visible || label.empty()) return;
  if (isStageDone(control_id)) {
    if (drawn_percent_ >= 0) {
      // Close the bar of this stage with its verdict.
      position_ = maximum_;
      sweep_ = sweeps_ - 1;
      draw();
      std::fprintf(out_, " %s\n", "OK!");
      drawn_percent_ = -1;
    } else {
      const auto stage = stageLabel(control_id - 1, language_);
      std::fprintf(out_, "%.*s: OK!\n", static_cast<int>(stage.size()), stage.data());
    }
    flushOut();
    stage_active_ = false;
    return;
  }
  finishLine();
  label_ = std::string(label);
  stage_active_ = true;
  sweeps_ = control_id == workflows::kCtlStageBurn ? 2 : 1;
  sweep_ = 0;
  position_ = minimum_;
  if (!interactive_) {
    std::fprintf(out_, "%s\n", label_.c_str());
    flushOut();
  }
}

void TerminalUi::setProgressRange(int bar_id, int minimum, int maximum) {
  if (bar_id != workflows::kCtlProgressData) return;
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  position_ = minimum_;
}

void TerminalUi::setProgressPos(int bar_id, int position) {
  if (bar_id != workflows::kCtlProgressData || !interactive_) return;
  // The control holds positions outside its range at the nearest end.
  const int clamped = std::clamp(position, minimum_, maximum_);
  if (clamped < position_ && sweep_ + 1 < sweeps_) ++sweep_;
  position_ = clamped;
  draw();
}

void TerminalUi::draw() {
  const int span = maximum_ - minimum_;
  if (!interactive_ || span < kMinBarSpan) return;
  const int in_sweep = static_cast<int>(static_cast<long long>(position_ - minimum_) * 100 / span);
  const int percent = (sweep_ * 100 + in_sweep) / sweeps_;
  if (percent == drawn_percent_) return;
  const int filled = percent * kBarWidth / 100;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - filled), '-');
  std::fprintf(out_, "\r%-16s [%s] %3d%%", label_.c_str(), bar.c_str(), percent);
  flushOut();
  drawn_percent_ = percent;
}

void TerminalUi::showMessage(const std::string& text, const std::string& caption) {
  finishLine();
  flushOut();
  if (!caption.empty()) std::fprintf(errors_, "%s: ", caption.c_str());
  std::fprintf(errors_, "%s\n", text.c_str());
  std::fflush(errors_);
}

}  // namespace emberline::cli
