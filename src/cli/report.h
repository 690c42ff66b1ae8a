#pragma once

// What a command tells its user. Human text goes to stdout, or to stderr with
// --json, where stdout carries exactly one JSON object:
//   {"command": "burn", "ok": true, "outcome": "ok", "exit_code": 0, ...details}
// with "error" when the run failed and the command's own fields beside.

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

  // A line of human text.
  void say(std::string_view line);
  // The reason the run failed, printed once on stderr when the run ends
  // (unless `already_shown`: a workflow message the user has seen). The first
  // reason given wins: it is the cause, later ones follow from it.
  void fail(std::string message, bool already_shown = false);
  const std::string& failure() const { return failure_; }

  // Ends the run: the failure on stderr, the JSON object on stdout (with what
  // `ui` recorded), and the exit status to return from main.
  int finish(Outcome outcome, const RecordingUiPort* ui = nullptr);

 private:
  bool json_;
  std::FILE* out_;
  std::FILE* errors_;
  std::string command_;
  std::string failure_;
  bool failure_shown_ = false;
  nlohmann::ordered_json details_ = nlohmann::ordered_json::object();
};

}  // namespace emberline::cli
