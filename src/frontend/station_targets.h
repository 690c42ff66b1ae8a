#pragma once

// The cameras a station drives, as the faces name them: one job target per
// --device string, each taking its camera's lock and its own device list on
// the job's thread.

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/station/camera_job.h"

namespace emberline::frontend {

// A target for `device` (a /dev path or sim:PATH); nullopt and a message
// when the text is no device. `unplugged`, when given, makes every request
// fail as from an unplugged camera once it is set (the simulated folder's
// watcher sets it when the camera's file goes away).
std::optional<station::JobTarget> makeJobTarget(const std::string& device, std::string* error,
                                                std::shared_ptr<std::atomic<bool>> unplugged = nullptr);

// Every camera of the family this machine's device list shows (their /dev
// paths); an error text when the list cannot be read.
std::vector<std::string> answeringCameras(std::string* error);

}  // namespace emberline::frontend
