// libFuzzer target: any bytes given as a trace file are refused with a
// message or read into requests; those make a camera and a replay that
// accepts its own trace, without a crash or a read outside the input.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sim/camera_from_trace.h"
#include "sim/replay_camera.h"
#include "sim/trace_format.h"

using namespace emberline::sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Trace trace;
  std::string error;
  if (!parseTrace(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz", trace, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  std::vector<TracedRequest> requests;
  std::string device;
  if (!requestsOfOneDevice(trace, "", requests, device, error) || requests.empty()) std::abort();
  TracedCamera camera;
  if (!cameraFromTrace(trace, requests, camera, error) && error.empty()) std::abort();

  // Each request written back reads as itself, and a replay takes its own trace.
  auto replay = std::make_shared<ReplayCamera>(trace, requests);
  for (const auto& r : requests) {
    TracedRequest answer;
    if (replay->answer(r, &answer) != r.result) std::abort();
  }
  if (!replay->verdict().empty()) std::abort();
  return 0;
}
