#include "cli/command_runner.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <system_error>

#include "cli/recording_ui.h"
#include "cli/report.h"
#include "cli/rom_tag_table_option.h"
#include "cli/station_run.h"
#include "cli/terminal_ui.h"
#include "cli/text_format.h"
#include "cli/trace_writer.h"
#include "cli/workflow_frame.h"
#include "core/device/device_filter.h"
#include "core/device/guid.h"
#include "core/device/tracing.h"
#include "core/device/utf8_path.h"
#include "core/workflows/camera_session.h"
#include "frontend/camera_probe.h"
#include "frontend/device_selection.h"
#include "frontend/hotplug.h"
#include "frontend/output_files.h"
#include "platform/camera_lock.h"
#include "platform/file_replacement.h"
#include "platform/sleep.h"
#include "platform/stop_signals.h"
#include "platform/user_language.h"

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
    auto device = target_->open(entry, error);
    if (device) opened_.push_back(device);
    return device;
  }

  // What the platform said about the last failure of each device opened.
  std::vector<std::string> failureDetails() const {
    std::vector<std::string> details;
    for (const auto& weak : opened_) {
      const auto device = weak.lock();
      const std::string detail = device ? device->failureDetail() : std::string();
      if (!detail.empty() && std::find(details.begin(), details.end(), detail) == details.end())
        details.push_back(detail);
    }
    return details;
  }

 private:
  device::DeviceList* target_;
  std::vector<std::weak_ptr<device::CaptureDevice>> opened_;
};

std::string errnoText(int error) { return std::generic_category().message(error < 0 ? -error : error); }

