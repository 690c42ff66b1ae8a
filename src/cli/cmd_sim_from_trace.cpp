#include "cli/cmd_sim_from_trace.h"

#include <CLI/CLI.hpp>

#include <system_error>

#include "cli/command_runner.h"
#include "cli/report.h"
#include "cli/text_format.h"
#include "core/device/utf8_path.h"
#include "platform/camera_lock.h"
#include "sim/camera_from_trace.h"
#include "sim/replay_camera.h"

namespace emberline::cli {

void declareFromTrace(CLI::App& command, FromTraceOptions& o) {
  command.add_option("TRACE", o.trace, "A --trace file, or a bundle of 'emberline doctor --bundle'")->required();
  command.add_option("PATH", o.path, "The simulated camera's file to create")->required();
  command.add_flag("--replay", o.replay,
                   "Make a strict camera that expects exactly the traced requests, in order, and answers each "
                   "as recorded; the first request that differs fails, naming it");
  command.add_option("--traced-device", o.device,
                     "Take the requests to this device, as the trace names it (default: the device that answered "
                     "most requests)")
      ->option_text("DEV");
  command.add_flag("--force", o.force, "Replace an existing file");
  command.footer(
      "Without --replay the camera holds what the trace read or wrote: chip id, device information, "
      "registers, memory and every flash byte the trace touched (the rest blank).");
}

std::vector<FileUse> fromTraceFiles(const FromTraceOptions& o) {
  return {{"TRACE", o.trace, false}, {"PATH", o.path, true}};
}

Outcome runFromTrace(const FromTraceOptions& o, Report& report) {
  const auto path = utf8Path(o.path);
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec);
  if (!o.force && exists) {
    report.fail(o.path + " already exists (--force replaces it)");
    return Outcome::BadUsage;
  }
  // A camera replaced under a running burn would be overwritten again when
  // the burn saves, while both said they succeeded: held as sim init --force
  // holds it.
  std::unique_ptr<platform::CameraLock> lock;
  if (exists && !claimCamera(o.path, true, report, lock)) return Outcome::CameraUnavailable;
  sim::Trace trace;
  std::string error;
  if (!sim::readTrace(utf8Path(o.trace), trace, error)) {
    report.fail(error);
    return Outcome::BadInputFile;
  }
  trace.name = o.trace;
  std::vector<sim::TracedRequest> requests;
  std::string device;
  if (!sim::requestsOfOneDevice(trace, o.device, requests, device, error)) {
    report.fail(error);
    return Outcome::BadUsage;
  }
  auto& d = report.details();
  d["path"] = o.path;
  d["trace"] = o.trace;
  d["traced_device"] = device;
  d["requests"] = requests.size();
  d["replay"] = o.replay;

  if (o.replay) {
    std::string why;
    if (const int rc = sim::writeReplayFile(path, o.trace, requests, &why); rc != 0) {
      report.fail("cannot write " + o.path + ": " + (why.empty() ? std::generic_category().message(-rc) : why));
      return Outcome::OperationFailed;
    }
    report.say("Replaying camera: the " + std::to_string(requests.size()) + " requests of " + visibleText(device) +
               " in " + o.trace + ".");
    report.say("Use it with --device sim:" + o.path + "; a run passes only when it sends exactly these requests.");
    return Outcome::Success;
  }

  sim::TracedCamera camera;
  if (!sim::cameraFromTrace(trace, requests, camera, error)) {
    report.fail(error);
    return Outcome::BadInputFile;
  }
  std::string why;
  if (const int rc = camera.camera->save(path, &why); rc != 0) {
    report.fail("cannot write " + o.path + ": " + (why.empty() ? std::generic_category().message(-rc) : why));
    return Outcome::OperationFailed;
  }
  const auto maybe = [](const auto& value) { return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(); };
  d["chip_id"] = maybe(camera.chip_id);
  d["flash_id"] = camera.flash_id ? nlohmann::ordered_json(flashIdText(*camera.flash_id)) : nlohmann::ordered_json();
  d["flash_status"] = maybe(camera.flash_status);
  d["flash_bytes"] = camera.flash_bytes;
  d["registers"] = camera.registers;
  d["memory9_bytes"] = camera.memory9_bytes;
  const auto or_default = [](bool known, const std::string& text) { return known ? text : "not in the trace (default)"; };
  report.say("Camera from the " + std::to_string(requests.size()) + " requests of " + visibleText(device) + " in " +
             o.trace + ":");
  report.say("  chip id        " + or_default(camera.chip_id.has_value(), camera.chip_id ? hexByte(*camera.chip_id) : ""));
  report.say("  flash          " + or_default(camera.flash_id.has_value(), camera.flash_id ? flashIdText(*camera.flash_id) : ""));
  report.say("  status         " +
             or_default(camera.flash_status.has_value(), camera.flash_status ? hexByte(*camera.flash_status) : ""));
  report.say("  from the trace " + std::to_string(camera.flash_bytes) + " flash bytes, " +
             std::to_string(camera.registers) + " registers, " + std::to_string(camera.memory9_bytes) +
             " bytes of memory space 9; the rest as a new simulated camera has it, the flash blank");
  report.say("Use it with --device sim:" + o.path);
  return Outcome::Success;
}

}  // namespace emberline::cli
