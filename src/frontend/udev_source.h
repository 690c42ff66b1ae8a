#pragma once

#include <memory>
#include <string>

#include "frontend/hotplug.h"

namespace emberline::frontend {

// The family's cameras as udev reports their video nodes; nullptr and the
// reason when udev cannot be reached.
std::unique_ptr<HotplugSource> openUdevSource(std::string* error);

}  // namespace emberline::frontend
