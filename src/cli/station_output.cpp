#include "cli/station_output.h"

#include <cstdio>


namespace emberline::cli {

namespace {

std::string chipText(std::uint8_t chip) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", chip);
  return text;
}

std::string resultText(const station::JobEvent& event) {
  const auto& record = *event.record;
  std::string text = station::resultName(record.result);
  if (!record.error.empty()) text += ": " + record.error;
  return text;
}

}  // namespace

StationOutput::StationOutput(std::FILE* out, bool live) : out_(out), live_(live) {}

void StationOutput::put(const std::string& text) {
  if (std::fputs(text.c_str(), out_) < 0 || std::fflush(out_) != 0) ok_ = false;
}

std::string StationOutput::rowText(const Row& row) const {
  char line[512];
  std::snprintf(line, sizeof line, "%-28s %-5s %-20s %3d%%  %s", row.device.c_str(),
                row.chip.empty() ? "-" : row.chip.c_str(), row.stage.c_str(), row.percent, row.result.c_str());
  return line;
}

void StationOutput::redraw() {
  std::string text;
  if (drawn_ > 0) text += "\x1b[" + std::to_string(drawn_) + "A";
  for (const auto& row : rows_) text += "\r\x1b[2K" + rowText(row) + "\n";
  drawn_ = rows_.size();
  put(text);
}

void StationOutput::note(const std::string& text) {
  std::lock_guard lock(mutex_);
  put(text + "\n");
  drawn_ = 0;  // the rows above stay as they were; new ones are drawn below
  if (live_) {
    // Rows still running are drawn again under the note.
    std::vector<Row> running;
    for (const auto& row : rows_)
      if (row.result.empty()) running.push_back(row);
    rows_ = std::move(running);
    redraw();
  }
}

void StationOutput::onEvent(const station::JobEvent& event) {
  using Kind = station::JobEvent::Kind;
  // Writing back a simulated camera's state is no stage an operator follows:
  // the row keeps the stage the attempt ended in.
  if (event.kind == Kind::Stage && event.stage == "save") return;
  std::lock_guard lock(mutex_);
  if (!live_) {
    switch (event.kind) {
      case Kind::Started: return put(event.device + ": started\n");
      case Kind::ChipId: return put(event.device + ": chip id " + chipText(*event.chip_id) + "\n");
      case Kind::Stage: return put(event.device + ": " + event.text + "\n");
      case Kind::Progress: return;  // a terminal's bar; a log would drown in it
      case Kind::Message: return put(event.device + ": message: " + event.text + "\n");
      case Kind::Finished: return put(event.device + ": " + resultText(event) + "\n");
    }
    return;
  }
  Row* row = nullptr;
  for (auto& r : rows_)
    if (r.device == event.device && r.result.empty()) row = &r;
  if (row == nullptr) {
    rows_.push_back(Row{event.device, {}, {}, 0, {}});
    row = &rows_.back();
  }
  switch (event.kind) {
    case Kind::Started: break;
    case Kind::ChipId: row->chip = chipText(*event.chip_id); break;
    case Kind::Stage:
      row->stage = event.text;
      row->percent = 0;
      break;
    case Kind::Progress: row->percent = event.percent; break;
    case Kind::Message: break;  // the result line carries the reason
    case Kind::Finished:
      row->result = resultText(event);
      if (event.record->result == station::JobResult::Passed) row->percent = 100;
      break;
  }
  redraw();
}

void StationOutput::summary(const station::StationTally& tally, std::chrono::steady_clock::duration elapsed) {
  std::lock_guard lock(mutex_);
  char line[160];
  std::snprintf(line, sizeof line, "passed %zu, failed %zu, %.1f s\n", tally.passed, tally.failed,
                std::chrono::duration<double>(elapsed).count());
  put(line);
  drawn_ = 0;
}

}  // namespace emberline::cli
