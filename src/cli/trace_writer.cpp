#include "cli/trace_writer.h"

#include <cerrno>
#include <cstring>

#include "sim/trace_format.h"

namespace emberline::cli {

TraceWriter::TraceWriter(const std::filesystem::path& path, std::chrono::steady_clock::time_point start)
    : start_(start) {
  out_ = platform::StreamFile::open(path, &error_);
}

TraceWriter::~TraceWriter() { close(); }

std::string TraceWriter::failure() const { return error_ == 0 ? std::string{} : std::strerror(error_); }

bool TraceWriter::close() {
  if (out_ != nullptr) {
    const int closed = out_->close();
    if (error_ == 0) error_ = closed;
    out_.reset();
  }
  return error_ == 0;
}

std::string TraceWriter::formatLine(const device::TraceEvent& event,
                                    std::chrono::steady_clock::time_point start) {
  return sim::formatTraceLine(sim::tracedRequest(event, start));
}

void TraceWriter::write(const device::TraceEvent& event) {
  if (!ok()) return;
  // Written line by line: a run that crashes or is interrupted still leaves
  // its requests behind.
  error_ = out_->write(formatLine(event, start_) + '\n');
}

}  // namespace emberline::cli
