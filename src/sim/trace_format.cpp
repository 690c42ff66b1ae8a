#include "sim/trace_format.h"

#include <algorithm>
#include <limits>
#include <map>

#include <nlohmann/json.hpp>

#include "sim/file_io.h"

namespace emberline::sim {

namespace {

using nlohmann::json;

constexpr std::string_view kReplayHeaderKey = "emberline_replay";
constexpr int kLowestErrno = -4095;

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

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const char* opName(TracedOp op) {
  switch (op) {
    case TracedOp::Set: return "SET";
    case TracedOp::Get: return "GET";
    case TracedOp::Support: return "SUPPORT";
    case TracedOp::Length: return "LEN";
  }
  return "?";
}

// Checks one line's object field by field; the first problem wins.
class LineReader {
 public:
  explicit LineReader(const json& object) : object_(object) {}
  const std::string& problem() const { return problem_; }

  const json* field(const char* key) {
    if (!problem_.empty()) return nullptr;
    const auto it = object_.find(key);
    if (it == object_.end()) {
      problem_ = std::string("has no \"") + key + "\"";
      return nullptr;
    }
    return &*it;
  }
  void text(const char* key, std::string& out) {
    const json* value = field(key);
    if (!value) return;
    if (!value->is_string()) return wrong(key, "is not text");
    out = value->get<std::string>();
  }
  void unsignedNumber(const char* key, std::uint32_t& out) {
    const json* value = field(key);
    if (!value) return;
    if (!value->is_number_unsigned() || value->get<std::uint64_t>() > std::numeric_limits<std::uint32_t>::max())
      return wrong(key, "is not a number from 0 to 4294967295");
    out = static_cast<std::uint32_t>(value->get<std::uint64_t>());
  }
  void time(std::int64_t& out) {
    const json* value = field("time_us");
    if (!value) return;
    if (!value->is_number_integer() || value->get<std::int64_t>() < 0)
      return wrong("time_us", "is not a count of microseconds");
    out = value->get<std::int64_t>();
  }
  void result(int& out) {
    const json* value = field("result");
    if (!value) return;
    if (!value->is_number_integer() || value->get<std::int64_t>() > 0 ||
        value->get<std::int64_t>() < kLowestErrno)
      return wrong("result", "is neither 0 nor a negative error number");
    out = static_cast<int>(value->get<std::int64_t>());
  }
  void payload(std::vector<std::uint8_t>& out) {
    std::string digits;
    text("payload", digits);
    if (!problem_.empty()) return;
    if (digits.size() % 2 != 0) return wrong("payload", "has an odd number of hex digits");
    if (digits.size() > 2 * kLongestTracedPayload)
      return wrong("payload", "is longer than " + std::to_string(kLongestTracedPayload) + " bytes");
    out.clear();
    for (std::size_t i = 0; i < digits.size(); i += 2) {
      const int high = hexDigit(digits[i]);
      const int low = hexDigit(digits[i + 1]);
      if (high < 0 || low < 0) return wrong("payload", "holds a character that is not a hex digit");
      out.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
  }
  void wrong(const char* key, const std::string& why) {
    if (problem_.empty()) problem_ = std::string("\"") + key + "\" " + why;
  }

 private:
  const json& object_;
  std::string problem_;
};

// One line's object as a request; false and what is wrong in `problem`.
bool readRequest(const json& object, TracedRequest& r, std::string& problem) {
  if (!object.is_object()) {
    problem = "is not a JSON object";
    return false;
  }
  LineReader in(object);
  std::string request, op;
  in.time(r.time_us);
  in.text("device", r.device);
  in.text("request", request);
  in.unsignedNumber("node", r.node);
  in.unsignedNumber("selector", r.selector);
  in.text("op", op);
  in.payload(r.payload);
  in.result(r.result);
  if (in.problem().empty()) {
    if (request == "driver") {
      r.driver = true;
      std::string set;
      in.text("property_set", set);
      const auto guid = device::parseGuid(set);
      if (in.problem().empty() && !guid) in.wrong("property_set", "is not a GUID");
      if (guid) r.property_set = *guid;
    } else if (request != "xu") {
      in.wrong("request", "is neither \"xu\" nor \"driver\"");
    }
  }
  if (in.problem().empty()) {
    if (op == "SET") r.op = TracedOp::Set;
    else if (op == "GET") r.op = TracedOp::Get;
    else if (op == "SUPPORT") r.op = TracedOp::Support;
    else if (op == "LEN") r.op = TracedOp::Length;
    else in.wrong("op", "is none of SET, GET, SUPPORT, LEN");
  }
  if (in.problem().empty()) {
    if (r.driver && (r.op == TracedOp::Support || r.op == TracedOp::Length))
      in.wrong("op", "is not SET or GET, as a driver request's is");
    else if (r.op == TracedOp::Support && !r.payload.empty())
      in.wrong("payload", "is not empty, as the unit search's is");
    else if (r.op == TracedOp::Length && r.result == 0 && r.payload.size() != 2)
      in.wrong("payload", "is not the two bytes of a length");
  }
  problem = in.problem();
  return problem.empty();
}

// A JSON parse failure in a bundle, with the line it lies on.
std::string parseFailure(std::string_view text, const json::parse_error& e) {
  const std::size_t byte = std::min<std::size_t>(e.byte, text.size());
  const std::size_t line = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + byte, '\n'));
  return "line " + std::to_string(line) + " is not valid JSON";
}

bool isReplayHeader(const json& object) { return object.is_object() && object.contains(kReplayHeaderKey); }

// Requests follow each other in time; a line out of order means the file was
// reordered or assembled from pieces.
bool inOrder(const Trace& out, const TracedRequest& r, std::string& error) {
  if (out.requests.empty() || r.time_us >= out.requests.back().time_us) return true;
  error = where(out, r.line) + ": its time_us " + std::to_string(r.time_us) + " is earlier than the " +
          std::to_string(out.requests.back().time_us) + " before it: the requests are out of order";
  return false;
}

bool parseBundle(std::string_view text, Trace& out, std::string& error) {
  json bundle;
  try {
    bundle = json::parse(text.begin(), text.end());
  } catch (const json::parse_error& e) {
    error = out.name + ": " + parseFailure(text, e) + " (neither trace lines nor a doctor bundle)";
    return false;
  } catch (const json::out_of_range&) {
    // The parser refuses a number beyond a double's range by throwing this
    // rather than a parse error; the file is just as unreadable.
    error = out.name + ": holds a number too large to read (neither trace lines nor a doctor bundle)";
    return false;
  }
  const auto entries = bundle.is_object() ? bundle.find("trace") : bundle.end();
  if (!bundle.is_object() || entries == bundle.end() || !entries->is_array()) {
    error = out.name + ": not a trace (a JSON object, but not a doctor bundle with a \"trace\" array)";
    return false;
  }
  out.bundle = true;
  std::size_t number = 0;
  for (const json& entry : *entries) {
    TracedRequest r;
    r.line = ++number;
    std::string problem;
    if (!readRequest(entry, r, problem)) {
      error = where(out, r.line) + ": " + problem;
      return false;
    }
    if (!inOrder(out, r, error)) return false;
    out.requests.push_back(std::move(r));
  }
  return true;
}

}  // namespace

