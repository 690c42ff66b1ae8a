#pragma once

// A station job target over one simulated camera, as a face's would be.
// Without a camera, the device holds only a webcam.

#include <memory>
#include <string>

#include "core/station/camera_job.h"
#include "sim/sim_camera.h"

namespace emberline::station::testing {

class SimLink final : public CameraLink {
 public:
  explicit SimLink(std::shared_ptr<sim::SimCamera> camera) {
    if (camera) {
      list_.add(std::move(camera));
    } else {
      list_.addWebcam("Plain webcam");
    }
  }
  device::DeviceList& devices() override { return list_; }
  bool finish(std::string*) override { return true; }

 private:
  sim::SimDeviceList list_;
};

inline JobTarget targetFor(const std::string& name, std::shared_ptr<sim::SimCamera> camera) {
  JobTarget target;
  target.device = name;
  target.open = [camera](LinkFailure&) -> std::unique_ptr<CameraLink> { return std::make_unique<SimLink>(camera); };
  return target;
}

}  // namespace emberline::station::testing
