#pragma once

// The request trace as text, both ways: the JSON lines `--trace` writes
//   {"time_us":1234,"device":"/dev/video2","request":"xu","node":4,
//    "selector":3,"op":"SET","payload":"0a1b...","result":0}
// and the reader that turns such a file (or the "trace" array of a doctor
// bundle) back into requests, for a camera made from a trace and for a
// replaying camera. Trace files come from the field and may be cut short,
// reordered or edited by hand: the reader checks every field and names the
// file and line of the first thing wrong; it never trusts a size or a number.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/guid.h"
#include "core/device/tracing.h"

namespace emberline::sim {

enum class TracedOp : std::uint8_t { Set, Get, Support, Length };

struct TracedRequest {
  std::size_t line = 0;  // its line in the file (its entry in a bundle's trace), from 1
  std::int64_t time_us = 0;
  std::string device;
  bool driver = false;  // a driver property set's request ("request":"driver")
  device::Guid property_set = device::kExtensionUnitPropertySet;  // driver requests only
  std::uint32_t node = 0;
  std::uint32_t selector = 0;
  TracedOp op = TracedOp::Set;
  std::vector<std::uint8_t> payload;  // SET: as sent; GET: as received; LEN: 2 bytes little-endian
  int result = 0;                     // 0 or a negative errno
};

struct Trace {
  std::string name;     // the file, as messages name it
  bool bundle = false;  // the trace of a doctor bundle: entries, not lines
  std::vector<TracedRequest> requests;
  // A replaying camera's file carries the trace it was made from after one
  // header line naming it.
  std::string replay_source;
};

// Bounds of what the reader takes: a burn is about 17,000 lines of ~150 bytes.
inline constexpr std::size_t kLargestTraceFile = 256u << 20;
inline constexpr std::size_t kLongestTraceLine = 4096;
inline constexpr std::size_t kLongestTracedPayload = 256;
inline constexpr std::size_t kLargestBundle = 16u << 20;  // read whole, as one JSON document

// A request as a trace observer saw it; `start` is the trace's time zero.
TracedRequest tracedRequest(const device::TraceEvent& event, std::chrono::steady_clock::time_point start);

// One request as its JSON line, without the line end.
std::string formatTraceLine(const TracedRequest& request);

// Reads `path`: JSON lines as --trace writes them, or a doctor bundle. False,
// with "<file>:<line>: <what is wrong>" in `error`, for anything that is not
// such a trace.
bool readTrace(const std::filesystem::path& path, Trace& out, std::string& error);
// The same for text already read; `name` names it in messages.
bool parseTrace(std::string_view text, const std::string& name, Trace& out, std::string& error);

// "SET selector 3 node 4 payload 0a0b..." and the like, for messages.
std::string describeRequest(const TracedRequest& request);

// "trace.jsonl:57" or "bundle.json: trace entry 57".
std::string where(const Trace& trace, std::size_t line);

// The requests of one device. `wanted` (a device as the trace names it) when
// given; otherwise the device that answered most requests, since a trace of
// a search for the camera also holds other devices' failed requests. False
// with a message when `wanted` is not in the trace.
bool requestsOfOneDevice(const Trace& trace, const std::string& wanted, std::vector<TracedRequest>& out,
                         std::string& chosen, std::string& error);

}  // namespace emberline::sim
