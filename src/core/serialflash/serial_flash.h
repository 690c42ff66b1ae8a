#pragma once

// The serial-flash library: the nine public operations through which the
// application reaches the DSP's registers, its memory and, through its SPI
// port, the serial flash. One object per camera; it holds everything the
// library keeps between calls, so several cameras can be driven at once from
// different threads, each through its own object. Not thread-safe itself.

#include <array>
#include <cstdint>
#include <span>

#include "core/device/stop_token.h"
#include "core/serialflash/catalogue.h"

namespace emberline::device {
class SfBackend;
class Clock;
}  // namespace emberline::device

namespace emberline::serialflash {

// SfInit results.
inline constexpr int kInitOk = 2;
inline constexpr int kInitNoDevice = -1;        // "No Device!"
inline constexpr int kInitUnknownBackend = -2;  // "Unknown Backend!"
inline constexpr int kInitFailed = 0;           // "Camera init failed!"

// What the operator is told for an SfInit result of 0 or below.
const char* initFailureText(int result);

// SPI port registers of the DSP.
inline constexpr std::uint16_t kRegPortOwner = 0x1080;
inline constexpr std::uint16_t kRegTransferStart = 0x1081;
inline constexpr std::uint16_t kRegTxByte = 0x1082;
inline constexpr std::uint16_t kRegRxByte = 0x1083;
inline constexpr std::uint16_t kRegTransferDone = 0x1084;
inline constexpr std::uint16_t kRegChipSelect = 0x1091;

inline constexpr int kMaxDevices = 24;
inline constexpr int kTransferDonePolls = 1000;
inline constexpr int kFlashReadyPolls = 10000;

class SerialFlash {
 public:
  // `backend` is the table SfInit installs; `clock` does the 1 ms poll sleeps.
  SerialFlash(device::SfBackend& backend, device::Clock& clock);

  // --- the nine public operations (device index 0) ---
  int SfInit();
  bool SfClose();
  bool SfWriteRegister(std::uint16_t reg, std::uint8_t value);
  bool SfReadRegister(std::uint16_t reg, std::uint8_t& value);
  bool SfTransferMemory(std::uint8_t space, std::uint16_t address, std::span<std::uint8_t> buffer);
  // On success `buffer` (8 bytes) receives what the last probe read returned
  // (address 0xC7F8); on failure it is left untouched.
  bool SfProbeDeviceKind(std::uint8_t* buffer);
  void SfWaitTransferDone();
  // True when the flash reported ready; false when the poll bound ran out,
  // the device went away or a stop was requested.
  bool SfWaitFlashReady();
  bool SfSetWriteProtect(int mode, std::uint16_t& restore_register, std::uint8_t& value);

  // --- internal operations, public for the workflows' reports and for tests ---
  // -1 when the device is not open, else the FlashType found (0 = none).
  int SfDetectFlash(int index = 0);
  // Identification read: opcode, dummy bytes, 2 or 3 bytes into detection().id.
  void SfReadFlashId(std::uint8_t opcode, int dummies, int count);

  const DetectionResult& detection() const { return detection_; }
  // True when a wait for flash ready ran out its bound since SfInit: the
  // flash stayed busy, and whatever followed went to a part that was not
  // listening. The workflows turn this into a failure.
  bool flashStayedBusy() const { return flash_stayed_busy_; }
  // With flashStayedBusy(): the camera refused a request of that wait, so
  // the status it read was not the flash's.
  bool readyWaitRequestFailed() const { return ready_wait_request_failed_; }
  // How many waits for an SPI transfer ran out their bound since the object
  // was made: the camera never said the byte went out. Sequences carry on
  // regardless; a workflow that still succeeds reports it.
  int transferWaitsRanOut() const { return transfer_waits_ran_out_; }
  // A stop request ends a wait for flash ready or for a transfer between
  // two polls.
  void setStopToken(device::StopToken stop) { stop_ = stop; }
  bool isOpen(int index = 0) const;
  int deviceKind(int index = 0) const;
  std::uint32_t transferChunk() const { return transfer_chunk_; }

 private:
  struct DeviceState {
    bool active = false;
    int kind = 0;
    std::array<std::uint8_t, 8> probe_slot{};
  };

  // True when `index` names an open device; every device operation starts here.
  bool guard(int index) const;
  bool writeRegister(int index, std::uint16_t reg, std::uint8_t value);
  bool readRegister(int index, std::uint16_t reg, std::uint8_t& value);
  bool readInfoByte(int index, std::uint8_t& value);
  bool transferMemory(int index, std::uint8_t space, std::uint16_t address,
                      std::span<std::uint8_t> buffer, std::uint32_t chunk);
  // Reads `reg` (0 when the read fails), sets `set`, clears `clear`, writes it back.
  void modifyRegister(int index, std::uint16_t reg, std::uint8_t set, std::uint8_t clear);
  bool probe(int index, std::uint8_t* buffer);
  void waitTransferDone(int index);
  bool waitFlashReady(int index);
  // SPI byte-level steps (results ignored, as the sequences do). A receive
  // whose register read fails yields 0xFF, like an erased, idle-high bus.
  void sendByte(int index, std::uint8_t byte);
  std::uint8_t receiveByte(int index);
  void select(int index);
  void release(int index);
  void takePort(int index);
  void givePort(int index);
  void readFlashId(int index, std::uint8_t opcode, int dummies, int count);
  bool setWriteProtect(int index, int mode, std::uint16_t& restore_register, std::uint8_t& value);
  void liftWriteProtect(int index, std::uint8_t flash_type, bool bypass_status,
                        std::uint16_t& restore_register, std::uint8_t& value);
  void restoreWriteProtect(int index, bool bypass_status, std::uint16_t restore_register,
                           std::uint8_t value);

  device::SfBackend& backend_;
  device::Clock& clock_;
  device::SfBackend* table_ = nullptr;  // filled by SfInit
  std::array<DeviceState, kMaxDevices> devices_{};
  std::uint32_t transfer_chunk_ = 8;
  DetectionResult detection_{};
  bool flash_stayed_busy_ = false;
  bool ready_wait_request_failed_ = false;
  int register_requests_failed_ = 0;
  int transfer_waits_ran_out_ = 0;
  device::StopToken stop_;
};

}  // namespace emberline::serialflash
