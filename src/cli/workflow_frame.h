#pragma once

// The worker's part of the dialog's workflow frame, for the commands that
// run a workflow: the result's status text and the failure for the report.

#include <cstddef>
#include <string>

#include "cli/command.h"

namespace emberline::cli {

// Writes a simulated camera's state back once; a failure goes to the report.
// True when it was saved (or there is nothing to save).
bool saveCamera(RunContext& ctx);

// Sets the status line to `success_id` or `failure_id` as the dialog's worker
// does. A success is only claimed once a simulated camera kept it: when its
// state cannot be saved, `succeeded` turns false and the run ends with
// `failure_id` and says why. On failure the report's reason is the first
// message the workflow showed after `messages_before` (the user has seen
// it), else `fallback`. Returns the first such message (empty when there was
// none).
std::string finishWorkflow(RunContext& ctx, bool& succeeded, int success_id, int failure_id,
                           std::size_t messages_before, const std::string& fallback);

}  // namespace emberline::cli
