#include "frontend/record_log.h"

#include "frontend/attempt_json.h"

namespace emberline::frontend {

std::unique_ptr<RecordLog> RecordLog::open(const std::string& path, std::string* error) {
  auto file = platform::openRecordFile(path, error);
  if (!file) return nullptr;
  return std::unique_ptr<RecordLog>(new RecordLog(std::move(file), platform::hostName()));
}

std::string RecordLog::keep(const station::AttemptRecord& record) {
  // Text read from a camera may hold bytes that are not UTF-8: replace them
  // rather than lose the record.
  const std::string line =
      attemptJson(record, host_).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
  return file_->append(line);
}

}  // namespace emberline::frontend
