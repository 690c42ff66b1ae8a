#pragma once

// The workflow's screen events as terminal text: status texts and stage
// labels as lines, the data progress bar redrawn in place on a terminal
// (nothing of it when the output is a file or a pipe), messages on the error
// stream. Button enabling and hiding mean nothing here and are ignored.

#include <cstdio>
#include <string>

#include "core/workflows/strings.h"
#include "core/workflows/ui_port.h"

namespace emberline::cli {

class TerminalUi final : public workflows::UiPort {
 public:
  // `out` carries status lines, stages and the bar; `errors` the messages.
  // `interactive`: draw the bar (out is a terminal).
  TerminalUi(std::FILE* out, std::FILE* errors, bool interactive, workflows::Language language);
  ~TerminalUi() override;

  void setStatus(int string_id) override;
  void setControlText(int, const std::string&) override {}
  void showControl(int control_id, bool visible) override;
  void enableControl(int, bool) override {}
  void setProgressRange(int bar_id, int minimum, int maximum) override;
  void setProgressPos(int bar_id, int position) override;
  void showMessage(const std::string& text, const std::string& caption) override;

  // Ends a bar line in progress, so that other output starts on a line of its own.
  void finishLine();
  // The errno of the first write to `out` that failed; 0 when none did.
  int writeError() const { return write_error_; }

 private:
  void draw();
  void flushOut();

  std::FILE* out_;
  std::FILE* errors_;
  bool interactive_;
  workflows::Language language_;
  std::string label_;      // what the bar is about: the stage, else the last status text
  bool stage_active_ = false;
  int minimum_ = 0;
  int maximum_ = 0;
  int position_ = 0;
  int drawn_percent_ = -1;  // last percentage drawn; -1 when no bar is on the line
  // The burn's programming runs the data bar from empty to full once per
  // 64 KB half; the terminal shows the stage as one bar over both sweeps.
  int sweeps_ = 1;
  int sweep_ = 0;
  int write_error_ = 0;
};

// True when `stream` is a terminal that can redraw a line.
bool isInteractive(std::FILE* stream);

}  // namespace emberline::cli
