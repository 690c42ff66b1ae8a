// The DSP's SPI port driven one byte at a time through its registers, and the
// two bounded waits built on it. The steps ignore individual register results:
// a failed write or read never stops a sequence, it only shows up as a wait
// that runs to its bound -- except when the device has gone away, which ends
// the waits at once (10,000 polls of a vanished camera would take hours).

#include "core/device/backend.h"
#include "core/device/clock.h"
#include "core/serialflash/serial_flash.h"

namespace emberline::serialflash {

namespace {

constexpr std::uint8_t kStartSend = 1;
constexpr std::uint8_t kStartReceive = 2;
constexpr std::uint8_t kTransferFinished = 1;
constexpr std::uint8_t kSelected = 0;
constexpr std::uint8_t kReleased = 1;

constexpr std::uint8_t kOpReadStatus = 0x05;
constexpr std::uint8_t kStatusBusy = 0x01;

constexpr std::uint32_t kPollSleepMs = 1;

}  // namespace

void SerialFlash::sendByte(int index, std::uint8_t byte) {
  writeRegister(index, kRegTxByte, byte);
  writeRegister(index, kRegTransferStart, kStartSend);
  waitTransferDone(index);
}

std::uint8_t SerialFlash::receiveByte(int index) {
  writeRegister(index, kRegRxByte, 0);
  writeRegister(index, kRegTransferStart, kStartReceive);
  waitTransferDone(index);
  std::uint8_t byte = 0xFF;
  if (!readRegister(index, kRegRxByte, byte)) return 0xFF;
  return byte;
}

void SerialFlash::select(int index) { writeRegister(index, kRegChipSelect, kSelected); }
void SerialFlash::release(int index) { writeRegister(index, kRegChipSelect, kReleased); }
void SerialFlash::takePort(int index) { writeRegister(index, kRegPortOwner, 1); }
void SerialFlash::givePort(int index) { writeRegister(index, kRegPortOwner, 0); }

void SerialFlash::waitTransferDone(int index) {
  // A closed device has nothing to wait for; polling it would only sleep.
  if (!guard(index)) return;
  for (int poll = 0; poll < kTransferDonePolls; ++poll) {
    // An unplugged camera never answers, and a stop request is looked at
    // between polls as in the flash-ready wait: waiting out the bound
    // would only stall.
    if (backend_.DeviceGone() || stop_.stopRequested()) return;
    std::uint8_t done = 0;
    // A failed read is no news that the transfer finished.
    if (readRegister(index, kRegTransferDone, done) && done == kTransferFinished) return;
    clock_.sleepMs(kPollSleepMs);
  }
  ++transfer_waits_ran_out_;
}

bool SerialFlash::waitFlashReady(int index) {
  if (!guard(index)) return false;
  const int failed_before = register_requests_failed_;
  for (int poll = 0; poll < kFlashReadyPolls; ++poll) {
    if (backend_.DeviceGone() || stop_.stopRequested()) {
      release(index);
      return false;
    }
    // Each poll selects again without releasing in between, as the port expects.
    select(index);
    sendByte(index, kOpReadStatus);
    // receiveByte yields 0xFF on a failed read, which reads as busy.
    const std::uint8_t status = receiveByte(index);
    if ((status & kStatusBusy) == 0) {
      release(index);
      return true;
    }
    clock_.sleepMs(kPollSleepMs);
  }
  release(index);
  flash_stayed_busy_ = true;
  // One refused request of the poll (the status opcode, say) leaves every
  // later poll reading something else: the flash need not be busy at all.
  ready_wait_request_failed_ = register_requests_failed_ != failed_before;
  return false;
}

void SerialFlash::SfWaitTransferDone() { waitTransferDone(0); }
bool SerialFlash::SfWaitFlashReady() { return waitFlashReady(0); }

}  // namespace emberline::serialflash
