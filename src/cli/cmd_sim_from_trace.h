#pragma once

// `emberline sim from-trace TRACE PATH [--replay]`: a simulated camera made
// from a trace (`--trace` output, or the trace in a doctor bundle): by
// default a camera that holds what the traced one showed; with --replay a
// strict camera that expects exactly the traced requests.

#include <string>
#include <vector>

#include "cli/command.h"

namespace CLI {
class App;
}

namespace emberline::cli {

class Report;

struct FromTraceOptions {
  std::string trace;
  std::string path;
  std::string device;  // --traced-device: whose requests to take
  bool replay = false;
  bool force = false;
};

void declareFromTrace(CLI::App& command, FromTraceOptions& options);
std::vector<FileUse> fromTraceFiles(const FromTraceOptions& options);
Outcome runFromTrace(const FromTraceOptions& options, Report& report);

}  // namespace emberline::cli
