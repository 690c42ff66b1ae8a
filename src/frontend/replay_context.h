#pragma once

// The device context of a replaying camera (sim:PATH where PATH was made by
// `emberline sim from-trace --replay`): one camera that expects the traced
// requests, and a run that ends with fewer requests than the trace holds,
// or with one that differs, fails when the context is closed.

#include <filesystem>
#include <memory>
#include <string>

#include "frontend/device_selection.h"

namespace emberline::frontend {

// nullptr and a message naming the file when it cannot be read.
std::unique_ptr<DeviceContext> openReplayContext(const std::filesystem::path& path, std::string* error);

}  // namespace emberline::frontend
