#pragma once

// The dialogs' side of "one process per camera": the device list a dialog
// runs on, which takes each camera's lock (the one the command line and
// stations take) as a camera operation opens it, and keeps it until the
// operation's claim ends. A camera another process holds does not open; the
// claim says who holds it.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/app/camera_claim.h"
#include "core/device/transport.h"

namespace emberline::platform {
class CameraLock;
}

namespace emberline::frontend {

class DeviceContext;

class ClaimingDeviceList final : public device::DeviceList {
 public:
  // `context` outlives this list; its device list is asked anew each time
  // (a simulated camera read again from its file gets a new one).
  explicit ClaimingDeviceList(DeviceContext& context);
  ~ClaimingDeviceList() override;

  int enumerate(std::vector<device::DeviceEntry>& out) override;
  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry& entry, int* error = nullptr) override;

  // Starts one operation's claim: until it goes, every camera opened is
  // locked first (and refused with -EBUSY when another process holds it).
  std::unique_ptr<app::CameraClaim> claim();

 private:
  class Claim;
  void release();

  DeviceContext& context_;
  std::mutex mutex_;
  bool claiming_ = false;  // guarded by mutex_
  std::map<std::string, std::unique_ptr<platform::CameraLock>> held_;
  std::optional<app::CameraHolder> busy_;
};

}  // namespace emberline::frontend
