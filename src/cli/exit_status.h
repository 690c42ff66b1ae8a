#pragma once

// How a run of `emberline` ended, and the one place that turns it into the
// process's exit status. Commands return an Outcome; nothing else picks codes.

#include <string_view>

namespace emberline::cli {

enum class Outcome {
  Success,            // 0
  OperationFailed,    // 1: the camera did not do what was asked
  BadUsage,           // 2: wrong options or arguments
  BadInputFile,       // 2: an image that cannot be read, has the wrong size or is no image of the family
  NoCamera,           // 3: nothing answered
  CameraUnavailable,  // 3: the chosen camera (or simulator file) cannot be opened
  Interrupted,        // 128 + the signal: stopped on request (130 for an interrupt)
};

// `stop_reason`: for Interrupted, the exit status the stop request asked for
// (128 + the signal); 130 when none is known.
int exitCode(Outcome outcome, int stop_reason = 0);

// A burn that failed with `message` (the workflow's message, as shown): the
// image checks are a bad input file, anything else failed on the camera.
Outcome burnFailureOutcome(std::string_view message);

// A stable word for the JSON output ("ok", "failed", "usage", "input", "no-camera", "unavailable", "interrupted").
std::string_view outcomeName(Outcome outcome);

// The exit-status paragraph of --help.
std::string_view exitStatusHelp();

}  // namespace emberline::cli
