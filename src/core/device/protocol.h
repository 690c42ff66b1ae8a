#pragma once

// The vendor extension-unit protocol: control selectors, payload layouts and
// the three requests the dialog side sends through its own channel.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/device/transport.h"

namespace emberline::device {

enum Selector : std::uint8_t {
  XU_SEL_REGISTER = 1,  // 4 bytes: DSP register read/write
  XU_SEL_MULTI = 2,     // 8 bytes: multi-byte register access (installed, unused)
  XU_SEL_FLASH = 3,     // 11 bytes (dialog) / 12 bytes (library): 8-byte flash/memory blocks
  XU_SEL_SPACE9 = 4,    // 12 bytes: memory-space-9 reads
  XU_SEL_INFO = 5,      // 12 bytes: DeviceInfoRecord, GET only
};

inline constexpr std::size_t kRegisterPayloadSize = 4;
inline constexpr std::size_t kMultiPayloadSize = 8;
inline constexpr std::size_t kDialogFlashPayloadSize = 11;
inline constexpr std::size_t kLibraryPayloadSize = 12;
inline constexpr std::size_t kDriverRecordSize = 40;

inline constexpr std::uint16_t kChipIdRegister = 0x101F;

// FlashCommandByte: bit 7 read, bit 4 upper 64 KB, bits 0-3 byte count.
inline constexpr std::uint8_t kFlashWrite8Low = 0x08;
inline constexpr std::uint8_t kFlashWrite8High = 0x18;
inline constexpr std::uint8_t kFlashRead8Low = 0x88;
inline constexpr std::uint8_t kFlashRead8High = 0x98;
inline constexpr std::uint8_t kFlashCommandC8 = 0xC8;
inline constexpr std::uint8_t kFlashCommand40 = 0x40;

// The dialog's path to the camera: the opened device and its extension-unit
// node. Empty (no device, node 0) until discovery fills it.
struct ExtensionUnitChannel {
  std::shared_ptr<CaptureDevice> device;
  std::uint32_t node_id = 0;
  // The errno of the last failed request on this channel (0 when none), so a
  // face can say *why* ("device unplugged") without the protocol deciding that.
  int last_error = 0;
  std::string device_id;  // the list entry `device` was opened from (empty when none)
};

// Request frame: one SET of `payload` to `selector`. Fails without sending when
// the channel has no device. Records the error in channel.last_error.
bool sendSet(ExtensionUnitChannel& channel, std::uint8_t selector, std::span<const std::uint8_t> payload);
// One GET of `payload.size()` bytes (sent zero-filled) into `payload`.
bool sendGet(ExtensionUnitChannel& channel, std::uint8_t selector, std::span<std::uint8_t> payload);

// Reads the chip identifier (register 0x101F) through selector 1, falling back
// to the driver property sets A then B when the selector-1 SET is refused.
// `chip_id` is written only on success.
bool ReadChipId(ExtensionUnitChannel& channel, std::uint8_t& chip_id);

// Reads the 8 bytes at flash offset (high_bank << 16 | mid << 8 | low).
// `out` is written only on success.
bool ReadFlashBlock(ExtensionUnitChannel& channel, int high_bank_flag, std::uint8_t mid,
                    std::uint8_t low, std::span<std::uint8_t, 8> out);

// Writes 8 bytes at flash offset (high_bank << 16 | mid << 8 | low). Nothing is
// read back.
bool WriteFlashBlock(ExtensionUnitChannel& channel, int high_bank_flag,
                     std::span<const std::uint8_t, 8> data, std::uint8_t mid, std::uint8_t low);

}  // namespace emberline::device
