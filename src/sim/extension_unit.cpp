#include "sim/extension_unit.h"

#include <algorithm>
#include <cerrno>
#include <optional>

#include "core/device/protocol.h"
#include "sim/dsp.h"
#include "sim/fault_gate.h"
#include "sim/sim_camera.h"

namespace emberline::sim {

namespace {
constexpr std::uint8_t kReadMarker = 0xFF;
constexpr std::uint8_t kWriteMarker = 0x00;
constexpr std::uint8_t kCommandRead = 0x80;
constexpr std::uint8_t kCommandOther = 0x40;  // the two flash commands nothing uses
constexpr std::uint8_t kCommandUpperBank = 0x10;
constexpr std::size_t kBlockData = 3;  // first data byte of a selector-3 payload
constexpr std::size_t kDriverRegisterOffset = 24;
constexpr std::size_t kDriverValueOffset = 28;
constexpr int kProbedKind = 23;  // the only kind whose firmware answers space-9 reads

std::uint8_t blockCount(std::uint8_t command) {
  return static_cast<std::uint8_t>(std::min(command & 0x0F, 8));
}

std::uint16_t addressOf(std::span<const std::uint8_t> payload) {
  return static_cast<std::uint16_t>(payload[0] | (payload[1] << 8));
}
}  // namespace

ExtensionUnit::ExtensionUnit(const SimSettings& settings, SimDsp& dsp, const FaultGate& faults)
    : settings_(settings), dsp_(dsp), faults_(faults) {}

int ExtensionUnit::control(std::uint32_t selector, device::XuOp op,
                           std::span<std::uint8_t> payload) {
  switch (selector) {
    case device::XU_SEL_REGISTER: return registers(op, payload);
    case device::XU_SEL_MULTI: return multi(op, payload);
    case device::XU_SEL_FLASH: return blocks(op, payload);
    case device::XU_SEL_SPACE9: return space9(op, payload);
    case device::XU_SEL_INFO: return info(op, payload);
    default: return -ENOENT;  // the unit has no such control
  }
}

std::size_t ExtensionUnit::controlLength(std::uint32_t selector) {
  switch (selector) {
    case device::XU_SEL_REGISTER: return device::kRegisterPayloadSize;
    case device::XU_SEL_MULTI: return device::kMultiPayloadSize;
    case device::XU_SEL_FLASH:
    case device::XU_SEL_SPACE9:
    case device::XU_SEL_INFO: return device::kLibraryPayloadSize;
    default: return 0;
  }
}

std::uint16_t ExtensionUnit::registerAddressed(device::XuOp op,
                                               std::span<const std::uint8_t> payload) const {
  if (op == device::XuOp::Set && payload.size() >= 2) return addressOf(payload);
  return read_register_;
}

// Selector 1: a SET with the read marker latches the register for the GET.
int ExtensionUnit::registers(device::XuOp op, std::span<std::uint8_t> payload) {
  if (payload.size() != device::kRegisterPayloadSize) return -EINVAL;
  if (op == device::XuOp::Get) {
    payload[0] = static_cast<std::uint8_t>(read_register_);
    payload[1] = static_cast<std::uint8_t>(read_register_ >> 8);
    payload[2] = read_value_;
    payload[3] = kReadMarker;
    return 0;
  }
  const std::uint16_t address = addressOf(payload);
  if (payload[3] == kReadMarker) {
    read_register_ = address;
    read_value_ = dsp_.readRegister(address);
    return 0;
  }
  if (payload[3] != kWriteMarker) return -EINVAL;
  dsp_.writeRegister(address, payload[2]);
  return 0;
}

// Selector 2 is installed but carries nothing the DSP acts on: it keeps its value.
int ExtensionUnit::multi(device::XuOp op, std::span<std::uint8_t> payload) {
  if (payload.size() != device::kMultiPayloadSize) return -EINVAL;
  if (op == device::XuOp::Set) {
    std::copy(payload.begin(), payload.end(), multi_.begin());
  } else {
    std::copy(multi_.begin(), multi_.end(), payload.begin());
  }
  return 0;
}

// Selector 3: the DSP's block path to the flash, whatever the payload length
// (11 bytes from the dialog, 12 from the library: the command bytes are the
// same). A read set-up points the GETs that follow at an area; each GET
// delivers the next `count` bytes of it.
int ExtensionUnit::blocks(device::XuOp op, std::span<std::uint8_t> payload) {
  if (payload.size() != device::kDialogFlashPayloadSize &&
      payload.size() != device::kLibraryPayloadSize)
    return -EINVAL;
  if (op == device::XuOp::Get) return deliverBlock(payload);
  const std::uint16_t address = addressOf(payload);
  const std::uint8_t command = payload[2];
  area_.active = false;
  if (command & kCommandOther) return 0;
  const std::uint32_t bank = (command & kCommandUpperBank) ? 0x10000u : 0u;
  const std::uint8_t count = blockCount(command);
  if (command & kCommandRead) {
    area_ = {true, command, bank, address, count};
    return 0;
  }
  if (count == 0) return 0;
  dsp_.writeFlash(bank | address, payload.subspan(kBlockData, count));
  return 0;
}

// The read cursor stays within its 64 KB bank: reaching the other bank takes
// a new set-up. A fault planned at an offset the block covers fails the GET
// or inverts that byte.
int ExtensionUnit::deliverBlock(std::span<std::uint8_t> payload) {
  std::fill(payload.begin(), payload.end(), std::uint8_t{0});
  if (!area_.active) return 0;
  const std::uint32_t offset = area_.bank | area_.address;
  const auto covers = [&](const std::optional<std::uint32_t>& at) -> std::optional<std::size_t> {
    if (!at || *at < offset || *at >= offset + area_.count) return std::nullopt;
    return *at - offset;
  };
  if (covers(faults_.plan().fail_read_at)) return faults_.error();
  payload[0] = static_cast<std::uint8_t>(area_.address);
  payload[1] = static_cast<std::uint8_t>(area_.address >> 8);
  payload[2] = area_.command;
  const auto data = payload.subspan(kBlockData, area_.count);
  dsp_.readFlash(offset, data);
  if (const auto wrong = covers(faults_.plan().wrong_byte_at)) data[*wrong] = static_cast<std::uint8_t>(~data[*wrong]);
  area_.address = static_cast<std::uint16_t>(area_.address + area_.count);
  return 0;
}

// Selector 4: space-9 reads, answered only by firmware of the probed kind.
int ExtensionUnit::space9(device::XuOp op, std::span<std::uint8_t> payload) {
  if (payload.size() != device::kLibraryPayloadSize) return -EINVAL;
  if (settings_.device_kind != kProbedKind) return -EPIPE;
  if (op == device::XuOp::Set) {
    space9_address_ = addressOf(payload);
    space9_count_ = std::min<std::uint8_t>(payload[2], 8);
    return 0;
  }
  std::fill(payload.begin(), payload.end(), std::uint8_t{0});
  payload[2] = space9_count_;
  const auto& memory = dsp_.memory9();
  for (std::size_t i = 0; i < space9_count_; ++i) {
    payload[kBlockData + i] = memory[static_cast<std::uint16_t>(space9_address_ + i)];
  }
  space9_address_ = static_cast<std::uint16_t>(space9_address_ + space9_count_);
  return 0;
}

// Selector 5: the DeviceInfoRecord, GET only. Its word carries the chip id
// and the device kind; nothing in the product gives it a meaning.
int ExtensionUnit::info(device::XuOp op, std::span<std::uint8_t> payload) {
  if (payload.size() != device::kLibraryPayloadSize) return -EINVAL;
  if (op == device::XuOp::Set) return -EPIPE;
  std::fill(payload.begin(), payload.end(), std::uint8_t{0});
  payload[0] = settings_.chip_id;
  payload[1] = static_cast<std::uint8_t>(settings_.device_kind);
  payload[2] = settings_.mode_byte;
  return 0;
}

// A driver register record: the Set names the register (word at offset 24),
// the Get returns its value in the word at offset 28.
int ExtensionUnit::driverRecord(device::XuOp op, std::span<std::uint8_t> record) {
  if (record.size() != device::kDriverRecordSize) return -EINVAL;
  if (op == device::XuOp::Set) {
    driver_register_ = static_cast<std::uint16_t>(record[kDriverRegisterOffset] |
                                                  (record[kDriverRegisterOffset + 1] << 8));
    return 0;
  }
  record[kDriverValueOffset] = dsp_.readRegister(driver_register_);
  std::fill_n(record.begin() + kDriverValueOffset + 1, 3, std::uint8_t{0});
  return 0;
}

}  // namespace emberline::sim
