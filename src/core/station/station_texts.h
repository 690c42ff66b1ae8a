#pragma once

// The station window's words in English and Simplified Chinese, for every
// face that draws it.

#include <string>

#include "core/station/attempt.h"
#include "core/workflows/strings.h"

namespace emberline::station {

enum class StationText {
  Title,
  Device,
  Port,
  ChipId,
  Stage,
  Progress,
  Result,
  Time,
  StartAll,
  Stop,
  Clear,
  Ready,
  Unplugged,
  Done,
  Stopping,
  Image,
};

std::string stationText(workflows::Language language, StationText id);
// A stage label as the engine gives it ("Burning"), in `language`.
std::string stageText(workflows::Language language, const std::string& label);
// Where an attempt failed: "Burning: failed".
std::string failedStageText(workflows::Language language, const std::string& label);
std::string resultText(workflows::Language language, JobResult result);
// "Passed: 3    Failed: 1    Running: 0    Waiting: 2    Attempts: 5"
std::string totalsText(workflows::Language language, std::size_t passed, std::size_t failed, std::size_t running,
                       std::size_t waiting, std::size_t attempts);

}  // namespace emberline::station
