#include "cli/report.h"

#include <cerrno>
#include <cstring>

#include "cli/recording_ui.h"
#include "version/version.h"

namespace emberline::cli {

Report::Report(bool json, std::FILE* out, std::FILE* errors) : json_(json), out_(out), errors_(errors) {}

void Report::flush(std::FILE* stream) {
  errno = 0;
  if (std::fflush(stream) != 0 && stream == out_ && out_error_ == 0) out_error_ = errno != 0 ? errno : EIO;
}

std::string Report::stdoutFailure() {
  flush(out_);
  if (out_error_ == 0 && !std::ferror(out_)) return {};
  // Another writer (the progress display) met the error first; stdio keeps
  // only the flag, so name the usual causes.
  const std::string why = out_error_ != 0 ? std::strerror(out_error_) : "a full disk or a closed pipe";
  return "cannot write to standard output: " + why;
}

void Report::say(std::string_view line) {
  std::fprintf(human(), "%.*s\n", static_cast<int>(line.size()), line.data());
  flush(human());
}

void Report::fail(std::string message) {
  if (!failure_.empty() || message.empty()) return;
  failure_ = std::move(message);
}

int Report::finish(Outcome outcome, const RecordingUiPort* ui) {
  // Human text on stdout that did not arrive spoils a success.
  if (!json_) {
    const std::string broken = stdoutFailure();
    if (!broken.empty() && outcome == Outcome::Success) {
      fail(broken);
      outcome = Outcome::OperationFailed;
    }
  }
  int code = exitCode(outcome, stop_reason_);
  if (outcome != Outcome::Success) {
    // A script reads the last line of stderr: it always says why.
    if (failure_.empty()) failure_ = (command_.empty() ? std::string("the run") : command_) + " failed";
    std::fprintf(errors_, "emberline: %s\n", failure_.c_str());
    std::fflush(errors_);
  }
  if (json_) {
    nlohmann::ordered_json doc;
    doc["command"] = command_.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(command_);
    doc["ok"] = outcome == Outcome::Success;
    doc["outcome"] = outcomeName(outcome);
    doc["exit_code"] = code;
    if (outcome != Outcome::Success) doc["error"] = failure_;
    doc["program_version"] = version::program();
    for (const auto& [key, value] : details_.items()) doc[key] = value;
    if (ui) {
      const auto recorded = ui->toJson();
      for (const auto& [key, value] : recorded.items()) doc[key] = value;
    }
    // Text read from a camera may hold any byte: replace what is not UTF-8
    // rather than lose the whole report.
    const auto text = doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::fprintf(out_, "%s\n", text.c_str());
    const std::string broken = stdoutFailure();
    if (!broken.empty()) {
      std::fprintf(errors_, "emberline: %s\n", broken.c_str());
      std::fflush(errors_);
      if (code == 0) code = exitCode(Outcome::OperationFailed);
    }
  }
  return code;
}

}  // namespace emberline::cli
