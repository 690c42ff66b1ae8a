#pragma once

// A file records are appended to: each record is written whole by one
// append and flushed to the disk before append() returns, so a crash loses
// at most the records in flight, and several processes appending to the same
// file never interleave. Thread-safe.

#include <memory>
#include <string>
#include <string_view>

namespace emberline::platform {

class RecordFile {
 public:
  virtual ~RecordFile() = default;
  // Appends `line` (which ends in a newline); empty text, or why it failed.
  virtual std::string append(std::string_view line) = 0;
};

// nullptr and the reason when `path` cannot be opened for appending.
std::unique_ptr<RecordFile> openRecordFile(const std::string& path, std::string* error);

// The machine's name, for records; empty when it cannot be read.
std::string hostName();

}  // namespace emberline::platform
