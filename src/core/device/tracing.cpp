#include "core/device/tracing.h"

#include <utility>

namespace emberline::device {

namespace {

class TracingDevice final : public CaptureDevice {
 public:
  TracingDevice(std::shared_ptr<CaptureDevice> inner, std::string id,
                std::shared_ptr<const TraceObserver> observer, Clock& clock)
      : inner_(std::move(inner)), id_(std::move(id)), observer_(std::move(observer)), clock_(clock) {}

  std::optional<std::uint32_t> findExtensionUnitNode(const Guid& property_set) override {
    TraceEvent event = start(property_set, kFlagsSetSupport);
    const auto node = inner_->findExtensionUnitNode(property_set);
    event.op = XuOp::Get;
    event.node_id = node.value_or(0);
    event.result = node ? 0 : -ENOENT;
    report(event);
    return node;
  }

  std::string unitLookupProblem() const override { return inner_->unitLookupProblem(); }
  std::string failureDetail() const override { return inner_->failureDetail(); }

  int control(const ControlRequest& request) override {
    TraceEvent event = start(request.property_set, request.flags);
    event.selector = request.selector;
    event.node_id = request.node_id;
    event.op = request.op();
    if (event.op == XuOp::Set) event.payload.assign(request.payload.begin(), request.payload.end());
    event.result = inner_->control(request);
    if (event.op == XuOp::Get) event.payload.assign(request.payload.begin(), request.payload.end());
    report(event);
    return event.result;
  }

  int controlLength(std::uint32_t node_id, std::uint32_t selector, std::size_t& length) override {
    TraceEvent event = start(kExtensionUnitPropertySet, kKsPropertyTypeGet);
    event.length_query = true;
    event.op = XuOp::Get;
    event.selector = selector;
    event.node_id = node_id;
    event.result = inner_->controlLength(node_id, selector, length);
    if (event.result == 0)
      event.payload = {static_cast<std::uint8_t>(length & 0xFF), static_cast<std::uint8_t>((length >> 8) & 0xFF)};
    report(event);
    return event.result;
  }

  int driverProperty(const Guid& property_set, XuOp op,
                     std::span<std::uint8_t, 40> record) override {
    TraceEvent event =
        start(property_set, op == XuOp::Set ? kKsPropertyTypeSet : kKsPropertyTypeGet);
    event.driver_property = true;
    event.op = op;
    if (op == XuOp::Set) event.payload.assign(record.begin(), record.end());
    event.result = inner_->driverProperty(property_set, op, record);
    if (op == XuOp::Get) event.payload.assign(record.begin(), record.end());
    report(event);
    return event.result;
  }

 private:
  TraceEvent start(const Guid& property_set, std::uint32_t flags) const {
    TraceEvent event;
    event.time = clock_.now();
    event.device_id = id_;
    event.property_set = property_set;
    event.flags = flags;
    return event;
  }

  void report(const TraceEvent& event) const {
    if (*observer_) (*observer_)(event);
  }

  std::shared_ptr<CaptureDevice> inner_;
  std::string id_;
  std::shared_ptr<const TraceObserver> observer_;
  Clock& clock_;
};

}  // namespace

TracingDeviceList::TracingDeviceList(DeviceList& inner, TraceObserver observer, Clock& clock)
    : inner_(inner),
      observer_(std::make_shared<const TraceObserver>(std::move(observer))),
      clock_(clock) {}

int TracingDeviceList::enumerate(std::vector<DeviceEntry>& out) { return inner_.enumerate(out); }

std::shared_ptr<CaptureDevice> TracingDeviceList::open(const DeviceEntry& entry, int* error) {
  auto device = inner_.open(entry, error);
  if (!device) return nullptr;
  return std::make_shared<TracingDevice>(std::move(device), entry.id, observer_, clock_);
}

}  // namespace emberline::device
