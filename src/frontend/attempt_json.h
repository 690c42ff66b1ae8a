#pragma once

// An attempt as one JSON object: the line of a --record file, and each
// camera's entry in `burn --json`.

#include <string>

#include <nlohmann/json.hpp>

#include "core/station/attempt.h"

namespace emberline::frontend {

// `host` is the machine's name (records carry it; it may be empty).
nlohmann::ordered_json attemptJson(const station::AttemptRecord& record, const std::string& host);

// "2026-12-07T03:21:09.123Z"
std::string isoUtc(std::chrono::system_clock::time_point time);

}  // namespace emberline::frontend
