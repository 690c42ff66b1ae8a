#include "frontend/delayed_device_list.h"

#include <utility>

namespace emberline::frontend {

namespace {

// Forwards every call; the requests that cross the bus wait first.
class DelayedDevice final : public device::CaptureDevice {
 public:
  DelayedDevice(std::shared_ptr<device::CaptureDevice> inner, std::chrono::microseconds latency,
                device::Clock& clock)
      : inner_(std::move(inner)), latency_(latency), clock_(clock) {}

  std::optional<std::uint32_t> findExtensionUnitNode(const device::Guid& property_set) override {
    return inner_->findExtensionUnitNode(property_set);
  }

  std::string unitLookupProblem() const override { return inner_->unitLookupProblem(); }
  std::string failureDetail() const override { return inner_->failureDetail(); }

  int control(const device::ControlRequest& request) override {
    clock_.sleepFor(latency_);
    return inner_->control(request);
  }

  // Answered by the driver, not the camera: no bus time.
  int controlLength(std::uint32_t node_id, std::uint32_t selector, std::size_t& length) override {
    return inner_->controlLength(node_id, selector, length);
  }

  int driverProperty(const device::Guid& property_set, device::XuOp op,
                     std::span<std::uint8_t, 40> record) override {
    clock_.sleepFor(latency_);
    return inner_->driverProperty(property_set, op, record);
  }

 private:
  std::shared_ptr<device::CaptureDevice> inner_;
  std::chrono::microseconds latency_;
  device::Clock& clock_;
};

}  // namespace

DelayedDeviceList::DelayedDeviceList(device::DeviceList& inner, std::chrono::microseconds latency,
                                     device::Clock& clock)
    : inner_(inner), latency_(latency), clock_(clock) {}

int DelayedDeviceList::enumerate(std::vector<device::DeviceEntry>& out) {
  return inner_.enumerate(out);
}

std::shared_ptr<device::CaptureDevice> DelayedDeviceList::open(const device::DeviceEntry& entry,
                                                               int* error) {
  auto device = inner_.open(entry, error);
  if (!device || latency_.count() <= 0) return device;
  return std::make_shared<DelayedDevice>(std::move(device), latency_, clock_);
}

}  // namespace emberline::frontend
