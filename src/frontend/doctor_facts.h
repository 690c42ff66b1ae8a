#pragma once

// The facts doctor gets from this platform, or, for a simulated or replaying
// camera, from nothing but the camera itself.

#include <memory>

#include "core/diagnosis/facts.h"

namespace emberline::frontend {

// This platform's (doctor_facts_<os>.cpp). On Linux EMBERLINE_SYSFS_ROOT and
// EMBERLINE_DEV_ROOT replace /sys and /dev, as for the device list.
std::unique_ptr<diagnosis::PlatformFacts> makePlatformFacts();

// A simulated camera has no driver, node or port: no system facts; the
// camera's unit comes from the simulator (or the replayed trace).
std::unique_ptr<diagnosis::PlatformFacts> makeSimulatedFacts(diagnosis::UnitSource source);

// "Linux 6.1.0 x86_64", "Windows 10.0.19045 x64".
std::string systemDescription();

}  // namespace emberline::frontend
