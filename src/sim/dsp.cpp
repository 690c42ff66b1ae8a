#include "sim/dsp.h"

#include <algorithm>

#include "sim/chip_memory_layout.h"
#include "sim/sim_camera.h"
#include "sim/spi_nor_flash.h"

namespace emberline::sim {

namespace {
constexpr std::uint8_t kMaxReadDummies = 8;
}

SimDsp::SimDsp(const SimSettings& settings, SpiNorFlash& flash)
    : flash_(flash),
      registers_(kRegisterCount, 0),
      memory7_(kMemory7Size, 0),
      memory9_(kMemory9Size, 0) {
  registers_[reg::kChipId] = settings.chip_id;
  registers_[reg::kTransferMode] = settings.reg_3c5;
  registers_[reg::kWriteEnableOpcode] = 0x06;
  registers_[reg::kProgramOpcode] = 0x02;
  registers_[reg::kStatusOpcode] = 0x05;
  registers_[reg::kReadOpcode] = 0x03;
  registers_[reg::kChipSelect] = 1;
  registers_[reg::kSpiDone] = 1;
  layOutChipMemory(settings, memory7_, memory9_);
}

void SimDsp::writeRegister(std::uint16_t address, std::uint8_t value) {
  switch (address) {
    case reg::kChipId:
    case reg::kSpiDone:
      return;  // read-only
    case reg::kChipSelect:
      if (value == 0) {
        flash_.select();
      } else {
        flash_.release();
      }
      break;
    case reg::kSpiStart:
      if (value == 1) {
        flash_.send(registers_[reg::kSpiOut]);
      } else if (value == 2) {
        // The receive register is the shift register: its content goes out
        // while the flash's byte comes in.
        registers_[reg::kSpiIn] = flash_.exchange(registers_[reg::kSpiIn]);
      }
      break;
    default:
      break;
  }
  registers_[address] = value;
}

std::uint8_t SimDsp::readRegister(std::uint16_t address) const {
  if (address == reg::kSpiDone) return transfer_never_done_ ? 0 : 1;  // transfers finish at once
  return registers_[address];
}

void SimDsp::sendAddress(std::uint32_t offset) {
  flash_.send(static_cast<std::uint8_t>(offset >> 16));
  flash_.send(static_cast<std::uint8_t>(offset >> 8));
  flash_.send(static_cast<std::uint8_t>(offset));
}

// The block path runs complete flash commands of its own; a command the host
// left half-sent on the SPI port is dropped.
void SimDsp::readFlash(std::uint32_t offset, std::span<std::uint8_t> out) {
  flash_.abandon();
  registers_[reg::kChipSelect] = 1;
  flash_.select();
  flash_.send(registers_[reg::kReadOpcode]);
  sendAddress(offset);
  const std::uint8_t dummies = std::min(registers_[reg::kReadDummies], kMaxReadDummies);
  for (std::uint8_t i = 0; i < dummies; ++i) flash_.send(0x00);
  for (auto& byte : out) byte = flash_.exchange(0x00);
  flash_.release();
}

void SimDsp::writeFlash(std::uint32_t offset, std::span<const std::uint8_t> data) {
  flash_.abandon();
  registers_[reg::kChipSelect] = 1;
  flash_.select();
  flash_.send(registers_[reg::kWriteEnableOpcode]);
  flash_.release();
  flash_.select();
  flash_.send(registers_[reg::kProgramOpcode]);
  sendAddress(offset);
  for (const auto byte : data) flash_.send(byte);
  flash_.release();
}

}  // namespace emberline::sim
