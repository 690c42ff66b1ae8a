#include "sim/camera_core.h"

#include <algorithm>
#include <cerrno>

#include "core/device/guid.h"
#include "core/device/protocol.h"
#include "sim/chip_memory_layout.h"
#include "sim/flash_parts.h"
#include "sim/precise_wait.h"

namespace emberline::sim {

namespace {

constexpr int kBypassKind = 23;
constexpr std::uint8_t kBypassModeByte = 2;

// A camera in the field whose firmware bypasses the status write has an
// unprotected flash; every other part powers up with its protect bits set.
std::uint8_t powerOnStatus(const SimSettings& settings) {
  if (settings.flash_status) return *settings.flash_status;
  if (settings.device_kind == kBypassKind && settings.mode_byte == kBypassModeByte) return 0x00;
  return simFlashPartFor(settings.flash_id).protect_bits;
}

BusyPolls busyPolls(const SimSettings& s) {
  return {std::min(s.busy_polls_after_erase, kMaxBusyPolls),
          std::min(s.busy_polls_after_program, kMaxBusyPolls),
          std::min(s.busy_polls_after_status_write, kMaxBusyPolls)};
}

}  // namespace

SimSettings normalizedSettings(SimSettings settings) {
  if (settings.flash_size == 0) settings.flash_size = 0x20000;
  settings.flash_size = std::min(settings.flash_size, kMaxFlashSize);
  settings.latency = std::min(settings.latency, kMaxLatency);
  return settings;
}

CameraCore::CameraCore(const SimSettings& requested)
    : settings(normalizedSettings(requested)),
      flash(simFlashPartFor(settings.flash_id), settings.flash_id, settings.flash_id_continuation,
            settings.flash_size, busyPolls(settings), powerOnStatus(settings)),
      dsp(settings, flash),
      unit(settings, dsp, faults) {
  std::vector<std::uint8_t> image(settings.flash_size, 0xFF);
  layOutFlash(settings, image);
  flash.setContent(image);
}

std::optional<std::uint32_t> CameraCore::findNode(const device::Guid& property_set) const {
  std::lock_guard lock(mutex);
  if (faults.vanished() || !settings.node_findable) return std::nullopt;
  if (property_set != device::kExtensionUnitPropertySet) return std::nullopt;
  return settings.node_id;
}

int CameraCore::control(const device::ControlRequest& request) {
  std::lock_guard lock(mutex);
  ++requests;
  waitPrecisely(settings.latency);
  const device::XuOp op = request.op();
  int result = faults.admit();
  waitPrecisely(faults.extraDelay());
  const bool reaches_unit = request.property_set == device::kExtensionUnitPropertySet &&
                            request.node_id == settings.node_id;
  if (result == 0 && !reaches_unit) result = -ENOENT;
  if (result == 0 && (request.flags & device::kKsPropertyTypeSetSupport)) {
    // A support query on the unit's node: it is there.
  } else if (result == 0) {
    std::optional<std::uint16_t> register_address;
    if (request.selector == device::XU_SEL_REGISTER) {
      register_address = unit.registerAddressed(op, request.payload);
    }
    result = faults.inspect(request.selector, op, register_address);
    if (result == 0) result = unit.control(request.selector, op, request.payload);
  }
  log(TrafficRecord::Kind::Control, request.selector, op, request.node_id, request.payload, result);
  return result;
}

int CameraCore::controlLength(std::uint32_t node_id, std::uint32_t selector, std::size_t& length) const {
  std::lock_guard lock(mutex);
  if (faults.vanished()) return -ENODEV;
  if (node_id != settings.node_id) return -ENOENT;
  const std::size_t bytes = ExtensionUnit::controlLength(selector);
  if (bytes == 0) return -ENOENT;
  length = bytes;
  return 0;
}

// Property sets other than the two driver sets never reach the camera: the
// platform refuses them, so they are neither numbered nor logged.
int CameraCore::driverProperty(const device::Guid& property_set, device::XuOp op,
                               std::span<std::uint8_t, 40> record) {
  TrafficRecord::Kind kind{};
  if (property_set == device::kDriverPropertySetA) {
    kind = TrafficRecord::Kind::DriverSetA;
  } else if (property_set == device::kDriverPropertySetB) {
    kind = TrafficRecord::Kind::DriverSetB;
  } else {
    return -ENOTSUP;
  }
  std::lock_guard lock(mutex);
  ++requests;
  waitPrecisely(settings.latency);
  int result = faults.admit();
  waitPrecisely(faults.extraDelay());
  const bool answers = kind == TrafficRecord::Kind::DriverSetA ? faults.plan().driver_set_a
                                                               : faults.plan().driver_set_b;
  if (result == 0 && !answers) result = -ENOTSUP;
  if (result == 0) result = unit.driverRecord(op, record);
  log(kind, 0, op, 0, record, result);
  return result;
}

void CameraCore::installFaults(const FaultPlan& plan) {
  faults.install(plan);
  flash.setNeverReady(plan.flash_never_ready);
  dsp.setTransferNeverDone(plan.transfer_never_done);
}

void CameraCore::log(TrafficRecord::Kind kind, std::uint32_t selector, device::XuOp op,
                     std::uint32_t node_id, std::span<const std::uint8_t> payload, int result) {
  if (!traffic_log) return;
  traffic.push_back({kind, selector, op, node_id, {payload.begin(), payload.end()}, result});
}

}  // namespace emberline::sim
