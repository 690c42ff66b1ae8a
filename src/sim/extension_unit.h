#pragma once

// The vendor extension unit in front of the DSP: decodes each selector's
// payload, keeps what a SET leaves for the following GETs, and answers the
// driver's register property sets.

#include <array>
#include <cstdint>
#include <span>

#include "core/device/transport.h"

namespace emberline::sim {

class FaultGate;
class SimDsp;
struct SimSettings;

class ExtensionUnit {
 public:
  ExtensionUnit(const SimSettings& settings, SimDsp& dsp, const FaultGate& faults);

  // The length of control `selector` as the camera declares it (the longest
  // payload the unit takes on it); 0 for a control it does not have.
  static std::size_t controlLength(std::uint32_t selector);

  // One request that reached the unit. A GET writes `payload` only when it
  // succeeds. 0 or -errno.
  int control(std::uint32_t selector, device::XuOp op, std::span<std::uint8_t> payload);

  // One request of a driver register property set (40-byte record).
  int driverRecord(device::XuOp op, std::span<std::uint8_t> record);

  // The register a selector-1 request addresses: a SET's own address, or for
  // a GET the one its read set-up chose.
  std::uint16_t registerAddressed(device::XuOp op, std::span<const std::uint8_t> payload) const;

 private:
  // Where a selector-3 read set-up points the following GETs.
  struct ReadArea {
    bool active = false;
    std::uint8_t command = 0;
    std::uint32_t bank = 0;  // 0 or 0x10000
    std::uint16_t address = 0;
    std::uint8_t count = 0;
  };

  int registers(device::XuOp op, std::span<std::uint8_t> payload);
  int multi(device::XuOp op, std::span<std::uint8_t> payload);
  int blocks(device::XuOp op, std::span<std::uint8_t> payload);
  int space9(device::XuOp op, std::span<std::uint8_t> payload);
  int info(device::XuOp op, std::span<std::uint8_t> payload);
  int deliverBlock(std::span<std::uint8_t> payload);

  const SimSettings& settings_;
  SimDsp& dsp_;
  const FaultGate& faults_;
  std::uint16_t read_register_ = 0;
  std::uint8_t read_value_ = 0;
  std::array<std::uint8_t, 8> multi_{};
  ReadArea area_;
  std::uint16_t space9_address_ = 0;
  std::uint8_t space9_count_ = 8;
  std::uint16_t driver_register_ = 0x101F;
};

}  // namespace emberline::sim
