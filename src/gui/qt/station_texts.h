#pragma once

// The station window's texts in English and Simplified Chinese.

#include <QString>

#include <string>

#include "core/station/attempt.h"
#include "core/workflows/strings.h"

namespace emberline::gui {

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
  Totals,   // %1 passed, %2 failed, %3 running, %4 waiting
  Ready,
  Unplugged,
  Stopping,
  Done,
};

QString stationText(workflows::Language language, StationText id);
// A stage label as the engine gives it ("Burning"), in `language`.
QString stageText(workflows::Language language, const std::string& label);
QString resultText(workflows::Language language, station::JobResult result);

}  // namespace emberline::gui
