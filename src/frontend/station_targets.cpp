#include "frontend/station_targets.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "core/device/utf8_path.h"
#include "frontend/camera_probe.h"
#include "frontend/device_selection.h"
#include "platform/camera_lock.h"
#include "frontend/platform_devices.h"

namespace emberline::frontend {

namespace {

// A device that fails every request with -ENODEV once its camera was pulled.
class UnpluggableDevice final : public device::CaptureDevice {
 public:
  UnpluggableDevice(std::shared_ptr<device::CaptureDevice> inner, std::shared_ptr<std::atomic<bool>> gone)
      : inner_(std::move(inner)), gone_(std::move(gone)) {}
  std::optional<std::uint32_t> findExtensionUnitNode(const device::Guid& set) override {
    return gone_->load() ? std::nullopt : inner_->findExtensionUnitNode(set);
  }
  int control(const device::ControlRequest& request) override {
    return gone_->load() ? -ENODEV : inner_->control(request);
  }
  int driverProperty(const device::Guid& set, device::XuOp op, std::span<std::uint8_t, 40> record) override {
    return gone_->load() ? -ENODEV : inner_->driverProperty(set, op, record);
  }

 private:
  std::shared_ptr<device::CaptureDevice> inner_;
  std::shared_ptr<std::atomic<bool>> gone_;
};

class UnpluggableList final : public device::DeviceList {
 public:
  UnpluggableList(device::DeviceList& inner, std::shared_ptr<std::atomic<bool>> gone)
      : inner_(inner), gone_(std::move(gone)) {}
  int enumerate(std::vector<device::DeviceEntry>& out) override { return inner_.enumerate(out); }
  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry& entry, int* error) override {
    if (gone_->load()) {
      if (error) *error = -ENODEV;
      return nullptr;
    }
    auto opened = inner_.open(entry, error);
    return opened ? std::make_shared<UnpluggableDevice>(std::move(opened), gone_) : nullptr;
  }

 private:
  device::DeviceList& inner_;
  std::shared_ptr<std::atomic<bool>> gone_;
};

// A camera taken by one job: its lock, its own device context and, for a
// camera that can be pulled out under the job, the guard in front of it.
class ContextLink final : public station::CameraLink {
 public:
  ContextLink(std::unique_ptr<platform::CameraLock> lock, std::unique_ptr<DeviceContext> context,
              std::shared_ptr<std::atomic<bool>> unplugged)
      : lock_(std::move(lock)), context_(std::move(context)), unplugged_(std::move(unplugged)) {
    if (unplugged_) guarded_ = std::make_unique<UnpluggableList>(context_->devices(), unplugged_);
  }
  device::DeviceList& devices() override { return guarded_ ? *guarded_ : context_->devices(); }
  bool finish(std::string* error) override {
    // A camera that left keeps nothing of what happened after it left.
    if (unplugged_ && unplugged_->load()) return true;
    return context_->persist(error) == 0;
  }

 private:
  std::unique_ptr<platform::CameraLock> lock_;  // released last
  std::unique_ptr<DeviceContext> context_;
  std::shared_ptr<std::atomic<bool>> unplugged_;
  std::unique_ptr<UnpluggableList> guarded_;
};

}  // namespace

std::optional<station::JobTarget> makeJobTarget(const std::string& device, std::string* error,
                                                std::shared_ptr<std::atomic<bool>> unplugged) {
  auto wanted = parseDeviceSpec(device, error);
  if (!wanted) return std::nullopt;
  if (wanted->kind != DeviceSpec::Kind::Sim && wanted->kind != DeviceSpec::Kind::Path) {
    if (error) *error = "'" + device + "': a station names each camera by its device path or sim:PATH";
    return std::nullopt;
  }
  station::JobTarget target;
  target.device = device;
  const bool simulated = wanted->kind == DeviceSpec::Kind::Sim;
  const std::string lock_path = simulated ? utf8Text(wanted->sim_state) : wanted->path;
  if (!simulated) target.port = devicePort(wanted->path);
  target.open = [wanted = *wanted, lock_path, simulated,
                 unplugged](station::LinkFailure& failure) -> std::unique_ptr<station::CameraLink> {
    auto taken = platform::lockCamera(lock_path, simulated);
    if (taken.state == platform::LockAttempt::State::Busy) {
      failure = {station::JobResult::Busy, platform::busyText(taken.holder)};
      return nullptr;
    }
    std::string why;
    auto context = openDeviceContext(wanted, &why);
    if (!context) {
      failure = {station::JobResult::Unavailable, why};
      return nullptr;
    }
    // A lock that could not even be tried (say, no permission on the node)
    // leaves the context's own open to say what is wrong.
    return std::make_unique<ContextLink>(std::move(taken.lock), std::move(context), unplugged);
  };
  return target;
}

std::vector<std::string> answeringCameras(std::string* error) {
  const auto platform_devices = makePlatformDevices();
  const ProbeResult probe = probeDevices(platform_devices->list());
  std::vector<std::string> cameras;
  if (probe.enumerate_error != 0) {
    if (error) *error = "cannot list the video-capture devices: " + std::generic_category().message(-probe.enumerate_error);
    return cameras;
  }
  for (const auto& d : probe.devices)
    if (d.answers) cameras.push_back(d.entry.path.value_or(d.entry.id));
  return cameras;
}

}  // namespace emberline::frontend
