#include "cli/command_runner.h"

#include <memory>
#include <optional>
#include <system_error>

#include "cli/recording_ui.h"
#include "cli/report.h"
#include "cli/station_run.h"
#include "cli/terminal_ui.h"
#include "cli/trace_writer.h"
#include "core/device/device_filter.h"
#include "core/device/guid.h"
#include "core/device/tracing.h"
#include "core/workflows/camera_session.h"
#include "frontend/camera_probe.h"
#include "frontend/device_selection.h"
#include "platform/camera_lock.h"

namespace emberline::cli {

namespace {

// The session is made before the camera is chosen (so that input files are
// checked before any request), so it gets this list and the choice is
// plugged in behind it.
class ChosenDeviceList final : public device::DeviceList {
 public:
  explicit ChosenDeviceList(device::DeviceList& initial) : target_(&initial) {}
  void choose(device::DeviceList& target) { target_ = &target; }

  int enumerate(std::vector<device::DeviceEntry>& out) override { return target_->enumerate(out); }
  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry& entry, int* error) override {
    return target_->open(entry, error);
  }

 private:
  device::DeviceList* target_;
};

std::string errnoText(int error) { return std::generic_category().message(error < 0 ? -error : error); }

std::string deviceLabel(const frontend::ProbedDevice& d) {
  return d.entry.path.value_or(d.entry.id) + " (" + d.entry.display_name.value_or("no name") + ")";
}

// "no camera found: searched ..." with what each listed device did.
std::string explainNoCamera(const frontend::DeviceContext& context, const frontend::ProbeResult& probe,
                            bool* unopenable) {
  std::string text = "no camera found: searched " + context.searched();
  *unopenable = false;
  if (probe.enumerate_error != 0) return text + "; the device list cannot be read: " + errnoText(probe.enumerate_error);
  if (probe.devices.empty()) return text + "; there are no video-capture devices";
  for (const auto& d : probe.devices) {
    text += "\n  " + deviceLabel(d) + ": ";
    if (d.open_error != 0) {
      text += context.describeOpenError(d.open_error, d.entry.id);
      *unopenable = true;
    } else if (d.answers) {
      text += "answered the probe, but discovery did not bind it";
    } else {
      text += "no answer from the vendor extension unit " + device::toString(device::kExtensionUnitPropertySet);
    }
  }
  return text;
}

nlohmann::ordered_json deviceJson(const device::DeviceEntry& entry) {
  nlohmann::ordered_json j;
  j["id"] = entry.id;
  j["name"] = entry.display_name ? nlohmann::ordered_json(*entry.display_name) : nlohmann::ordered_json();
  j["path"] = entry.path ? nlohmann::ordered_json(*entry.path) : nlohmann::ordered_json();
  return j;
}

// Saves a simulated camera's state; a failure spoils an otherwise good run.
Outcome persist(frontend::DeviceContext& context, Report& report, Outcome outcome) {
  std::string error;
  if (context.persist(&error) == 0) return outcome;
  report.fail(error);
  return outcome == Outcome::Success ? Outcome::OperationFailed : outcome;
}

// Takes the camera for the whole command; false (and the reason in the
// report) when another process drives it. A lock that cannot even be tried
// leaves the camera's own open to say what is wrong.
bool claimCamera(const std::string& path, bool simulated, Report& report,
                 std::unique_ptr<platform::CameraLock>& held) {
  if (path.empty()) return true;
  auto attempt = platform::lockCamera(path, simulated);
  if (attempt.state == platform::LockAttempt::State::Busy) {
    report.fail(platform::busyText(attempt.holder));
    return false;
  }
  held = std::move(attempt.lock);
  return true;
}

// Runs a camera command and ends the report (which must carry what the
// session's port recorded, so it ends here); returns the exit status.
int runOnCamera(Command& command, RunContext& ctx, const frontend::DeviceSpec& selection) {
  Report& report = ctx.report;
  std::unique_ptr<platform::CameraLock> lock;  // held until the command has ended
  if (!claimCamera(ctx.context->cameraPath(), ctx.context->simulated(), report, lock))
    return report.finish(Outcome::CameraUnavailable);
  TerminalUi terminal(report.human(), report.errors(), isInteractive(report.human()), ctx.language);
  RecordingUiPort ui(terminal, ctx.language);
  std::unique_ptr<device::SingleDeviceList> only;  // outlives the session that may use it
  ChosenDeviceList chosen(*ctx.devices);
  workflows::CameraSession session(chosen, ui);
  session.setDiscoveryOutput([&report](std::string_view line) { report.say(line); });
  ctx.session = &session;
  ctx.ui = &ui;
  const auto finish = [&](Outcome outcome) {
    terminal.finishLine();
    return report.finish(outcome, &ui);
  };

  const Outcome prepared = command.prepare(ctx);
  if (prepared != Outcome::Success) return finish(prepared);

  // Without --device every camera is a candidate; more than one answering is
  // a question only the user can answer. The choice also narrows the list,
  // so that the library's own channel opens the same camera as discovery.
  std::optional<frontend::ProbeResult> probe;
  if (selection.kind == frontend::DeviceSpec::Kind::Auto) {
    probe = frontend::probeDevices(*ctx.devices);
    const auto choice = frontend::chooseCamera(*probe);
    if (choice.kind == frontend::CameraChoice::Kind::Several) {
      report.fail("several cameras answer; say which one with --device (a path or an index):\n" +
                  frontend::describeAnswering(*probe));
      return finish(Outcome::BadUsage);
    }
    if (choice.kind == frontend::CameraChoice::Kind::One) {
      if (!claimCamera(choice.id, false, report, lock)) return finish(Outcome::CameraUnavailable);
      only = std::make_unique<device::SingleDeviceList>(*ctx.devices, choice.id);
      chosen.choose(*only);
    }
  }

  std::vector<device::DeviceEntry> entries;
  if (chosen.enumerate(entries) == 0 && entries.size() == 1) report.details()["device"] = deviceJson(entries[0]);

  // The handler's step: bind the camera, or end here without an operation.
  if (session.DiscoverCamera() != 0) {
    if (!probe) probe = frontend::probeDevices(*ctx.devices);
    bool unopenable = false;
    report.fail(explainNoCamera(*ctx.context, *probe, &unopenable));
    const bool chosen_by_user = selection.kind != frontend::DeviceSpec::Kind::Auto;
    return finish(unopenable && chosen_by_user ? Outcome::CameraUnavailable : Outcome::NoCamera);
  }

  const Outcome outcome = command.run(ctx);
  terminal.finishLine();
  return finish(persist(*ctx.context, report, outcome));
}

}  // namespace

