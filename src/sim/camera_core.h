#pragma once

// One simulated camera's whole state behind one mutex. Handles share it, so a
// handle keeps working after the SimCamera that made it is gone, like an open
// device whose owner let go.

#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "core/device/transport.h"
#include "sim/dsp.h"
#include "sim/extension_unit.h"
#include "sim/fault_gate.h"
#include "sim/sim_camera.h"
#include "sim/spi_nor_flash.h"
#include "sim/state_file.h"

namespace emberline::sim {

// Settings the model can hold: a flash size of 0 becomes 128 KB, and sizes
// above 16 MB (beyond 24-bit addressing) are cut to 16 MB.
SimSettings normalizedSettings(SimSettings settings);

inline constexpr std::uint32_t kMaxFlashSize = 0x1000000;

struct CameraCore {
  explicit CameraCore(const SimSettings& requested);
  CameraCore(const CameraCore&) = delete;
  CameraCore& operator=(const CameraCore&) = delete;

  // The three ways a handle reaches the camera; each takes the lock.
  std::optional<std::uint32_t> findNode(const device::Guid& property_set) const;
  int control(const device::ControlRequest& request);
  // The driver's answer from its cache: not a numbered request.
  int controlLength(std::uint32_t node_id, std::uint32_t selector, std::size_t& length) const;
  int driverProperty(const device::Guid& property_set, device::XuOp op,
                     std::span<std::uint8_t, 40> record);

  void installFaults(const FaultPlan& plan);  // caller holds the lock
  // Everything the state file keeps; the caller holds the lock.
  SavedState snapshot() const;

  mutable std::mutex mutex;
  const SimSettings settings;
  FaultGate faults;
  SpiNorFlash flash;
  SimDsp dsp;
  ExtensionUnit unit;
  std::vector<TrafficRecord> traffic;
  bool traffic_log = false;  // on only for whoever asked to read it
  std::uint64_t requests = 0;

 private:
  void log(TrafficRecord::Kind kind, std::uint32_t selector, device::XuOp op,
           std::uint32_t node_id, std::span<const std::uint8_t> payload, int result);
};

struct SimCamera::State {
  std::shared_ptr<CameraCore> core;
  // The saved form of the camera as load() found it (SPI shift registers
  // cleared); empty for a camera that was not loaded.
  std::vector<std::uint8_t> as_loaded{};
};

}  // namespace emberline::sim
