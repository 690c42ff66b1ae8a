#pragma once

// --trace FILE: every extension-unit request of the run as one JSON line:
//   {"time_us":1234,"device":"/dev/video2","request":"xu","node":4,
//    "selector":3,"op":"SET","payload":"0a1b...","result":0}
// time_us counts from the start of the run; payload is lower-case hex (Set:
// as sent, Get: as received); result is 0 or a negative errno. The search for
// the extension unit appears as "op":"SUPPORT" (selector 0), a question for a
// control's length as "op":"LEN" (payload: the length, two bytes little-endian).
// Driver-property
// requests (the chip-id fallback) say "request":"driver" and add
// "property_set".

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "core/device/tracing.h"
#include "platform/stream_file.h"

namespace emberline::cli {

class TraceWriter {
 public:
  // Opens (truncates) `path`; check ok() afterwards.
  explicit TraceWriter(const std::filesystem::path& path,
                       std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now());
  ~TraceWriter();
  TraceWriter(const TraceWriter&) = delete;
  TraceWriter& operator=(const TraceWriter&) = delete;

  bool ok() const { return out_ != nullptr && error_ == 0; }
  // Why the file could not be opened or written ("No space left on device"),
  // empty while every line arrived. Lines after a failed one are dropped.
  std::string failure() const;
  // Closes the file, so that a failure of the last write shows; false when
  // any line was lost.
  bool close();
  void write(const device::TraceEvent& event);
  device::TraceObserver observer() {
    return [this](const device::TraceEvent& e) { write(e); };
  }

  // One event as its JSON line, without the line end.
  static std::string formatLine(const device::TraceEvent& event,
                                std::chrono::steady_clock::time_point start);

 private:
  std::unique_ptr<platform::StreamFile> out_;
  int error_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace emberline::cli
