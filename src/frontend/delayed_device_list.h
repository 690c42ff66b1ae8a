#pragma once

// A device list whose devices take a fixed time for every extension-unit
// request, as a USB bus does. It lets a simulated camera show realistic
// progress (sim:PATH?latency-us=N) without the simulator knowing about it.

#include <chrono>
#include <memory>
#include <vector>

#include "core/device/clock.h"
#include "core/device/transport.h"

namespace emberline::frontend {

class DelayedDeviceList final : public device::DeviceList {
 public:
  DelayedDeviceList(device::DeviceList& inner, std::chrono::microseconds latency,
                    device::Clock& clock = device::systemClock());

  int enumerate(std::vector<device::DeviceEntry>& out) override;
  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry& entry, int* error) override;

 private:
  device::DeviceList& inner_;
  std::chrono::microseconds latency_;
  device::Clock& clock_;
};

}  // namespace emberline::frontend
