#pragma once

// What one job did to one camera: the attempt's record, and the events a
// face sees while it runs.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/workflows/failure.h"

namespace emberline::station {

enum class Operation { Burn, Erase };

enum class JobResult {
  Passed,       // the operation succeeded
  Failed,       // the camera refused, vanished or gave wrong data
  BadImage,     // the image could not be read or is no image of the family
  NoCamera,     // nothing of the family answered at the device
  Busy,         // another process drives the camera
  Unavailable,  // the device cannot be opened
  Stopped,      // a stop request came before anything was written
};

// "passed", "failed", "bad-image", "no-camera", "busy", "unavailable", "stopped".
const char* resultName(JobResult result);
// Worst first: what decides a run's exit status when jobs disagree.
int severity(JobResult result);

struct StageTime {
  std::string name;  // connect, version-before, erase-check, program, verify, version-after, save
  std::chrono::microseconds duration{0};
};

struct AttemptRecord {
  Operation operation = Operation::Burn;
  std::chrono::system_clock::time_point start{};
  std::chrono::system_clock::time_point end{};
  std::string device;  // as the face names it (a /dev path, sim:PATH)
  std::string port;    // where the camera is plugged in (USB port path), empty when unknown
  std::optional<std::uint8_t> chip_id;
  std::optional<std::string> version_before;
  std::optional<std::string> version_after;
  std::string image;  // path, burn only
  std::string image_sha256;
  std::string verify;  // "sampled" or "full", burn only
  std::vector<StageTime> stages;
  std::uint64_t requests = 0;  // extension-unit requests sent to the camera
  JobResult result = JobResult::Failed;
  std::string error;  // why it did not pass, empty when it did
  // What kind of failure that was: it decides the operator's line (advice).
  workflows::FailureKind failure_kind = workflows::FailureKind::None;
  std::optional<std::uint32_t> first_difference;
  std::uint64_t blocks_written = 0;
};

struct JobEvent {
  enum class Kind {
    Started,   // the job exists; nothing sent yet
    ChipId,    // chip_id is known
    Stage,     // a new stage began (`text`: its label as the dialog shows it)
    Progress,  // percent within the current stage changed
    Message,   // the workflow showed a message (`text`)
    Finished,  // `record` holds the whole attempt
  };
  Kind kind = Kind::Started;
  std::size_t job = 0;  // in start order, from 0
  std::string device;
  std::string stage;
  std::string text;
  int percent = 0;
  std::optional<std::uint8_t> chip_id;
  const AttemptRecord* record = nullptr;  // Finished only; valid during the call
};

}  // namespace emberline::station
