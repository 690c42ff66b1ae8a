#pragma once

#include <memory>
#include <string>

#include "frontend/hotplug.h"

namespace emberline::frontend {

// The family's cameras as udev reports their video nodes (on Windows: as the
// system's device-interface notifications report them, see
// device_interface_source.h); nullptr and the reason when the system's
// source cannot be reached.
std::unique_ptr<HotplugSource> openUdevSource(std::string* error);

}  // namespace emberline::frontend
