#pragma once

// `emberline sim fault PATH`: failures kept in a simulated camera's state
// file, so that a user or a script can reproduce a failed burn, export or
// version query from the shell.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/sim_camera.h"

namespace CLI {
class App;
}

namespace emberline::cli {

struct SimFaultOptions {
  std::string path;
  bool clear = false;
  std::string unplug_after, refuse_request, fail_read_at, wrong_byte_at, slow_request, slow_us;
  std::vector<std::string> refuse_selectors, refuse_registers;
  bool stuck_busy = false;
  bool transfer_never_done = false;
};

void declareSimFault(CLI::App& fault, SimFaultOptions& options);

// The plan after `options` (--clear first, then each fault given). False and
// what is wrong in `error` for a bad value.
bool applySimFault(const SimFaultOptions& options, sim::FaultPlan& plan, std::string& error);

// One line per fault, for people; "none" when there is none.
std::vector<std::string> describeFaults(const sim::FaultPlan& plan);
nlohmann::ordered_json faultsJson(const sim::FaultPlan& plan);

}  // namespace emberline::cli
