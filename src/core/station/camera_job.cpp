#include "core/station/camera_job.h"

#include <utility>

#include "core/device/tracing.h"
#include "core/device/utf8_path.h"
#include "core/station/job_ui_port.h"
#include "core/station/sha256.h"
#include "core/workflows/camera_session.h"

namespace emberline::station {

namespace {

// Everything a job holds while it drives its camera, so that the record is
// finished in one place whatever the attempt ended with.
class Attempt {
 public:
  Attempt(const JobSettings& settings, const JobTarget& target, const std::atomic<bool>& stop,
          const std::function<void(JobEvent&)>& on_event)
      : settings_(settings), target_(target), stop_(stop), emit_(on_event), clock_(settings.make_clock()),
        ui_(*clock_, [this](JobEvent& event) { emit_(event); }) {
    record_.operation = settings.operation;
    record_.device = target.device;
    record_.port = target.port;
    if (settings.operation == Operation::Burn) {
      record_.image = utf8Text(settings.image);
      record_.verify = settings.verify_full ? "full" : "sampled";
    }
  }

  AttemptRecord run() {
    record_.start = settings_.wall_clock();
    JobEvent started;
    started.kind = JobEvent::Kind::Started;
    emit_(started);
    drive();
    record_.stages = ui_.finishStages();
    record_.end = settings_.wall_clock();
    return std::move(record_);
  }

 private:
  void end(JobResult result, std::string error = {}, workflows::FailureKind kind = workflows::FailureKind::None) {
    record_.result = result;
    record_.error = std::move(error);
    record_.failure_kind = kind;
  }

  void drive() {
    LinkFailure failure;
    ui_.beginStage("connect", "Connecting");
    std::unique_ptr<CameraLink> link = target_.open ? target_.open(failure) : nullptr;
    // Why a device does not open is the platform's to explain; a busy one
    // is another program's.
    if (!link)
      return end(failure.result, failure.text,
                 failure.result == JobResult::Busy ? workflows::FailureKind::CameraBusy : workflows::FailureKind::None);

    // Requests are counted on the way to the camera, whoever sends them; the
    // search for the extension unit is the platform's, not a request.
    device::TracingDeviceList counted(
        link->devices(),
        [this](const device::TraceEvent& event) {
          if (event.flags != device::kFlagsSetSupport) ++record_.requests;
        },
        *clock_);
    workflows::CameraSession session(counted, ui_, *clock_);
    session.setDiscoveryOutput([](std::string_view) {});
    operate(session);
    ui_.beginStage("save", "Saving");
    std::string error;
    if (!link->finish(&error) && record_.result == JobResult::Passed)
      end(JobResult::Failed, error, workflows::FailureKind::FileNotWritten);
  }

  void operate(workflows::CameraSession& session) {
    if (settings_.operation == Operation::Burn && !loadImage(session)) return;
    if (session.DiscoverCamera() != 0)
      return end(JobResult::NoCamera, "no camera of the family answers at " + target_.device,
                 workflows::FailureKind::NoCamera);
    std::uint8_t chip_id = 0;
    if (!session.ReadChipId(chip_id))
      return end(JobResult::Failed, "GetChipIDValue Failed!",
                 session.cameraGone() ? workflows::FailureKind::Unplugged : workflows::FailureKind::Refused);
    record_.chip_id = chip_id;
    JobEvent known;
    known.kind = JobEvent::Kind::ChipId;
    known.chip_id = chip_id;
    emit_(known);

    ui_.beginStage("version-before", "Reading the version");
    record_.version_before = session.FirmwareVersionText();
    // Nothing has been written yet: a stop ends the job here.
    if (stop_.load()) return end(JobResult::Stopped, "stopped before the camera was written");

    if (settings_.operation == Operation::Burn) {
      workflows::BurnOptions options;
      options.verify_full = settings_.verify_full;
      workflows::BurnReport report;
      const bool burned = session.BurnRom(options, &report) == 1;
      record_.blocks_written = report.blocks_written;
      record_.first_difference = report.first_difference;
      if (!burned)
        return end(JobResult::Failed, report.failure.empty() ? ui_.lastMessage() : report.failure,
                   ui_.lastFailureKind());
      ui_.beginStage("version-after", "Reading the version");
      record_.version_after = session.FirmwareVersionText();
    } else {
      ui_.beginStage("erase", "Erasing");
      if (session.EraseFlash() != 1) return end(JobResult::Failed, ui_.lastMessage(), ui_.lastFailureKind());
    }
    end(JobResult::Passed);
  }

  // Each job reads the image into its own session, and records the digest of
  // exactly what it burns.
  bool loadImage(workflows::CameraSession& session) {
    const auto loaded = session.LoadSourceImage(settings_.image);
    if (loaded != workflows::LoadResult::Loaded) {
      end(JobResult::BadImage,
          loaded == workflows::LoadResult::WrongSize ? utf8Text(settings_.image) + " is not exactly 131,072 bytes"
                                                     : "cannot read " + utf8Text(settings_.image),
          workflows::FailureKind::BadImage);
      return false;
    }
    record_.image_sha256 = sha256Hex(session.image());
    return true;
  }

  const JobSettings& settings_;
  const JobTarget& target_;
  const std::atomic<bool>& stop_;
  const std::function<void(JobEvent&)>& emit_;
  std::unique_ptr<device::Clock> clock_;
  JobUiPort ui_;
  AttemptRecord record_;
};

}  // namespace

AttemptRecord runCameraJob(const JobSettings& settings, const JobTarget& target,
                           const std::atomic<bool>& stop, const std::function<void(JobEvent&)>& on_event) {
  return Attempt(settings, target, stop, on_event).run();
}

}  // namespace emberline::station
