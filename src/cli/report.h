#pragma once

// What a command tells its user. Human text goes to stdout, or to stderr with
// --json, where stdout carries exactly one JSON object:
//   {"command": "burn", "ok": true, "outcome": "ok", "exit_code": 0, ...details}
// with "error" when the run failed and the command's own fields beside.
// Every write to stdout is checked: a full disk or a closed pipe turns a
// success into exit status 1 with a message, never into a silent success.

#include <cstdio>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "cli/exit_status.h"

namespace emberline::cli {

class RecordingUiPort;

class Report {
 public:
  Report(bool json, std::FILE* out, std::FILE* errors);

  bool json() const { return json_; }
  // Where human text goes: stdout normally, stderr with --json.
  std::FILE* human() const { return json_ ? errors_ : out_; }
  std::FILE* errors() const { return errors_; }

  void setCommand(std::string name) { command_ = std::move(name); }
  // The command's own fields of the JSON object.
  nlohmann::ordered_json& details() { return details_; }
  // The exit status of an interrupted run (128 + the signal).
  void setStopReason(int reason) { stop_reason_ = reason; }

  // Another writer's failure on `stream` (the progress display's), so the
  // run can name it.
  void noteWriteError(std::FILE* stream, int error) {
    if (stream == out_ && out_error_ == 0) out_error_ = error;
  }
  // A line of human text.
  void say(std::string_view line);
  // The reason the run failed, printed on stderr as the run's last line,
  // "emberline: <reason>", also when the workflow showed it as a message
  // already. The first reason given wins: it is the cause, later ones
  // follow from it.
  void fail(std::string message);
  const std::string& failure() const { return failure_; }

  // Ends the run: the failure on stderr, the JSON object on stdout (with what
  // `ui` recorded), and the exit status to return from main.
  int finish(Outcome outcome, const RecordingUiPort* ui = nullptr);

 private:
  // Flushes `stream`; remembers the first error stdout gave.
  void flush(std::FILE* stream);
  // The reason stdout failed, empty when every write to it went through.
  std::string stdoutFailure();

  bool json_;
  std::FILE* out_;
  std::FILE* errors_;
  std::string command_;
  std::string failure_;
  int stop_reason_ = 0;
  int out_error_ = 0;  // errno of the first failed flush of stdout
  nlohmann::ordered_json details_ = nlohmann::ordered_json::object();
};

}  // namespace emberline::cli
