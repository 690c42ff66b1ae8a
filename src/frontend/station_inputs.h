#pragma once

// What a station window opens before it shows: where its cameras come from
// and its record file, with the checks every face makes (an output never
// overwrites an input or a camera). Texts are UTF-8, paths included.

#include <filesystem>
#include <memory>
#include <string>

#include "frontend/hotplug.h"
#include "frontend/record_log.h"

namespace emberline::frontend {

struct StationInputs {
  std::unique_ptr<HotplugSource> source;  // null: `error` says why
  std::unique_ptr<RecordLog> log;         // null without a record file
  std::string error;
};

// `source`: empty for the system's cameras (udev, or Windows' device
// notifications), or sim-dir:DIR. The record file is appended to, so it may
// be neither the image nor a camera's file. The source is opened on the
// calling thread (on Windows the thread that polls it).
StationInputs openStationInputs(const std::filesystem::path& image, const std::string& record,
                                const std::string& source);

// The station's source for a dialog on `device` (its --device text): the
// folder of a simulated camera, with its latency, as sim-dir:DIR[?...]; the
// system's cameras (empty) for anything else.
std::string stationSourceFor(const std::string& device);

}  // namespace emberline::frontend