int runCommand(Command& command, const GlobalOptions& options, std::FILE* out, std::FILE* errors) {
  Report report(options.json, out, errors);
  report.setCommand(command.name());

  workflows::Language language = workflows::languageFromEnvironment();
  if (!options.lang.empty()) {
    const auto parsed = workflows::parseLanguage(options.lang);
    if (!parsed) {
      report.fail("unknown language '" + options.lang + "' (en or zh_CN)");
      return report.finish(Outcome::BadUsage);
    }
    language = *parsed;
  }

  RunContext ctx{options, language, report};
  if (command.need() == DeviceNeed::None) return report.finish(command.run(ctx));
  if (auto request = command.stationRequest(options)) return runStation(*request, options, language, report);
  if (options.devices.size() > 1) {
    report.fail("--device is given " + std::to_string(options.devices.size()) +
                " times; only burn and erase drive several cameras at once");
    return report.finish(Outcome::BadUsage);
  }

  std::string error;
  const auto selection = frontend::parseDeviceSpec(options.device, &error);
  if (!selection) {
    report.fail(error);
    return report.finish(Outcome::BadUsage);
  }
  auto context = frontend::openDeviceContext(*selection, &error);
  if (!context) {
    report.fail(error);
    return report.finish(Outcome::CameraUnavailable);
  }
  ctx.context = context.get();
  ctx.devices = &context->devices();

  std::unique_ptr<TraceWriter> trace;
  std::unique_ptr<device::TracingDeviceList> traced;
  if (!options.trace.empty()) {
    trace = std::make_unique<TraceWriter>(options.trace);
    if (!trace->ok()) {
      report.fail("cannot write the trace file " + options.trace);
      return report.finish(Outcome::BadUsage);
    }
    traced = std::make_unique<device::TracingDeviceList>(context->devices(), trace->observer());
    ctx.devices = traced.get();
  }

  if (command.need() == DeviceNeed::List) {
    const Outcome outcome = command.run(ctx);
    return report.finish(persist(*context, report, outcome));
  }

  return runOnCamera(command, ctx, *selection);
}

}  // namespace emberline::cli
