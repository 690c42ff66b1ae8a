#include "frontend/attempt_json.h"

#include <cstdio>
#include <ctime>

#include "version/version.h"

namespace emberline::frontend {

std::string isoUtc(std::chrono::system_clock::time_point time) {
  const auto since = time.time_since_epoch();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(since);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(since - seconds).count();
  const std::chrono::sys_days day = std::chrono::floor<std::chrono::days>(std::chrono::sys_seconds(seconds));
  const std::chrono::year_month_day date(day);
  const std::chrono::hh_mm_ss clock(seconds - day.time_since_epoch());
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()), static_cast<int>(millis));
  return text;
}

namespace {

template <typename T>
nlohmann::ordered_json orNull(const std::optional<T>& value) {
  return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json();
}

// CR LF between the version text's lines; a record keeps them as an array.
nlohmann::ordered_json versionLines(const std::optional<std::string>& text) {
  if (!text) return nullptr;
  nlohmann::ordered_json lines = nlohmann::ordered_json::array();
  std::string::size_type at = 0;
  while (at <= text->size()) {
    const auto end = text->find("\r\n", at);
    lines.push_back(text->substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 2;
  }
  return lines;
}

}  // namespace

nlohmann::ordered_json attemptJson(const station::AttemptRecord& r, const std::string& host) {
  nlohmann::ordered_json j;
  j["operation"] = r.operation == station::Operation::Burn ? "burn" : "erase";
  j["start"] = isoUtc(r.start);
  j["end"] = isoUtc(r.end);
  j["host"] = host;
  j["program_version"] = version::program();
  j["device"] = r.device;
  j["port"] = r.port.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(r.port);
  j["chip_id"] = orNull(r.chip_id);
  j["version_before"] = versionLines(r.version_before);
  j["version_after"] = versionLines(r.version_after);
  if (r.operation == station::Operation::Burn) {
    j["image"] = r.image;
    j["image_sha256"] = r.image_sha256.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(r.image_sha256);
    j["verify"] = r.verify;
  }
  nlohmann::ordered_json stages = nlohmann::ordered_json::array();
  for (const auto& stage : r.stages)
    stages.push_back({{"name", stage.name}, {"duration_us", stage.duration.count()}});
  j["stages"] = std::move(stages);
  j["requests"] = r.requests;
  j["result"] = station::resultName(r.result);
  j["error"] = r.error.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(r.error);
  // The operator's line for the failure, in English (what the station window
  // shows in its own language).
  const auto advice = workflows::operatorAdvice(r.failure_kind, workflows::Language::English);
  j["advice"] = advice.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(std::string(advice));
  j["first_difference"] = orNull(r.first_difference);
  return j;
}

}  // namespace emberline::frontend