TracedRequest tracedRequest(const device::TraceEvent& event, std::chrono::steady_clock::time_point start) {
  TracedRequest r;
  r.time_us = std::chrono::duration_cast<std::chrono::microseconds>(event.time - start).count();
  r.device = event.device_id;
  r.driver = event.driver_property;
  r.property_set = event.property_set;
  r.node = event.node_id;
  r.selector = event.selector;
  // The extension-unit lookup is a support query, neither SET nor GET.
  const bool support = (event.flags & device::kKsPropertyTypeSetSupport) != 0;
  r.op = event.length_query ? TracedOp::Length
         : support          ? TracedOp::Support
         : event.op == device::XuOp::Set ? TracedOp::Set
                                          : TracedOp::Get;
  r.payload = event.payload;
  r.result = event.result;
  return r;
}

std::string formatTraceLine(const TracedRequest& r) {
  nlohmann::ordered_json line;
  line["time_us"] = r.time_us;
  line["device"] = r.device;
  line["request"] = r.driver ? "driver" : "xu";
  if (r.driver) line["property_set"] = device::toString(r.property_set);
  line["node"] = r.node;
  line["selector"] = r.selector;
  line["op"] = opName(r.op);
  line["payload"] = hex(r.payload);
  line["result"] = r.result;
  return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string where(const Trace& trace, std::size_t line) {
  return trace.bundle ? trace.name + ": trace entry " + std::to_string(line)
                      : trace.name + ":" + std::to_string(line);
}

std::string describeRequest(const TracedRequest& r) {
  if (r.driver)
    return std::string("driver ") + opName(r.op) + " on " + device::toString(r.property_set) +
           (r.op == TracedOp::Set ? " record " + hex(r.payload) : "");
  switch (r.op) {
    case TracedOp::Support: return "SUPPORT (the search for the extension unit)";
    case TracedOp::Length:
      return "LEN of selector " + std::to_string(r.selector) + " node " + std::to_string(r.node);
    case TracedOp::Set:
      return "SET selector " + std::to_string(r.selector) + " node " + std::to_string(r.node) + " payload " +
             hex(r.payload);
    case TracedOp::Get:
      return "GET selector " + std::to_string(r.selector) + " node " + std::to_string(r.node) + " of " +
             std::to_string(r.payload.size()) + " bytes";
  }
  return "?";
}

bool parseTrace(std::string_view text, const std::string& name, Trace& out, std::string& error) {
  out = Trace{};
  out.name = name;
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) {
    error = name + ": the file is empty: it holds no requests";
    return false;
  }
  // A trace has one JSON object per line; a bundle is one object, usually
  // over many lines, that carries the trace as an array.
  const auto first_end = text.find('\n', first);
  const std::string_view opening = text.substr(first, first_end == std::string_view::npos ? text.npos : first_end - first);
  bool bundle = opening.size() > kLongestTraceLine;
  if (!bundle) {
    const json probe = json::parse(opening.begin(), opening.end(), nullptr, false);
    bundle = probe.is_discarded() || !probe.is_object() || (probe.contains("trace") && !probe.contains("request"));
  }
  if (bundle) {
    if (text.size() > kLargestBundle) {
      error = name + ": line 1 is not a trace line, and at " + std::to_string(text.size()) +
              " bytes the file is too large for a doctor bundle";
      return false;
    }
    if (!parseBundle(text, out, error)) return false;
    if (out.requests.empty()) {
      error = name + ": the bundle's trace holds no requests";
      return false;
    }
    return true;
  }

  std::size_t line = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    ++line;
    const auto end = text.find('\n', at);
    const bool terminated = end != std::string_view::npos;
    std::string_view content = text.substr(at, terminated ? end - at : text.npos);
    at = terminated ? end + 1 : text.size();
    if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
    if (content.find_first_not_of(" \t") == std::string_view::npos) continue;
    if (content.size() > kLongestTraceLine) {
      error = where(out, line) + ": the line is longer than " + std::to_string(kLongestTraceLine) +
              " characters: not a trace line";
      return false;
    }
    const json object = json::parse(content.begin(), content.end(), nullptr, false);
    if (object.is_discarded()) {
      error = where(out, line) + (terminated ? ": the line is not valid JSON"
                                              : ": the last line is cut short (the file ends in the middle of it)");
      return false;
    }
    if (line == 1 && isReplayHeader(object)) {
      const auto source = object.find("source");
      out.replay_source = source != object.end() && source->is_string() ? source->get<std::string>() : name;
      continue;
    }
    TracedRequest r;
    r.line = line;
    std::string problem;
    if (!readRequest(object, r, problem)) {
      error = where(out, line) + ": " + problem;
      return false;
    }
    if (!inOrder(out, r, error)) return false;
    out.requests.push_back(std::move(r));
  }
  if (out.requests.empty()) {
    error = name + ": the file holds no requests";
    return false;
  }
  return true;
}

