#pragma once

// The --record file of a station run: one JSON line per attempt, appended
// whole and flushed to disk on the job's thread.

#include <memory>
#include <string>

#include "core/station/attempt.h"
#include "platform/record_file.h"

namespace emberline::frontend {

class RecordLog {
 public:
  // nullptr and the reason when `path` cannot be opened for appending.
  static std::unique_ptr<RecordLog> open(const std::string& path, std::string* error);

  // Empty text when the record is on disk, else why not.
  std::string keep(const station::AttemptRecord& record);

 private:
  RecordLog(std::unique_ptr<platform::RecordFile> file, std::string host)
      : file_(std::move(file)), host_(std::move(host)) {}
  std::unique_ptr<platform::RecordFile> file_;
  std::string host_;
};

}  // namespace emberline::frontend
