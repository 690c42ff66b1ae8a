#include "sim/sim_camera.h"

#include <algorithm>

#include "sim/camera_core.h"

namespace emberline::sim {

namespace {

// What open() hands out: a view on the shared camera.
class CameraHandle final : public device::CaptureDevice {
 public:
  explicit CameraHandle(std::shared_ptr<CameraCore> core) : core_(std::move(core)) {}

  std::optional<std::uint32_t> findExtensionUnitNode(const device::Guid& property_set) override {
    return core_->findNode(property_set);
  }
  int control(const device::ControlRequest& request) override { return core_->control(request); }
  int controlLength(std::uint32_t node_id, std::uint32_t selector, std::size_t& length) override {
    return core_->controlLength(node_id, selector, length);
  }
  int driverProperty(const device::Guid& property_set, device::XuOp op,
                     std::span<std::uint8_t, 40> record) override {
    return core_->driverProperty(property_set, op, record);
  }

 private:
  std::shared_ptr<CameraCore> core_;
};

constexpr std::uint8_t kDspMemorySpace = 7;  // the flash, through selector 3
constexpr std::uint8_t kDspWriteSpace = 6;   // the write code of the same
constexpr std::uint8_t kProbeSpace = 9;

}  // namespace

SimCamera::SimCamera(SimSettings settings)
    : state_(std::make_unique<State>(State{std::make_shared<CameraCore>(settings)})) {}

SimCamera::~SimCamera() = default;

const SimSettings& SimCamera::settings() const { return state_->core->settings; }

std::shared_ptr<device::CaptureDevice> SimCamera::open() {
  return std::make_shared<CameraHandle>(state_->core);
}

std::vector<std::uint8_t> SimCamera::flash() const {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  const auto content = core.flash.content();
  return {content.begin(), content.end()};
}

void SimCamera::setFlash(std::span<const std::uint8_t> content) {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  core.flash.setContent(content);
}

std::uint8_t SimCamera::flashStatus() const {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  return core.flash.status();
}

void SimCamera::setFlashStatus(std::uint8_t status) {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  core.flash.setStatus(status);
}

std::uint8_t SimCamera::reg(std::uint16_t address) const {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  return core.dsp.readRegister(address);
}

void SimCamera::setReg(std::uint16_t address, std::uint8_t value) {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  core.dsp.registers()[address] = value;
}

std::uint8_t SimCamera::memory(std::uint8_t space, std::uint32_t address) const {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  if (space == kDspMemorySpace || space == kDspWriteSpace) {
    const auto content = core.flash.content();
    return content[address % content.size()];
  }
  if (space == kProbeSpace) return core.dsp.memory9()[address % SimDsp::kMemory9Size];
  return 0;
}

void SimCamera::setMemory(std::uint8_t space, std::uint32_t address,
                          std::span<const std::uint8_t> bytes) {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto at = static_cast<std::uint32_t>(address + i);
    if (space == kDspMemorySpace || space == kDspWriteSpace) core.flash.poke(at, bytes[i]);
    if (space == kProbeSpace) core.dsp.memory9()[at % SimDsp::kMemory9Size] = bytes[i];
  }
}

std::vector<TrafficRecord> SimCamera::traffic() const {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  return core.traffic;
}

void SimCamera::clearTraffic() {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  core.traffic.clear();
}

void SimCamera::setTrafficLog(bool enabled) {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  core.traffic_log = enabled;
}

void SimCamera::setFaults(const FaultPlan& plan) {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  core.installFaults(plan);
}

FaultPlan SimCamera::faults() const {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  return core.faults.plan();
}

std::uint64_t SimCamera::requestCount() const {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  return core.requests;
}

bool SimCamera::present() const {
  auto& core = *state_->core;
  std::lock_guard lock(core.mutex);
  return !core.faults.vanished();
}

}  // namespace emberline::sim
