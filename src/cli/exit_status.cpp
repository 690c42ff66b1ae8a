#include "cli/exit_status.h"

namespace emberline::cli {

int exitCode(Outcome outcome, int stop_reason) {
  switch (outcome) {
    case Outcome::Interrupted:
      return stop_reason > 128 ? stop_reason : 130;
    case Outcome::Success:
      return 0;
    case Outcome::OperationFailed:
      return 1;
    case Outcome::BadUsage:
    case Outcome::BadInputFile:
      return 2;
    case Outcome::NoCamera:
    case Outcome::CameraUnavailable:
      return 3;
  }
  return 1;
}

Outcome burnFailureOutcome(std::string_view message) {
  // The burn's two checks of the image itself, made before any flash access.
  if (message == "No Source File!" || message == "It isn't Qorin Rom File!") return Outcome::BadInputFile;
  return Outcome::OperationFailed;
}

std::string_view outcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Success:
      return "ok";
    case Outcome::OperationFailed:
      return "failed";
    case Outcome::BadUsage:
      return "usage";
    case Outcome::BadInputFile:
      return "input";
    case Outcome::NoCamera:
      return "no-camera";
    case Outcome::CameraUnavailable:
      return "unavailable";
    case Outcome::Interrupted:
      return "interrupted";
  }
  return "failed";
}

std::string_view exitStatusHelp() {
  return "Exit status:\n"
         "  0  success\n"
         "  1  the operation failed (on the camera, or its output file could not be written)\n"
         "  2  bad usage, or a bad input file (unreadable, wrong size, not an image of the family)\n"
         "  3  no camera found, or the chosen camera (or simulator file) cannot be opened\n"
         "  130, 143, 129  stopped by an interrupt (Ctrl-C), a termination or a hang-up signal\n";
}

}  // namespace emberline::cli
