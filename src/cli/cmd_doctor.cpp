// emberline doctor [--bundle FILE]: what stands between this machine and the
// camera, one check per line with what to do, and a file to attach to a bug
// report. Nothing on the camera is written.

#include <CLI/CLI.hpp>

#include <chrono>
#include <ctime>

#include "cli/command.h"
#include "cli/report.h"
#include "cli/text_format.h"
#include "cli/trace_writer.h"
#include "core/device/device_filter.h"
#include "core/device/tracing.h"
#include "core/device/utf8_path.h"
#include "core/diagnosis/doctor.h"
#include "core/diagnosis/texts.h"
#include "frontend/camera_probe.h"
#include "frontend/device_selection.h"
#include "frontend/doctor_facts.h"
#include "platform/camera_lock.h"
#include "platform/file_replacement.h"
#include "platform/sleep.h"
#include "sim/replay_camera.h"
#include "version/version.h"

namespace emberline::cli {

namespace {

using diagnosis::Check;
using diagnosis::CheckStatus;
using nlohmann::ordered_json;

ordered_json checksJson(const std::vector<Check>& checks) {
  ordered_json array = ordered_json::array();
  for (const auto& c : checks)
    array.push_back({{"name", c.name},
                     {"status", diagnosis::statusName(c.status)},
                     {"found", c.found},
                     {"advice", c.advice}});
  return array;
}

std::string utcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
#ifdef _WIN32
  gmtime_s(&parts, &now);
#else
  gmtime_r(&now, &parts);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

std::string label(const frontend::ProbedDevice& d) {
  return d.entry.path.value_or(d.entry.id) + " (" + d.entry.display_name.value_or("no name") + ")";
}

// A simulated camera's facts come from the simulator (or the replayed trace).
std::unique_ptr<diagnosis::PlatformFacts> factsFor(const RunContext& ctx) {
  if (!ctx.context->simulated()) return frontend::makePlatformFacts();
  std::string ignored;
  const auto chosen = frontend::parseDeviceSpec(ctx.options.device, &ignored);
  const bool replay = chosen && chosen->kind == frontend::DeviceSpec::Kind::Sim && sim::isReplayFile(chosen->sim_state);
  return frontend::makeSimulatedFacts(replay ? diagnosis::UnitSource::Replay : diagnosis::UnitSource::Simulator);
}

class DoctorCommand final : public Command {
 public:
  std::string name() const override { return "doctor"; }
  std::string summary() const override {
    return "Check the driver, the access to the camera and the camera itself, and say what to do; "
           "--bundle FILE writes a file to attach to a bug report. Writes nothing to the camera.";
  }
  DeviceNeed need() const override { return DeviceNeed::List; }

  void declare(CLI::App& command) override {
    command.add_option("--bundle", bundle_,
                       "Also write FILE: the report, this program's version and platform, the camera's USB "
                       "descriptors (Linux) or kernel-streaming topology (Windows) and every request doctor "
                       "made. It holds none of your files.")
        ->option_text("FILE");
    command.footer("Exit status: 0 every check ok (warnings included), 1 a check failed, 2 several cameras "
                   "answer and none is named, 3 no camera of the family answers.");
  }

  std::vector<FileUse> files() const override { return {{"--bundle", bundle_, true}}; }