std::string deviceLabel(const frontend::ProbedDevice& d) {
  return visibleText(d.entry.path.value_or(d.entry.id)) + " (" +
         visibleText(d.entry.display_name.value_or("no name")) + ")";
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

// Saves a simulated camera's state (once: a workflow may have saved it
// before claiming success); a failure spoils an otherwise good run.
Outcome persist(RunContext& ctx, Outcome outcome) {
  if (saveCamera(ctx)) return outcome;
  return outcome == Outcome::Success ? Outcome::OperationFailed : outcome;
}

// Every trace line must have arrived, or the run says so.
Outcome traceChecked(RunContext& ctx, Outcome outcome) {
  if (ctx.trace == nullptr || ctx.trace->close()) return outcome;
  ctx.report.fail("cannot write the trace file " + ctx.options.trace + ": " + ctx.trace->failure() +
                  "; the trace is incomplete");
  return outcome == Outcome::Success ? Outcome::OperationFailed : outcome;
}

// A run that failed because a stop was requested was interrupted; one that
// finished its work before the request stands as it is.
Outcome stopAware(const RunContext& ctx, const device::StopSource* stop, Outcome outcome) {
  if (stop == nullptr || !stop->stopRequested() || outcome == Outcome::Success) return outcome;
  ctx.report.setStopReason(stop->reason());
  return Outcome::Interrupted;
}

// Runs a camera command and ends the report (which must carry what the
// session's port recorded, so it ends here); returns the exit status. `lock`
// holds the camera the user named; one found by discovery is taken here.
int runOnCamera(Command& command, RunContext& ctx, const frontend::DeviceSpec& selection,
                const device::StopSource* stop, std::unique_ptr<platform::CameraLock> lock) {
  Report& report = ctx.report;
  TerminalUi terminal(report.human(), report.errors(), isInteractive(report.human()), ctx.language);
  RecordingUiPort ui(terminal, ctx.language);
  std::unique_ptr<device::SingleDeviceList> only;  // outlives the session that may use it
  ChosenDeviceList chosen(*ctx.devices);
  // Polls of 1 ms need a sleep that lasts 1 ms on every platform.
  workflows::CameraSession session(chosen, ui, platform::systemClock());
  if (stop != nullptr) session.setStopToken(stop->token());
  session.setOutputFiles(frontend::platformOutputFiles());
  session.setDiscoveryOutput([&report](std::string_view line) { report.say(line); });
  // The chip's version bytes as they are: visibleText shows what is not
  // UTF-8 as \xNN, the camera's own bytes, rather than as Latin-1 letters.
  session.setNarrowTextDecoder([](std::string_view bytes) { return std::string(bytes); });
  // A name the command only learns from the camera (the export's default
  // name) meets the same rule as the names on the command line.
  session.setOutputGuard([&ctx](const std::filesystem::path& target) -> std::optional<std::string> {
    std::vector<FileUse> files = ctx.files;
    files.push_back({"the export", target.string(), true});
    auto conflict = sameFileConflict(files);
    if (conflict.empty()) return std::nullopt;
    ctx.output_refused = true;
    return conflict;
  });
  ctx.session = &session;
  ctx.ui = &ui;
  const auto finish = [&](Outcome outcome) {
    terminal.finishLine();
    report.noteWriteError(report.human(), terminal.writeError());
    return report.finish(outcome, &ui);
  };

  Outcome prepared = applyRomTagTableOption(ctx);
  if (prepared == Outcome::Success) prepared = command.prepare(ctx);
  if (prepared != Outcome::Success) return finish(prepared);

  // Without --device every camera is a candidate; more than one answering is
  // a question only the user can answer. The choice also narrows the list,
  // so that the library's own channel opens the same camera as discovery.
  std::optional<frontend::ProbeResult> probe;
  if (selection.kind == frontend::DeviceSpec::Kind::Auto) {
    probe = frontend::probeDevices(*ctx.devices);
    const auto choice = frontend::chooseCamera(*probe);
    if (choice.kind == frontend::CameraChoice::Kind::Several) {
      std::string answering;
      for (const auto& line : splitLines(frontend::describeAnswering(*probe)))
        answering += visibleText(line) + "\n";
      report.fail("several cameras answer; say which one with --device (a path or an index):\n" + answering);
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

  if (stop != nullptr && stop->stopRequested()) {
    report.fail("interrupted before the command began; nothing was changed on the camera");
    return finish(stopAware(ctx, stop, Outcome::OperationFailed));
  }
  const auto hold = command.writesFlash() ? holdMachineForTheRun() : nullptr;
  const Outcome outcome = stopAware(ctx, stop, command.run(ctx));
  terminal.finishLine();
  if (outcome != Outcome::Success) {
    // The platform's own error code, for a person to quote or look up.
    for (const auto& detail : chosen.failureDetails()) {
      report.details()["device_error"] = detail;
      report.say(detail);
    }
  }
  return finish(traceChecked(ctx, persist(ctx, outcome)));
}

std::string quoted(const FileUse& use) { return use.what + " " + use.path; }

}  // namespace

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

std::unique_ptr<platform::MachineHold> holdMachineForTheRun() {
  return platform::holdMachine({platform::kBurningReason, platform::stopForShutdown});
}

std::string sameFileConflict(const std::vector<FileUse>& files) {
  for (const FileUse& use : files) {
    // Standard output carries the report (one JSON object with --json).
    if (use.output && !use.path.empty() && platform::isStandardOutput(utf8Path(use.path)))
      return quoted(use) + " is standard output, which carries the report; write it to a file";
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (std::size_t j = i + 1; j < files.size(); ++j) {
      if (!files[i].output && !files[j].output) continue;
      if (files[i].path.empty() || files[j].path.empty()) continue;
      if (!platform::sameFile(files[i].path, files[j].path)) continue;
      return quoted(files[i]) + " and " + quoted(files[j]) +
             " are the same file; an output never overwrites an input or another output";
    }
  }
  return {};
}

int runCommand(Command& command, const GlobalOptions& options, std::FILE* out, std::FILE* errors,
               const device::StopSource* stop) {
  Report report(options.json, out, errors);
  report.setCommand(command.name());

  workflows::Language language =
      workflows::languageFromEnvironment(platform::userInterfaceLocale().value_or(""));
  if (!options.lang.empty()) {
    const auto parsed = workflows::parseLanguage(options.lang);
    if (!parsed) {
      report.fail("unknown language '" + options.lang + "' (en or zh_CN)");
      return report.finish(Outcome::BadUsage);
    }
    language = *parsed;
  }

  // Before anything is opened, let alone truncated: no output may be an
  // input or another output, whichever path the command takes.
  std::vector<FileUse> files = command.files();
  std::vector<std::string> named = options.devices;
  if (named.empty() && !options.device.empty()) named.push_back(options.device);
  for (const std::string& device : named) {
    std::string ignored;
    const auto wanted = frontend::parseDeviceSpec(device, &ignored);
    if (wanted && wanted->kind == frontend::DeviceSpec::Kind::Sim)
      files.push_back({"the simulated camera", wanted->sim_state.string(), true});
  }
  if (!options.trace.empty()) files.push_back({"--trace", options.trace, true});
  if (!options.rom_tag_table.empty()) files.push_back({"--rom-tag-table", options.rom_tag_table, false});
  if (const auto conflict = sameFileConflict(files); !conflict.empty()) {
    report.fail(conflict);
    return report.finish(Outcome::BadUsage);
  }
  for (const std::string& device : named) {
    for (const FileUse& use : files) {
      if (!use.output || !frontend::isSimFolderCamera(device, use.path)) continue;
      report.fail(quoted(use) + " would be a camera of " + device + "; an output never overwrites a camera");
      return report.finish(Outcome::BadUsage);
    }
  }

  RunContext ctx{options, language, report};
  ctx.stop = stop;
  ctx.files = files;
  if (command.need() == DeviceNeed::None) return report.finish(command.run(ctx));
  if (auto request = command.stationRequest(options))
    return runStation(*request, options, language, report, stop);
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

  // The camera is taken before anything is read from it or written for it:
  // a simulated camera's state is read only once no other process drives
  // it (it might save over what we read), and a trace is not truncated for
  // a camera that turns out busy.
  std::unique_ptr<platform::CameraLock> lock;
  const bool simulated = selection->kind == frontend::DeviceSpec::Kind::Sim;
  if (command.need() == DeviceNeed::Camera && simulated &&
      !claimCamera(selection->sim_state.string(), true, report, lock))
    return report.finish(Outcome::CameraUnavailable);

  auto context = frontend::openDeviceContext(*selection, &error);
  if (!context) {
    report.fail(error);
    return report.finish(Outcome::CameraUnavailable);
  }
  ctx.context = context.get();
  ctx.devices = &context->devices();
  if (command.need() == DeviceNeed::Camera && !simulated &&
      !claimCamera(context->cameraPath(), false, report, lock))
    return report.finish(Outcome::CameraUnavailable);

  std::unique_ptr<TraceWriter> trace;
  std::unique_ptr<device::TracingDeviceList> traced;
  if (!options.trace.empty()) {
    trace = std::make_unique<TraceWriter>(utf8Path(options.trace));
    if (!trace->ok()) {
      report.fail("cannot write the trace file " + options.trace + ": " + trace->failure());
      return report.finish(Outcome::OperationFailed);
    }
    traced = std::make_unique<device::TracingDeviceList>(context->devices(), trace->observer());
    ctx.devices = traced.get();
  }

  ctx.trace = trace.get();

  if (command.need() == DeviceNeed::List) {
    const Outcome outcome = command.run(ctx);
    return report.finish(traceChecked(ctx, persist(ctx, outcome)));
  }

  return runOnCamera(command, ctx, *selection, stop, std::move(lock));
}

}  // namespace emberline::cli
