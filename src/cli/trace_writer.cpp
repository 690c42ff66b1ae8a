#include "cli/trace_writer.h"

#include <cerrno>
#include <cstring>

#include <nlohmann/json.hpp>

#include "core/device/guid.h"

namespace emberline::cli {

namespace {

std::string hex(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

}  // namespace

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
  const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(event.time - start);
  nlohmann::ordered_json line;
  line["time_us"] = elapsed.count();
  line["device"] = event.device_id;
  line["request"] = event.driver_property ? "driver" : "xu";
  if (event.driver_property) line["property_set"] = device::toString(event.property_set);
  line["node"] = event.node_id;
  line["selector"] = event.selector;
  // The extension-unit lookup is a support query, neither SET nor GET.
  const bool support = (event.flags & device::kKsPropertyTypeSetSupport) != 0;
  line["op"] = support ? "SUPPORT" : event.op == device::XuOp::Set ? "SET" : "GET";
  line["payload"] = hex(event.payload);
  line["result"] = event.result;
  return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void TraceWriter::write(const device::TraceEvent& event) {
  if (!ok()) return;
  // Written line by line: a run that crashes or is interrupted still leaves
  // its requests behind.
  error_ = out_->write(formatLine(event, start_) + '\n');
}

}  // namespace emberline::cli
