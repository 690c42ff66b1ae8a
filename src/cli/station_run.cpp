#include "cli/station_run.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <thread>

#include "cli/command_runner.h"
#include "cli/terminal_ui.h"
#include "core/device/utf8_path.h"
#include "core/station/station.h"
#include "core/workflows/camera_session.h"
#include "frontend/attempt_json.h"
#include "frontend/record_log.h"
#include "frontend/station_targets.h"
#include "cli/station_output.h"

namespace emberline::cli {

Outcome jobOutcome(station::JobResult result) {
  switch (result) {
    case station::JobResult::Passed: return Outcome::Success;
    case station::JobResult::Failed:
    case station::JobResult::Stopped: return Outcome::OperationFailed;
    case station::JobResult::BadImage: return Outcome::BadInputFile;
    case station::JobResult::NoCamera: return Outcome::NoCamera;
    case station::JobResult::Busy:
    case station::JobResult::Unavailable: return Outcome::CameraUnavailable;
  }
  return Outcome::OperationFailed;
}

Outcome checkStationImage(const std::string& image, Report& report) {
  std::ifstream in(utf8Path(image), std::ios::binary);
  std::vector<char> bytes(workflows::kImageSize + 1);
  if (in) in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!in && !in.eof()) {
    report.fail("cannot read " + image);
    return Outcome::BadInputFile;
  }
  if (static_cast<std::size_t>(in.gcount()) != workflows::kImageSize) {
    report.fail(image + " is not an image: an image is exactly " + std::to_string(workflows::kImageSize) + " bytes");
    return Outcome::BadInputFile;
  }
  if (std::string_view(bytes.data(), 4) != "QR5X") {
    report.fail(image + " is not an image of the family (it does not begin with QR5X)");
    return Outcome::BadInputFile;
  }
  return Outcome::Success;
}

namespace {

// The cameras of the run: every --device, or every answering camera with
// --all; a camera named twice is driven once.
bool collectDevices(const StationRequest& request, const GlobalOptions& options, Report& report,
                    std::vector<std::string>& devices) {
  if (request.all && !options.devices.empty()) {
    report.fail("--all and --device exclude each other");
    return false;
  }
  std::string error;
  const bool search = request.all || options.devices.empty();
  devices = search ? frontend::answeringCameras(&error) : options.devices;
  if (!error.empty()) {
    report.fail(error);
    return false;
  }
  // Without --device, as for one camera: the one that answers, never a guess among several.
  if (!request.all && options.devices.empty() && devices.size() > 1) {
    report.fail("several cameras answer; say which with --device, or burn them all with --all");
    return false;
  }
  std::set<std::string> seen;
  devices.erase(std::remove_if(devices.begin(), devices.end(),
                               [&seen](const std::string& d) { return !seen.insert(d).second; }),
                devices.end());
  return true;
}

}  // namespace

int runStation(const StationRequest& request, const GlobalOptions& options, workflows::Language,
               Report& report, const device::StopSource* stop) {
  auto& details = report.details();
  if (!request.backup.empty()) {
    report.fail("--backup takes one camera and no --record");
    return report.finish(Outcome::BadUsage);
  }
  if (!options.trace.empty()) {
    report.fail("--trace takes one camera and no --record");
    return report.finish(Outcome::BadUsage);
  }
  if (!request.erase) {
    details["image"] = request.image;
    details["verify"] = request.verify_full ? "full" : "sampled";
    const Outcome image = checkStationImage(request.image, report);
    if (image != Outcome::Success) return report.finish(image);
  }

  std::vector<std::string> devices;
  if (!collectDevices(request, options, report, devices)) return report.finish(Outcome::BadUsage);
  if (devices.empty()) {
    report.fail("no camera found: no camera of the family answers");
    return report.finish(Outcome::NoCamera);
  }
  std::vector<station::JobTarget> targets;
  for (const auto& device : devices) {
    std::string error;
    auto target = frontend::makeJobTarget(device, &error);
    if (!target) {
      report.fail(error);
      return report.finish(Outcome::BadUsage);
    }
    targets.push_back(std::move(*target));
  }

  std::unique_ptr<frontend::RecordLog> log;
  if (!request.record.empty()) {
    std::string error;
    log = frontend::RecordLog::open(request.record, &error);
    if (!log) {
      report.fail(error);
      return report.finish(Outcome::OperationFailed);
    }
  }

  station::JobSettings settings;
  settings.operation = request.erase ? station::Operation::Erase : station::Operation::Burn;
  settings.image = utf8Path(request.image);
  settings.verify_full = request.verify_full;
  if (log) settings.keep_record = [&log](const station::AttemptRecord& record) { return log->keep(record); };

  StationOutput output(report.human(), isInteractive(report.human()));
  const auto began = std::chrono::steady_clock::now();
  std::vector<station::AttemptRecord> results;
  station::StationTally tally;
  {
    const auto hold = holdMachineForTheRun();
    station::Station station(settings, output);
    for (auto& target : targets) station.start(std::move(target));
    // Ctrl-C: cameras not yet written are left alone; burns in flight end.
    while (station.tally().running > 0) {
      if (stop != nullptr && stop->stopRequested() && !station.stopping()) {
        output.note("stopping: waiting for the burns in flight");
        station.requestStop();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    station.wait();
    results = station.results();
    tally = station.tally();
  }
  output.summary(tally, std::chrono::steady_clock::now() - began);

  const std::string host = log ? platform::hostName() : std::string();
  Outcome worst = Outcome::Success;
  nlohmann::ordered_json cameras = nlohmann::ordered_json::array();
  for (const auto& record : results) {
    cameras.push_back(frontend::attemptJson(record, host));
    const Outcome outcome = jobOutcome(record.result);
    if (exitCode(outcome) > exitCode(worst)) worst = outcome;
  }
  details["results"] = std::move(cameras);
  details["passed"] = tally.passed;
  details["failed"] = tally.failed;
  if (worst != Outcome::Success)
    report.fail(std::to_string(tally.failed) + " of " + std::to_string(results.size()) + " cameras failed");
  if (!output.ok() && worst == Outcome::Success) {
    report.fail("cannot write the output");
    worst = Outcome::OperationFailed;
  }
  return report.finish(worst);
}

}  // namespace emberline::cli
