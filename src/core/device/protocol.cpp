#include "core/device/protocol.h"

#include <algorithm>
#include <array>

#include "core/device/request_frame.h"

namespace emberline::device {

namespace {

using DriverRecord = std::array<std::uint8_t, kDriverRecordSize>;

constexpr std::uint8_t kReadMarker = 0xFF;

void putWord(DriverRecord& record, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) record[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The first fallback request asks the driver to read the chip register; the
// second fetches the value it read.
DriverRecord driverSetRecord() {
  DriverRecord record{};
  putWord(record, 20, 2);
  putWord(record, 24, kChipIdRegister);
  return record;
}

DriverRecord driverGetRecord() {
  DriverRecord record{};
  putWord(record, 20, 1);
  return record;
}

// One driver-property request, on set A and, when A refuses, on set B. Each
// attempt starts from the untouched record. 0 or the last attempt's -errno.
int driverRequestAThenB(CaptureDevice& device, XuOp op, const DriverRecord& sent,
                        DriverRecord& returned) {
  int result = 0;
  for (const Guid& set : {kDriverPropertySetA, kDriverPropertySetB}) {
    returned = sent;
    result = device.driverProperty(set, op, std::span<std::uint8_t, kDriverRecordSize>(returned));
    if (result == 0) return 0;
  }
  return result > 0 ? -EIO : result;
}

bool readChipIdThroughDriver(CaptureDevice& device, std::uint8_t& chip_id) {
  DriverRecord answer{};
  if (driverRequestAThenB(device, XuOp::Set, driverSetRecord(), answer) != 0) return false;
  if (driverRequestAThenB(device, XuOp::Get, driverGetRecord(), answer) != 0) return false;
  chip_id = answer[28];  // bits 0-7 of the little-endian word at offset 28
  return true;
}

std::array<std::uint8_t, kDialogFlashPayloadSize> flashBlockPayload(std::uint8_t low,
                                                                     std::uint8_t mid,
                                                                     std::uint8_t command) {
  std::array<std::uint8_t, kDialogFlashPayloadSize> payload{};
  payload[0] = low;
  payload[1] = mid;
  payload[2] = command;
  return payload;
}

}  // namespace

bool sendSet(ExtensionUnitChannel& channel, std::uint8_t selector,
             std::span<const std::uint8_t> payload) {
  return detail::setOn(channel, selector, payload);
}

bool sendGet(ExtensionUnitChannel& channel, std::uint8_t selector, std::span<std::uint8_t> payload) {
  return detail::getOn(channel, selector, payload);
}

bool ReadChipId(ExtensionUnitChannel& channel, std::uint8_t& chip_id) {
  if (!channel.device) {
    channel.last_error = -ENODEV;
    return false;
  }
  const std::array<std::uint8_t, kRegisterPayloadSize> read_request{
      kChipIdRegister & 0xFF, kChipIdRegister >> 8, 0x00, kReadMarker};
  if (sendSet(channel, XU_SEL_REGISTER, read_request)) {
    // The SET was accepted: the GET decides, and a failing GET is final.
    std::array<std::uint8_t, kRegisterPayloadSize> answer{};
    if (!sendGet(channel, XU_SEL_REGISTER, answer)) return false;
    chip_id = answer[2];
    return true;
  }
  // The unit refused the SET: ask the camera driver instead. When that fails
  // too, last_error keeps the unit's own error, which says more (an unplugged
  // camera) than a driver that does not offer the property.
  if (!readChipIdThroughDriver(*channel.device, chip_id)) return false;
  channel.last_error = 0;
  return true;
}

bool ReadFlashBlock(ExtensionUnitChannel& channel, int high_bank_flag, std::uint8_t mid,
                    std::uint8_t low, std::span<std::uint8_t, 8> out) {
  const auto request =
      flashBlockPayload(low, mid, high_bank_flag != 0 ? kFlashRead8High : kFlashRead8Low);
  if (!sendSet(channel, XU_SEL_FLASH, request)) return false;
  std::array<std::uint8_t, kDialogFlashPayloadSize> answer{};
  if (!sendGet(channel, XU_SEL_FLASH, answer)) return false;
  std::copy_n(answer.begin() + 3, out.size(), out.begin());
  return true;
}

bool WriteFlashBlock(ExtensionUnitChannel& channel, int high_bank_flag,
                     std::span<const std::uint8_t, 8> data, std::uint8_t mid, std::uint8_t low) {
  auto request =
      flashBlockPayload(low, mid, high_bank_flag != 0 ? kFlashWrite8High : kFlashWrite8Low);
  std::copy(data.begin(), data.end(), request.begin() + 3);
  return sendSet(channel, XU_SEL_FLASH, request);
}

}  // namespace emberline::device
