#include "frontend/camera_claims.h"

#include <cerrno>
#include <utility>

#include "frontend/device_selection.h"
#include "platform/camera_lock.h"
#include "platform/process_name.h"

namespace emberline::frontend {

class ClaimingDeviceList::Claim final : public app::CameraClaim {
 public:
  explicit Claim(ClaimingDeviceList& list) : list_(list) {}
  ~Claim() override { list_.release(); }
  std::optional<app::CameraHolder> busyHolder() const override {
    std::lock_guard lock(list_.mutex_);
    return list_.busy_;
  }

 private:
  ClaimingDeviceList& list_;
};

ClaimingDeviceList::ClaimingDeviceList(DeviceContext& context) : context_(context) {}

ClaimingDeviceList::~ClaimingDeviceList() = default;

int ClaimingDeviceList::enumerate(std::vector<device::DeviceEntry>& out) { return context_.devices().enumerate(out); }

std::shared_ptr<device::CaptureDevice> ClaimingDeviceList::open(const device::DeviceEntry& entry, int* error) {
  {
    std::lock_guard lock(mutex_);
    // A simulated camera is locked on its state file, a real one on its node.
    const bool simulated = context_.simulated();
    const std::string path = simulated ? context_.cameraPath() : entry.path.value_or(entry.id);
    if (claiming_ && held_.count(path) == 0) {
      auto taken = platform::lockCamera(path, simulated);
      if (taken.state == platform::LockAttempt::State::Busy) {
        busy_ = app::CameraHolder{taken.holder, platform::processName(taken.holder)};
        if (error != nullptr) *error = -EBUSY;
        return nullptr;
      }
      // A lock that cannot even be tried leaves the camera's own open to say
      // what is wrong, as the command line does.
      held_.emplace(path, std::move(taken.lock));
    }
  }
  return context_.devices().open(entry, error);
}

std::unique_ptr<app::CameraClaim> ClaimingDeviceList::claim() {
  std::lock_guard lock(mutex_);
  claiming_ = true;
  busy_.reset();
  return std::make_unique<Claim>(*this);
}

void ClaimingDeviceList::release() {
  std::lock_guard lock(mutex_);
  claiming_ = false;
  held_.clear();
}

}  // namespace emberline::frontend
