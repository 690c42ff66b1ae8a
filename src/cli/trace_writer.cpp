#include "cli/trace_writer.h"

#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "sim/trace_format.h"

namespace emberline::cli {

TraceWriter::TraceWriter(const std::filesystem::path& path, std::chrono::steady_clock::time_point start)
    : out_(platform::openStdioFile(path, "wb")), start_(start) {
  if (out_ == nullptr) error_ = errno != 0 ? errno : EIO;
}

TraceWriter::~TraceWriter() { close(); }

std::string TraceWriter::failure() const { return error_ == 0 ? std::string{} : std::strerror(error_); }

bool TraceWriter::close() {
  if (out_ != nullptr) {
    errno = 0;
    if (std::fclose(out_) != 0 && error_ == 0) error_ = errno != 0 ? errno : EIO;
    out_ = nullptr;
  }
  return error_ == 0;
}

std::string TraceWriter::formatLine(const device::TraceEvent& event,
                                    std::chrono::steady_clock::time_point start) {
  return sim::formatTraceLine(sim::tracedRequest(event, start));
}

void TraceWriter::write(const device::TraceEvent& event) {
  if (!ok()) return;
  const std::string line = formatLine(event, start_) + '\n';
  errno = 0;
  // Flushed line by line: a run that crashes or is interrupted still leaves
  // its requests behind.
  if (std::fwrite(line.data(), 1, line.size(), out_) != line.size() || std::fflush(out_) != 0)
    error_ = errno != 0 ? errno : EIO;
}

}  // namespace emberline::cli
