// emberline watch IMAGE: burns every camera of the family as it is plugged
// in, once per plug-in, until Ctrl-C; the burns in flight then run to their end.

#include <map>

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/command_runner.h"
#include "cli/report.h"
#include "cli/station_output.h"
#include "cli/station_run.h"
#include "cli/terminal_ui.h"
#include "core/device/utf8_path.h"
#include "frontend/attempt_json.h"
#include "frontend/hotplug.h"
#include "frontend/record_log.h"
#include "frontend/station_targets.h"
#include "frontend/udev_source.h"

namespace emberline::cli {

namespace {

constexpr std::chrono::milliseconds kPollInterval{100};

class WatchCommand final : public Command {
 public:
  std::string name() const override { return "watch"; }
  std::string summary() const override {
    return "Burn every camera of the family as it is plugged in, until Ctrl-C.";
  }
  DeviceNeed need() const override { return DeviceNeed::None; }

  void declare(CLI::App& command) override {
    command.add_option("IMAGE", image_, "The image file (exactly 131,072 bytes, starting with the family signature)")
        ->required();
    command.add_option("--verify", verify_, "sampled (default) or full, as for burn")
        ->check(CLI::IsMember({"sampled", "full"}))
        ->option_text("sampled|full");
    command.add_option("--record", record_, "Append one JSON line per camera and attempt to FILE, flushed to disk")
        ->option_text("FILE");
    command.footer(
        "Cameras come from udev (on Windows from its device notifications), or with --device "
        "sim-dir:DIR[?latency-us=N] from a folder of simulated "
        "cameras (a *.sim file appearing is a camera plugged in once it is complete, one removed is "
        "unplugged; one that could not be opened is tried again when its file changes). Cameras "
        "present at the start count as plugged in. A camera is burned once per plug-in. Ctrl-C stops "
        "after the burns in flight have ended.");
  }

  std::vector<FileUse> files() const override {
    return {{"IMAGE", image_, false}, {"--record", record_, true}};
  }

  Outcome run(RunContext& ctx) override {
    Report& report = ctx.report;
    auto& details = report.details();
    details["image"] = image_;
    details["verify"] = verify_;
    if (ctx.options.devices.size() > 1) {
      report.fail("watch takes at most one --device: sim-dir:DIR");
      return Outcome::BadUsage;
    }
    const Outcome image = checkStationImage(image_, report);
    if (image != Outcome::Success) return image;

    std::string error;
    std::unique_ptr<frontend::HotplugSource> source;
    if (ctx.options.device.rfind("sim-dir:", 0) == 0) {
      source = frontend::openSimFolder(ctx.options.device, &error);
    } else if (ctx.options.device.empty()) {
      source = frontend::openUdevSource(&error);
    } else {
      report.fail("watch finds the cameras itself: give no --device, or sim-dir:DIR for simulated cameras");
      return Outcome::BadUsage;
    }
    if (!source) {
      report.fail(error);
      return ctx.options.device.empty() ? Outcome::NoCamera : Outcome::BadUsage;
    }

    std::unique_ptr<frontend::RecordLog> log;
    if (!record_.empty() && !(log = frontend::RecordLog::open(record_, &error))) {
      report.fail(error);
      return Outcome::OperationFailed;
    }

    station::JobSettings settings;
    settings.image = utf8Path(image_);
    settings.verify_full = verify_ == "full";
    if (log) settings.keep_record = [&log](const station::AttemptRecord& record) { return log->keep(record); };

    StationOutput output(report.human(), isInteractive(report.human()));
    const auto began = std::chrono::steady_clock::now();
    const auto hold = holdMachineForTheRun();
    station::Station station(settings, output);
    watch(*source, station, output, ctx.stop);
    output.note("stopping: waiting for the burns in flight");
    station.requestStop();
    station.wait();
    const station::StationTally tally = station.tally();
    output.summary(tally, std::chrono::steady_clock::now() - began);

    Outcome worst = Outcome::Success;
    nlohmann::ordered_json cameras = nlohmann::ordered_json::array();
    for (const auto& record : station.results()) {
      cameras.push_back(frontend::attemptJson(record, {}));
      const Outcome outcome = jobOutcome(record.result);
      if (exitCode(outcome) > exitCode(worst)) worst = outcome;
    }
    details["results"] = std::move(cameras);
    details["passed"] = tally.passed;
    details["failed"] = tally.failed;
    if (worst != Outcome::Success) report.fail(std::to_string(tally.failed) + " cameras failed");
    if (!output.ok() && worst == Outcome::Success) {
      report.fail("cannot write the output");
      worst = Outcome::OperationFailed;
    }
    return worst;
  }

 private:
  // A camera plugged in, and how many jobs it has had since.
  struct Plugged {
    std::shared_ptr<std::atomic<bool>> gone;
    std::size_t jobs = 0;
  };

  // True when every job of `device` has ended and the last one could not
  // open the camera (a simulated camera's file that was not whole yet).
  static bool lastJobCouldNotOpen(const station::Station& station, const std::string& device, std::size_t jobs) {
    std::size_t ended = 0;
    station::JobResult last = station::JobResult::Passed;
    for (const auto& record : station.results()) {
      if (record.device != device) continue;
      ++ended;
      last = record.result;
    }
    return ended == jobs && last == station::JobResult::Unavailable;
  }

  // Until Ctrl-C: a job per camera plugged in; a camera pulled out has its
  // job's requests fail from then on, and may be plugged in again. A camera
  // reported again while still plugged in (its file written anew) is tried
  // again only when it could not be opened before.
  static void watch(frontend::HotplugSource& source, station::Station& station, StationOutput& output,
                    const device::StopSource* stop) {
    std::map<std::string, Plugged> plugged;
    std::size_t finished = 0;
    output.note("waiting for cameras (Ctrl-C stops)");
    while (stop == nullptr || !stop->stopRequested()) {
      for (const auto& event : source.poll(kPollInterval)) {
        const auto it = plugged.find(event.device);
        if (event.plugged) {
          if (it != plugged.end() && !lastJobCouldNotOpen(station, event.device, it->second.jobs)) continue;
          Plugged& camera = plugged[event.device];
          if (!camera.gone) camera.gone = std::make_shared<std::atomic<bool>>(false);
          std::string error;
          auto target = frontend::makeJobTarget(event.device, &error, camera.gone);
          if (!target) {
            output.note(event.device + ": " + error);
            plugged.erase(event.device);
            continue;
          }
          ++camera.jobs;
          station.start(std::move(*target));
        } else if (it != plugged.end()) {
          it->second.gone->store(true);
          plugged.erase(it);
        }
      }
      const auto tally = station.tally();
      if (tally.passed + tally.failed != finished) {
        finished = tally.passed + tally.failed;
        output.note("tally: passed " + std::to_string(tally.passed) + ", failed " + std::to_string(tally.failed) +
                    ", running " + std::to_string(tally.running));
      }
    }
  }

  std::string image_;
  std::string verify_ = "sampled";
  std::string record_;
};

}  // namespace

std::unique_ptr<Command> makeWatchCommand() { return std::make_unique<WatchCommand>(); }

}  // namespace emberline::cli
