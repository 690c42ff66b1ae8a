#include "core/station/attempt.h"

namespace emberline::station {

const char* resultName(JobResult result) {
  switch (result) {
    case JobResult::Passed: return "passed";
    case JobResult::Failed: return "failed";
    case JobResult::BadImage: return "bad-image";
    case JobResult::NoCamera: return "no-camera";
    case JobResult::Busy: return "busy";
    case JobResult::Unavailable: return "unavailable";
    case JobResult::Stopped: return "stopped";
  }
  return "failed";
}

int severity(JobResult result) {
  switch (result) {
    case JobResult::Passed: return 0;
    case JobResult::Stopped: return 1;
    case JobResult::Failed: return 2;
    case JobResult::BadImage: return 3;
    case JobResult::NoCamera: return 4;
    case JobResult::Unavailable: return 5;
    case JobResult::Busy: return 6;
  }
  return 2;
}

}  // namespace emberline::station
