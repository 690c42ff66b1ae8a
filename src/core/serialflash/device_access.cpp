// The guard and the plain device operations: registers, memory, the
// information byte and closing. Each checks the device's open flag first and
// sends nothing when it is clear; otherwise it hands the backend's result back
// unchanged.

#include "core/device/backend.h"
#include "core/serialflash/serial_flash.h"

namespace emberline::serialflash {

SerialFlash::SerialFlash(device::SfBackend& backend, device::Clock& clock)
    : backend_(backend), clock_(clock) {}

bool SerialFlash::guard(int index) const {
  if (index < 0 || index >= kMaxDevices) return false;
  return devices_[static_cast<std::size_t>(index)].active && table_ != nullptr;
}

bool SerialFlash::isOpen(int index) const { return guard(index); }

int SerialFlash::deviceKind(int index) const {
  if (index < 0 || index >= kMaxDevices) return 0;
  return devices_[static_cast<std::size_t>(index)].kind;
}

bool SerialFlash::writeRegister(int index, std::uint16_t reg, std::uint8_t value) {
  if (!guard(index)) return false;
  if (table_->BeWriteRegister(index, reg, value)) return true;
  ++register_requests_failed_;
  return false;
}

bool SerialFlash::readRegister(int index, std::uint16_t reg, std::uint8_t& value) {
  if (!guard(index)) return false;
  // Read into a local so a failing backend cannot touch the caller's byte.
  std::uint8_t read = value;
  if (!table_->BeReadRegister(index, reg, read)) {
    ++register_requests_failed_;
    return false;
  }
  value = read;
  return true;
}

bool SerialFlash::readInfoByte(int index, std::uint8_t& value) {
  if (!guard(index)) return false;
  std::uint8_t read = value;
  if (!table_->BeReadInfoByte(index, read)) return false;
  value = read;
  return true;
}

bool SerialFlash::transferMemory(int index, std::uint8_t space, std::uint16_t address,
                                 std::span<std::uint8_t> buffer, std::uint32_t chunk) {
  if (!guard(index)) return false;
  return table_->BeTransferBlock(index, space, address, buffer, chunk);
}

void SerialFlash::modifyRegister(int index, std::uint16_t reg, std::uint8_t set,
                                 std::uint8_t clear) {
  std::uint8_t value = 0;  // stays 0 when the read fails
  readRegister(index, reg, value);
  writeRegister(index, reg, static_cast<std::uint8_t>((value | set) & ~clear));
}

bool SerialFlash::SfWriteRegister(std::uint16_t reg, std::uint8_t value) {
  return writeRegister(0, reg, value);
}

bool SerialFlash::SfReadRegister(std::uint16_t reg, std::uint8_t& value) {
  return readRegister(0, reg, value);
}

bool SerialFlash::SfTransferMemory(std::uint8_t space, std::uint16_t address,
                                   std::span<std::uint8_t> buffer) {
  return transferMemory(0, space, address, buffer, transfer_chunk_);
}

bool SerialFlash::SfClose() {
  if (!guard(0)) return false;
  // Closed first, so nothing reaches the backend once it starts releasing.
  devices_[0].active = false;
  return table_->BeClose(0);
}

}  // namespace emberline::serialflash