bool readTrace(const std::filesystem::path& path, Trace& out, std::string& error) {
  std::vector<std::uint8_t> bytes;
  std::string what;
  if (!readRegularFile(path, bytes, kLargestTraceFile, what)) {
    error = path.string() + ": " + what;
    return false;
  }
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return parseTrace(text, path.string(), out, error);
}

bool requestsOfOneDevice(const Trace& trace, const std::string& wanted, std::vector<TracedRequest>& out,
                         std::string& chosen, std::string& error) {
  std::map<std::string, std::size_t> answered;  // device -> requests that succeeded
  std::vector<std::string> order;               // devices as they first appear
  for (const auto& r : trace.requests) {
    if (answered.emplace(r.device, 0).second) order.push_back(r.device);
    answered[r.device] += r.result == 0 ? 1 : 0;
  }
  if (!wanted.empty()) {
    if (!answered.contains(wanted)) {
      std::string names;
      for (const auto& device : order) names += (names.empty() ? "" : ", ") + device;
      error = trace.name + " holds no request to " + wanted + " (its devices: " + names + ")";
      return false;
    }
    chosen = wanted;
  } else {
    chosen = order.front();
    for (const auto& device : order)
      if (answered[device] > answered[chosen]) chosen = device;
  }
  out.clear();
  for (const auto& r : trace.requests)
    if (r.device == chosen) out.push_back(r);
  return true;
}

}  // namespace emberline::sim
