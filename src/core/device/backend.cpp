#include "core/device/backend.h"

#include <algorithm>
#include <array>

#include "core/device/discovery.h"
#include "core/device/protocol.h"
#include "core/device/request_frame.h"

namespace emberline::device {

namespace {

using LibraryPayload = std::array<std::uint8_t, kLibraryPayloadSize>;

constexpr std::uint32_t kBankSize = 0x10000;  // what 16 address bits reach
constexpr std::uint32_t kMaxChunk = 8;        // data bytes one request carries
constexpr std::uint8_t kReadMarker = 0xFF;

constexpr std::uint8_t kMultiWriteMarker = 0x00;
constexpr std::uint8_t kMultiReadMarker = 0xFF;
constexpr std::size_t kMultiWriteMax = 5;  // payload bytes 2-6
constexpr std::size_t kMultiReadMax = 6;   // payload bytes 2-7

constexpr std::uint8_t lowByte(std::uint32_t value) { return static_cast<std::uint8_t>(value & 0xFF); }
constexpr std::uint8_t highByte(std::uint32_t value) {
  return static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Selector-2 control byte: bits 4-7 a format code, bits 0-3 a count; the
// entry moves count + 1 bytes, one more with format 2.
std::size_t multiByteCount(std::uint8_t control) {
  std::size_t count = (control & 0x0Fu) + 1;
  if ((control >> 4) == 2) ++count;
  return count;
}

// Whether a block transfer stays where the bank scheme can carry it without
// moving a byte to or from the wrong place. `begin` and `end` are the
// transfer's absolute offsets (bank bit included).
bool transferFits(std::uint8_t space, std::uint16_t address, std::size_t length, std::uint32_t chunk,
                  bool write_bank, bool read_bank) {
  // Space 9 has no bank: an address past 0xFFFF would wrap to its start.
  if (space == kSpaceRead9) return address + length <= kBankSize;

  const bool upper = (space == kSpaceWrite) ? write_bank : read_bank;
  const std::uint64_t begin = (upper ? kBankSize : 0) + address;
  const std::uint64_t end = begin + length;
  if (end > 2 * kBankSize) return false;  // past the upper 64 KB
  const std::uint64_t upper_begin = std::max<std::uint64_t>(begin, kBankSize);
  const bool reaches_upper = end > upper_begin;

  if (space == kSpaceWrite) {
    // Every upper-bank chunk goes with 0x18, which announces 8 bytes: only
    // whole, 8-aligned chunks can be written there.
    return !reaches_upper || (chunk == kMaxChunk && upper_begin % kMaxChunk == 0 &&
                              end % kMaxChunk == 0);
  }

  // Reads switch bank between two chunks: the boundary must fall on one.
  if (begin < kBankSize && end > kBankSize && (kBankSize - begin) % chunk != 0) return false;
  // An upper-bank set-up announces 8 bytes, so each GET of a run there moves
  // on by 8: a run of shorter chunks would skip bytes.
  if (reaches_upper && chunk < kMaxChunk) {
    const std::uint64_t whole = length / chunk;
    const std::uint64_t lower_whole = (upper_begin - begin) / chunk;
    if (whole > lower_whole + 1) return false;
  }
  return true;
}

}  // namespace

ExtensionUnitBackend::ExtensionUnitBackend(DeviceList& devices,
                                           const ExtensionUnitChannel* dialog_channel)
    : devices_(devices), dialog_channel_(dialog_channel) {}

bool ExtensionUnitBackend::BeWriteRegister(int /*index*/, std::uint16_t reg, unsigned value) {
  const std::array<std::uint8_t, kRegisterPayloadSize> payload{lowByte(reg), highByte(reg),
                                                               lowByte(value), 0x00};
  return detail::setOn(channel_, XU_SEL_REGISTER, payload);
}

bool ExtensionUnitBackend::BeReadRegister(int /*index*/, std::uint16_t reg, std::uint8_t& value) {
  const std::array<std::uint8_t, kRegisterPayloadSize> request{lowByte(reg), highByte(reg), 0x00,
                                                               kReadMarker};
  if (!detail::setOn(channel_, XU_SEL_REGISTER, request)) return false;
  std::array<std::uint8_t, kRegisterPayloadSize> answer{};
  if (!detail::getOn(channel_, XU_SEL_REGISTER, answer)) return false;
  value = answer[2];
  return true;
}

bool ExtensionUnitBackend::BeFlashCommandC8(int /*index*/) {
  LibraryPayload payload{};
  payload[2] = kFlashCommandC8;
  return detail::setOn(channel_, XU_SEL_FLASH, payload);
}

bool ExtensionUnitBackend::BeReadInfoByte(int /*index*/, std::uint8_t& value) {
  LibraryPayload record{};
  if (!detail::getOn(channel_, XU_SEL_INFO, record)) return false;
  value = record[2];
  return true;
}

bool ExtensionUnitBackend::BeReadInfoWord(int /*index*/, std::uint16_t& value) {
  LibraryPayload record{};
  if (!detail::getOn(channel_, XU_SEL_INFO, record)) return false;
  value = static_cast<std::uint16_t>(record[0] | (record[1] << 8));
  return true;
}

bool ExtensionUnitBackend::BeFlashCommand40(int /*index*/, std::uint8_t value, std::uint16_t word) {
  LibraryPayload payload{};
  payload[2] = kFlashCommand40;
  payload[3] = value;
  payload[4] = lowByte(word);
  payload[5] = highByte(word);
  return detail::setOn(channel_, XU_SEL_FLASH, payload);
}

bool ExtensionUnitBackend::BeTransferBlock(int /*index*/, std::uint8_t space, std::uint32_t address,
                                           std::span<std::uint8_t> buffer, std::uint32_t chunk) {
  if (space != kSpaceWrite && space != kSpaceRead && space != kSpaceRead9) {
    channel_.last_error = -EINVAL;
    return false;
  }
  if (!channel_.device) {
    channel_.last_error = -ENODEV;
    return false;
  }
  if (buffer.empty()) {  // nothing to move: no request at all
    channel_.last_error = 0;
    return true;
  }
  // A chunk of 0 would never advance; treat it as one byte per request.
  const std::uint32_t c = std::clamp<std::uint32_t>(chunk, 1, kMaxChunk);
  std::uint16_t a = static_cast<std::uint16_t>(address & 0xFFFF);
  if (!transferFits(space, a, buffer.size(), c, write_bank_, read_bank_)) {
    channel_.last_error = -EINVAL;
    return false;
  }

  const auto length = static_cast<std::uint32_t>(buffer.size());  // at most 128 KB here
  std::uint8_t* const b = buffer.data();
  std::uint32_t n = length / c;  // whole chunks
  std::uint32_t r = length % c;  // bytes of the final partial chunk
  std::uint32_t p = 0;           // bytes already transferred

  // Writes first go up to the next chunk boundary, so that the whole chunks
  // that follow are aligned.
  bool head_is_whole = false;
  if (space == kSpaceWrite && a % c != 0) {
    std::uint32_t h = c - a % c;
    if (h >= length) {
      h = length;
      head_is_whole = true;
    } else {
      n = (length - h) / c;
      r = (length - h) % c;
    }
    if (!writeChunk(a, h, b)) return false;
    a = static_cast<std::uint16_t>(a + h);
    p = h;
  }

  if (n == 0) {
    switch (space) {
      case kSpaceWrite:
        return head_is_whole || writeChunk(a, r, b + p);
      case kSpaceRead:
        return readSetup(a, r) && readData(b + p, r);
      default:
        return space9Read(a, b + p, r);
    }
  }

  // One set-up serves the whole run of chunks; the GETs that follow decide.
  if (space == kSpaceRead) (void)readSetup(a, c);
  while (n > 0) {
    std::uint8_t* const q = b + p;
    const bool ok = space == kSpaceWrite ? writeChunk(a, c, q)
                    : space == kSpaceRead ? readData(q, c)
                                          : space9Read(a, q, c);
    if (!ok) return false;
    --n;
    p += c;
    if (space == kSpaceRead && a + c == kBankSize) {
      // The lower bank is read to its end: the rest lies in the upper bank
      // and needs a set-up of its own there.
      read_bank_ = true;
      a = 0;
      if (n > 0) {
        (void)readSetup(0, c);
        for (; n > 0; --n, p += c, a = static_cast<std::uint16_t>(a + c)) {
          if (!readData(b + p, c)) return false;
        }
      }
      break;
    }
    a = static_cast<std::uint16_t>(a + c);
  }

  if (r == 0) return true;
  switch (space) {
    case kSpaceWrite:
      return writeChunk(a, r, b + p);
    case kSpaceRead:
      return readSetup(a, r) && readData(b + p, r);
    default:
      return space9Read(a, b + p, r);
  }
}

bool ExtensionUnitBackend::BeClose(int /*index*/) {
  channel_.device.reset();  // the device path stays, as the open left it
  return true;
}

bool ExtensionUnitBackend::BeWriteMulti(std::uint8_t first, std::uint8_t control,
                                        std::span<const std::uint8_t> data) {
  const std::size_t count = multiByteCount(control);
  if (count > kMultiWriteMax || data.size() < count) {
    channel_.last_error = -EINVAL;
    return false;
  }
  std::array<std::uint8_t, kMultiPayloadSize> payload{};
  payload[0] = first;
  payload[1] = control;
  std::copy_n(data.begin(), count, payload.begin() + 2);
  payload[7] = kMultiWriteMarker;
  return detail::setOn(channel_, XU_SEL_MULTI, payload);
}

bool ExtensionUnitBackend::BeReadMulti(std::uint8_t first, std::uint8_t control,
                                       std::span<std::uint8_t> data) {
  const std::size_t count = multiByteCount(control);
  if (count > kMultiReadMax || data.size() < count) {
    channel_.last_error = -EINVAL;
    return false;
  }
  std::array<std::uint8_t, kMultiPayloadSize> request{};
  request[0] = first;
  request[1] = control;
  request[2] = data[0];
  if ((control >> 4) == 2) request[3] = data[1];  // format 2 sends two bytes
  request[7] = kMultiReadMarker;
  if (!detail::setOn(channel_, XU_SEL_MULTI, request)) return false;
  std::array<std::uint8_t, kMultiPayloadSize> answer{};
  if (!detail::getOn(channel_, XU_SEL_MULTI, answer)) return false;
  std::copy_n(answer.begin() + 2, count, data.begin());
  return true;
}

std::string ExtensionUnitBackend::BeGetDevicePath() { return channel_.device_path; }

void ExtensionUnitBackend::ClearBankFlags() {
  write_bank_ = false;
  read_bank_ = false;
}

int ExtensionUnitBackend::OpenDevice() {
  const bool bound = dialog_channel_ != nullptr && dialog_channel_->device != nullptr;
  return SfOpenCamera(devices_, channel_, bound ? dialog_channel_->node_id : 1);
}

// --- chunk operations -------------------------------------------------------

bool ExtensionUnitBackend::writeChunk(std::uint16_t address, std::uint32_t count,
                                      const std::uint8_t* data) {
  read_bank_ = false;
  count = std::min(count, kMaxChunk);
  LibraryPayload payload{};
  payload[0] = lowByte(address);
  payload[1] = highByte(address);
  payload[2] = write_bank_ ? kFlashWrite8High : static_cast<std::uint8_t>(count);
  std::copy_n(data, count, payload.begin() + 3);
  if (!detail::setOn(channel_, XU_SEL_FLASH, payload)) return false;
  // The chunk that fills the lower bank to its end sends every later chunk
  // to the upper bank, until the bank flags are cleared.
  if (address + count == kBankSize) write_bank_ = true;
  return true;
}

bool ExtensionUnitBackend::readSetup(std::uint16_t address, std::uint32_t count) {
  LibraryPayload payload{};
  payload[0] = lowByte(address);
  payload[1] = highByte(address);
  payload[2] = read_bank_ ? kFlashRead8High
                          : static_cast<std::uint8_t>(0x80 | std::min(count, kMaxChunk));
  return detail::setOn(channel_, XU_SEL_FLASH, payload);
}

bool ExtensionUnitBackend::readData(std::uint8_t* destination, std::uint32_t count) {
  LibraryPayload answer{};
  if (!detail::getOn(channel_, XU_SEL_FLASH, answer)) return false;
  std::copy_n(answer.begin() + 3, std::min(count, kMaxChunk), destination);
  return true;
}

bool ExtensionUnitBackend::space9Read(std::uint16_t address, std::uint8_t* destination,
                                      std::uint32_t count) {
  LibraryPayload request{};
  request[0] = lowByte(address);
  request[1] = highByte(address);
  request[2] = 0x08;
  if (!detail::setOn(channel_, XU_SEL_SPACE9, request)) return false;
  LibraryPayload answer{};
  if (!detail::getOn(channel_, XU_SEL_SPACE9, answer)) return false;
  // Byte 2 claims how many bytes came; never take more than were asked for.
  const std::uint32_t delivered = std::min<std::uint32_t>({answer[2], count, kMaxChunk});
  std::copy_n(answer.begin() + 3, delivered, destination);
  return true;
}

}  // namespace emberline::device