  Outcome run(RunContext& ctx) override {
    Report& report = ctx.report;
    const auto language = ctx.language;
    auto facts = factsFor(ctx);

    // Every request doctor makes, for the bundle.
    ordered_json trace = ordered_json::array();
    const auto start = std::chrono::steady_clock::now();
    device::TracingDeviceList traced(*ctx.devices, [&trace, start](const device::TraceEvent& event) {
      trace.push_back(ordered_json::parse(TraceWriter::formatLine(event, start)));
    });
    device::DeviceList& devices = traced;

    std::vector<Check> checks = diagnosis::systemChecks(facts->system(), language);

    const auto probe = frontend::probeDevices(devices);
    diagnosis::CameraSearch search;
    search.enumerate_error = probe.enumerate_error;
    search.listed = probe.devices.size();
    search.searched = ctx.context->searched();
    for (const auto& d : probe.devices) {
      if (d.answers) search.answering.push_back(label(d));
      else if (d.open_error != 0) search.problems.push_back(ctx.context->describeOpenError(d.open_error, d.entry.id));
      else if (!d.unit_problem.empty()) search.problems.push_back(d.unit_problem);
    }
    checks.push_back(diagnosis::cameraCheck(search, language));

    diagnosis::CameraFacts camera_facts;
    const auto choice = frontend::chooseCamera(probe);
    if (choice.kind == frontend::CameraChoice::Kind::One) {
      const std::string lock_path = ctx.context->cameraPath().empty() ? choice.id : ctx.context->cameraPath();
      auto lock = platform::lockCamera(lock_path, ctx.context->simulated());
      const bool busy = lock.state == platform::LockAttempt::State::Busy;
      checks.push_back(diagnosis::lockCheck(busy, lock.holder, language));
      if (!busy) {
        std::string path = choice.id;
        for (const auto& d : probe.devices)
          if (d.entry.id == choice.id) path = d.entry.path.value_or(d.entry.id);
        camera_facts = facts->camera(path);
        const auto platform_checks = diagnosis::cameraPlatformChecks(camera_facts, language);
        checks.insert(checks.end(), platform_checks.begin(), platform_checks.end());
        device::SingleDeviceList only(devices, choice.id);
        const auto camera_checks = diagnosis::cameraChecks(only, camera_facts, platform::systemClock(), language);
        checks.insert(checks.end(), camera_checks.begin(), camera_checks.end());
        report.details()["camera"] = path;
      }
    }
    if (!report.details().contains("camera")) report.details()["camera"] = nullptr;
    report.details()["checks"] = checksJson(checks);
    show(report, checks, language);

    Outcome outcome = Outcome::Success;
    if (probe.answering() == 0) {
      report.fail("no camera of the family answers (the checks above say what was found)");
      outcome = Outcome::NoCamera;
    } else if (probe.answering() > 1) {
      report.fail("several cameras answer; name one with --device");
      outcome = Outcome::BadUsage;
    } else if (diagnosis::worst(checks) == CheckStatus::Failed) {
      std::string failed;
      for (const auto& c : checks)
        if (c.status == CheckStatus::Failed) failed += (failed.empty() ? "" : ", ") + c.name;
      report.fail("a check failed: " + failed);
      outcome = Outcome::OperationFailed;
    }

    if (!bundle_.empty()) {
      ordered_json bundle;
      bundle["bundle"] = "emberline doctor";
      bundle["format"] = 1;
      bundle["program_version"] = version::program();
      bundle["platform"] = facts->description();
      bundle["created"] = utcNow();
      bundle["device"] = ctx.options.device;
      bundle["outcome"] = std::string(outcomeName(outcome));
      bundle["checks"] = checksJson(checks);
      if (!camera_facts.usb_descriptors.empty()) bundle["usb_descriptors"] = camera_facts.usb_descriptors;
      if (!camera_facts.topology.empty() || !camera_facts.topology_problem.empty()) {
        ordered_json nodes = ordered_json::array();
        for (const auto& node : camera_facts.topology)
          nodes.push_back({{"index", node.index}, {"type", node.type}, {"name", node.name}});
        bundle["ks_topology"] = nodes;
        if (!camera_facts.topology_problem.empty()) bundle["ks_topology_problem"] = camera_facts.topology_problem;
      }
      bundle["trace"] = std::move(trace);
      if (!writeBundle(report, bundle.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n"))
        return outcome == Outcome::Success ? Outcome::OperationFailed : outcome;
      report.details()["bundle"] = bundle_;
      report.say(diagnosis::say(language, "Bundle written to {0}: attach it to your bug report.",
                                "诊断包已写入 {0}：请把它附在问题报告中。", {bundle_}));
    }
    return outcome;
  }

 private:
  static void show(Report& report, const std::vector<Check>& checks, workflows::Language language) {
    for (const auto& c : checks) {
      const std::string mark = "[" + std::string(diagnosis::statusWord(language, c.status)) + "]";
      char head[32];
      std::snprintf(head, sizeof head, "%-10s", mark.c_str());
      report.say(std::string(head) + c.name + ": " + visibleText(c.found));
      if (!c.advice.empty()) report.say("           -> " + visibleText(c.advice));
    }
  }

  // The bundle replaces its file whole or not at all, like every output.
  bool writeBundle(Report& report, const std::string& text) {
    platform::FileError error;
    auto replacement = platform::FileReplacement::begin(utf8Path(bundle_), &error);
    if (!replacement ||
        !replacement->commit(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), &error)) {
      report.fail("cannot write the bundle " + bundle_ + ": " + error.path.string() + ": " + error.why);
      return false;
    }
    return true;
  }

  std::string bundle_;
};

}  // namespace

std::unique_ptr<Command> makeDoctorCommand() { return std::make_unique<DoctorCommand>(); }

}  // namespace emberline::cli
