// Opening the library's device and deciding what kind of device it is: the
// device-kind probe (five reads in memory space 9) and the transfer chunk.

#include <algorithm>
#include <array>

#include "core/device/backend.h"
#include "core/device/discovery.h"
#include "core/serialflash/serial_flash.h"

namespace emberline::serialflash {

namespace {

// Devices that answer all five of these 8-byte reads are kind 23.
constexpr std::array<std::uint16_t, 5> kProbeAddresses{0x9FF8, 0xD2B2, 0xDFF8, 0xBFF8, 0xC7F8};
constexpr std::uint32_t kProbeChunk = 8;
constexpr int kProbedKind = 23;

// On kind-0 devices this register reading 3 means one byte per block request.
constexpr std::uint16_t kRegTransferMode = 0x3C5;
constexpr std::uint8_t kSingleByteTransfers = 3;

constexpr std::uint32_t kDefaultChunk = 8;

int initResultForOpenCode(int open_code) {
  switch (open_code) {
    case device::kOpenNoDevices:
      return kInitNoDevice;
    case device::kOpenNothingBound:
      return kInitUnknownBackend;
    default:
      return kInitFailed;  // bound, but its device path could not be read
  }
}

}  // namespace

int SerialFlash::SfInit() {
  flash_stayed_busy_ = false;
  ready_wait_request_failed_ = false;
  backend_.ClearBankFlags();
  const int open_code = backend_.OpenDevice();
  if (open_code != device::kOpenOk) return initResultForOpenCode(open_code);

  table_ = &backend_;
  transfer_chunk_ = kDefaultChunk;
  DeviceState& device = devices_[0];
  device.active = true;

  // The kind belongs to the device just opened, which may not be the one
  // probed last time: start from 0 so a failed probe cannot inherit 23.
  device.kind = 0;
  probe(0, device.probe_slot.data());

  if (device.kind == 0) {
    std::uint8_t mode = 0;
    if (!readRegister(0, kRegTransferMode, mode)) return kInitFailed;  // stays open
    if (mode == kSingleByteTransfers) transfer_chunk_ = 1;
  }
  return kInitOk;
}

bool SerialFlash::SfProbeDeviceKind(std::uint8_t* buffer) { return probe(0, buffer); }

bool SerialFlash::probe(int index, std::uint8_t* buffer) {
  if (buffer == nullptr || !guard(index)) return false;
  std::array<std::uint8_t, 8> scratch{};
  for (const std::uint16_t address : kProbeAddresses) {
    scratch.fill(0xFF);
    if (!transferMemory(index, device::kSpaceRead9, address, scratch, kProbeChunk)) return false;
  }
  devices_[static_cast<std::size_t>(index)].kind = kProbedKind;
  std::copy(scratch.begin(), scratch.end(), buffer);
  return true;
}

const char* initFailureText(int result) {
  switch (result) {
    case kInitNoDevice:
      return "No Device!";
    case kInitUnknownBackend:
      return "Unknown Backend!";
    default:
      return "Camera init failed!";
  }
}

}  // namespace emberline::serialflash
