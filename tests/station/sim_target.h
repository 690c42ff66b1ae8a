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
  SimLink(std::shared_ptr<sim::SimCamera> camera, bool saves) : saves_(saves) {
    if (camera) {
      list_.add(std::move(camera));
    } else {
      list_.addWebcam("Plain webcam");
    }
  }
  device::DeviceList& devices() override { return list_; }
  bool finish(std::string* error) override {
    if (!saves_) *error = "cannot save the simulated camera";
    return saves_;
  }

 private:
  sim::SimDeviceList list_;
  bool saves_;
};

// `saves`: false for a camera whose state cannot be kept afterwards.
inline JobTarget targetFor(const std::string& name, std::shared_ptr<sim::SimCamera> camera, bool saves = true) {
  JobTarget target;
  target.device = name;
  target.open = [camera, saves](LinkFailure&) -> std::unique_ptr<CameraLink> {
    return std::make_unique<SimLink>(camera, saves);
  };
  return target;
}

}  // namespace emberline::station::testing
