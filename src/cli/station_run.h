#pragma once

// `burn` and `erase` over several cameras at once (repeated --device, --all)
// or with --record: one job per camera, live lines per camera on a terminal,
// one plain line per event otherwise, one JSON object with --json; the exit
// status is the worst of the jobs.

#include "cli/command.h"
#include "cli/report.h"
#include "core/device/stop_token.h"
#include "core/station/attempt.h"

namespace emberline::cli {

// A stop request lets the burns in flight end and starts no more.
int runStation(const StationRequest& request, const GlobalOptions& options, workflows::Language language,
               Report& report, const device::StopSource* stop);

// How a job's result counts in the exit status.
Outcome jobOutcome(station::JobResult result);

// Success, or BadInputFile with the reason in the report: the image is read
// once before any camera is touched.
Outcome checkStationImage(const std::string& image, Report& report);

}  // namespace emberline::cli
