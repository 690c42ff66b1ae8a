#pragma once

// The frame around every command, as the dialog's button handlers and
// workers do it: choose the device, bind the camera with discovery, run the
// operation, then save a simulated camera's state and turn the outcome into
// the exit status.

#include <cstdio>
#include <memory>
#include <string>

#include "cli/command.h"
#include "core/device/stop_token.h"
#include "platform/machine_hold.h"

namespace emberline::platform {
class CameraLock;
}

namespace emberline::cli {

class Report;

// `stop`: a request to stop (a signal) ends a workflow at the next request
// boundary; the run then ends with 128 + the signal as its exit status.
int runCommand(Command& command, const GlobalOptions& options, std::FILE* out, std::FILE* errors,
               const device::StopSource* stop = nullptr);

// Takes the camera for the whole command; false (and the reason in the
// report) when another process drives it. A lock that cannot even be tried
// leaves the camera's own open (or load) to say what is wrong.
bool claimCamera(const std::string& path, bool simulated, Report& report,
                 std::unique_ptr<platform::CameraLock>& held);

// Keeps the machine awake while a burn, an erase, a station or a watch runs;
// a shutdown or log-off asked for meanwhile becomes a stop request (a
// termination) that the work sees at its next safe point.
std::unique_ptr<platform::MachineHold> holdMachineForTheRun();

// The first two of `files` that are one file while one of them is written,
// as a message naming both; empty when there are none.
std::string sameFileConflict(const std::vector<FileUse>& files);

}  // namespace emberline::cli
