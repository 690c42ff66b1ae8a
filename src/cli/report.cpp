#include "cli/report.h"

#include "cli/recording_ui.h"

namespace emberline::cli {

Report::Report(bool json, std::FILE* out, std::FILE* errors) : json_(json), out_(out), errors_(errors) {}

void Report::say(std::string_view line) {
  std::fprintf(human(), "%.*s\n", static_cast<int>(line.size()), line.data());
  std::fflush(human());
}

void Report::fail(std::string message, bool already_shown) {
  if (!failure_.empty() || message.empty()) return;
  failure_ = std::move(message);
  failure_shown_ = already_shown;
}

int Report::finish(Outcome outcome, const RecordingUiPort* ui) {
  const int code = exitCode(outcome);
  if (outcome != Outcome::Success && !failure_.empty() && !failure_shown_) {
    std::fprintf(errors_, "emberline: %s\n", failure_.c_str());
    std::fflush(errors_);
  }
  if (json_) {
    nlohmann::ordered_json doc;
    doc["command"] = command_;
    doc["ok"] = outcome == Outcome::Success;
    doc["outcome"] = outcomeName(outcome);
    doc["exit_code"] = code;
    if (outcome != Outcome::Success) doc["error"] = failure_;
    for (const auto& [key, value] : details_.items()) doc[key] = value;
    if (ui) {
      const auto recorded = ui->toJson();
      for (const auto& [key, value] : recorded.items()) doc[key] = value;
    }
    // Text read from a camera may hold any byte: replace what is not UTF-8
    // rather than lose the whole report.
    const auto text = doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
  }
  return code;
}

}  // namespace emberline::cli
