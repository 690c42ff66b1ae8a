#include "sim/dsp.h"

#include <algorithm>

#include "sim/chip_memory_layout.h"
#include "sim/sim_camera.h"
#include "sim/spi_nor_flash.h"

namespace emberline::sim {

namespace {
constexpr std::uint8_t kMaxReadDummies = 8;
constexpr std::uint8_t kHostOwnsPort = 1;
constexpr std::uint8_t kSelected = 0;
constexpr std::uint8_t kAutoIncrementProgram = 0xAF;
constexpr std::uint8_t kWriteDisable = 0x04;
// How long the DSP's own controller polls a busy flash before it gives up on
// a block request.
constexpr int kDspReadyPolls = 10'000;
}  // namespace

bool isSpiShiftRegister(std::uint16_t address) {
  return address == reg::kSpiStart || address == reg::kSpiOut || address == reg::kSpiIn ||
         address == reg::kSpiDone;
}

SimDsp::SimDsp(const SimSettings& settings, SpiNorFlash& flash)
    : flash_(flash),
      wp_pin_(settings.wp_pin),
      registers_(kRegisterCount, 0),
      memory9_(kMemory9Size, 0) {
  registers_[reg::kChipId] = settings.chip_id;
  registers_[reg::kTransferMode] = settings.reg_3c5;
  registers_[reg::kWriteEnableOpcode] = 0x06;
  registers_[reg::kProgramOpcode] = 0x02;
  registers_[reg::kStatusOpcode] = 0x05;
  registers_[reg::kReadOpcode] = 0x03;
  registers_[reg::kChipSelect] = 1;
  layOutProbeMemory(settings, memory9_);
  updateWriteProtectPin();
}

void SimDsp::writeRegister(std::uint16_t address, std::uint8_t value) {
  const bool host_owns_port = registers_[reg::kSpiOwner] == kHostOwnsPort;
  switch (address) {
    case reg::kChipId:
    case reg::kSpiDone:
      return;  // read-only
    case reg::kChipSelect:
      if (host_owns_port) {
        if (value == kSelected) {
          flash_.select();
        } else {
          flash_.release();
        }
      }
      break;
    case reg::kSpiStart:
      registers_[reg::kSpiDone] = 0;
      if (!host_owns_port || (value != 1 && value != 2)) break;
      if (value == 1) {
        flash_.send(registers_[reg::kSpiOut]);
      } else {
        // The receive register is the shift register: its content goes out
        // while the flash's byte comes in.
        registers_[reg::kSpiIn] = flash_.exchange(registers_[reg::kSpiIn]);
      }
      registers_[reg::kSpiDone] = 1;  // transfers finish at once
      break;
    default:
      break;
  }
  registers_[address] = value;
  if (address == reg::kPinLevel || address == reg::kPinOutput) updateWriteProtectPin();
}

std::uint8_t SimDsp::readRegister(std::uint16_t address) const {
  if (address == reg::kSpiDone && transfer_never_done_) return 0;
  return registers_[address];
}

// A pin that is not an output is pulled high.
void SimDsp::updateWriteProtectPin() {
  if (wp_pin_ > 7) return;
  const std::uint8_t mask = static_cast<std::uint8_t>(1u << wp_pin_);
  const bool driven = (registers_[reg::kPinOutput] & mask) != 0;
  const bool high = !driven || (registers_[reg::kPinLevel] & mask) != 0;
  flash_.setWriteProtectPinLow(!high);
}

bool SimDsp::blockPathFree() const {
  return registers_[reg::kSpiOwner] != kHostOwnsPort && registers_[reg::kChipSelect] != kSelected;
}

bool SimDsp::waitFlashReady() {
  for (int i = 0; i < kDspReadyPolls && flash_.busy(); ++i) flash_.pollStatus();
  return !flash_.busy();
}

void SimDsp::sendAddress(std::uint32_t offset) {
  flash_.send(static_cast<std::uint8_t>(offset >> 16));
  flash_.send(static_cast<std::uint8_t>(offset >> 8));
  flash_.send(static_cast<std::uint8_t>(offset));
}

void SimDsp::readFlash(std::uint32_t offset, std::span<std::uint8_t> out) {
  std::fill(out.begin(), out.end(), std::uint8_t{0xFF});
  if (!blockPathFree() || !waitFlashReady()) return;
  flash_.abandon();  // the controller drives chip select itself now
  flash_.select();
  flash_.send(registers_[reg::kReadOpcode]);
  sendAddress(offset);
  const std::uint8_t dummies = std::min(registers_[reg::kReadDummies], kMaxReadDummies);
  for (std::uint8_t i = 0; i < dummies; ++i) flash_.send(0x00);
  for (auto& byte : out) byte = flash_.exchange(0x00);
  flash_.release();
}

void SimDsp::writeFlash(std::uint32_t offset, std::span<const std::uint8_t> data) {
  if (!blockPathFree() || !waitFlashReady()) return;
  flash_.abandon();
  flash_.select();
  flash_.send(registers_[reg::kWriteEnableOpcode]);
  flash_.release();
  if (registers_[reg::kProgramOpcode] == kAutoIncrementProgram) {
    programAutoIncrement(offset, data);
    return;
  }
  flash_.select();
  flash_.send(registers_[reg::kProgramOpcode]);
  sendAddress(offset);
  for (const auto byte : data) flash_.send(byte);
  flash_.release();
}

// Auto-increment parts take one byte per command: the first with the
// address, the rest without; write disable ends the run.
void SimDsp::programAutoIncrement(std::uint32_t offset, std::span<const std::uint8_t> data) {
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i > 0 && !waitFlashReady()) break;
    flash_.select();
    flash_.send(kAutoIncrementProgram);
    if (i == 0) sendAddress(offset);
    flash_.send(data[i]);
    flash_.release();
  }
  waitFlashReady();
  flash_.select();
  flash_.send(kWriteDisable);
  flash_.release();
}

}  // namespace emberline::sim
