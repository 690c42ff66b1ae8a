// Lifting and restoring the flash's write protection: the DSP's own SPI
// command registers, the write-protect pin named by the firmware's
// configuration byte, and the flash's status register.

#include <iterator>

#include "core/serialflash/serial_flash.h"

namespace emberline::serialflash {

namespace {

constexpr std::uint16_t kNoRestoreRegister = 0xFFFF;

// The DSP's own SPI command registers: its write-enable and program opcodes
// and four setup bytes.
constexpr std::uint16_t kRegWriteEnableOpcode = 0x5F3;
constexpr std::uint16_t kRegProgramOpcode = 0x5F5;
constexpr std::uint16_t kRegCommandSetup[] = {0x5F8, 0x5F9, 0x5FA, 0x5FB};
constexpr std::uint8_t kCommandSetupValues[] = {0x12, 0x12, 0xED, 0xED};

// The write-protect pin: 0x1007 takes the pin's mask, 0x1006 its level. Both
// also get bit 2 set after the status register has been cleared, as do bit 0
// of 0x17C1 and 0x17C2; a restore clears bit 0 of 0x1073.
constexpr std::uint16_t kRegPinMask = 0x1007;
constexpr std::uint16_t kRegPinLevel = 0x1006;
constexpr std::uint16_t kRegLiftFlagA = 0x17C1;
constexpr std::uint16_t kRegLiftFlagB = 0x17C2;
constexpr std::uint16_t kRegProtectState = 0x1073;

constexpr std::uint8_t kOpWriteEnable = 0x06;
constexpr std::uint8_t kOpEnableWriteStatus = 0x50;
constexpr std::uint8_t kOpWriteStatus = 0x01;
constexpr std::uint8_t kOpProgram = 0x02;
constexpr std::uint8_t kOpProgramSst = 0xAF;
constexpr std::uint8_t kSstFlashType = 3;
constexpr std::uint8_t kStatusUnprotected = 0x00;

constexpr std::uint8_t kBypassModeByte = 2;

// What a WriteProtectConfig byte asks for.
struct PinPlan {
  std::uint8_t action;     // 0 = no pin; 1 = drive low (level = ~mask); else level = mask
  std::uint8_t mask;       // 1 << pin number
  bool catalogue_opcodes;  // load the matched part's opcodes rather than the defaults
};

PinPlan decodeConfig(std::uint8_t config) {
  const std::uint8_t code = config & 0x03;
  const bool catalogue = ((config >> 2) & 0x03) == 0x02;
  const auto mask = static_cast<std::uint8_t>(1u << ((config >> 4) & 0x07));
  std::uint8_t action = code;
  if (catalogue) {
    // Codes 2 and 3 map to actions 1 and 2; codes 0 and 1 keep the whole
    // (non-zero) byte, which drives the pin like action 2.
    action = code == 2 ? 1 : code == 3 ? 2 : config;
  }
  return {action, mask, catalogue};
}

}  // namespace

bool SerialFlash::SfSetWriteProtect(int mode, std::uint16_t& restore_register,
                                    std::uint8_t& value) {
  return setWriteProtect(0, mode, restore_register, value);
}

bool SerialFlash::setWriteProtect(int index, int mode, std::uint16_t& restore_register,
                                  std::uint8_t& value) {
  if (!guard(index)) return false;
  const int found = SfDetectFlash(index);
  const auto flash_type = static_cast<std::uint8_t>(found < 0 ? 0 : found);
  std::uint8_t mode_byte = 0;
  if (!readInfoByte(index, mode_byte)) return false;

  const DeviceKindEntry flags = deviceKindFlags(deviceKind(index));
  const bool bypass_status = flags.mode2_bypass && mode_byte == kBypassModeByte;
  if (mode == 0) {
    liftWriteProtect(index, flash_type, bypass_status, restore_register, value);
  } else {
    restoreWriteProtect(index, bypass_status, restore_register, value);
  }
  return true;
}

void SerialFlash::liftWriteProtect(int index, std::uint8_t flash_type, bool bypass_status,
                                   std::uint16_t& restore_register, std::uint8_t& value) {
  restore_register = kNoRestoreRegister;
  const PinPlan plan = decodeConfig(value);
  value = plan.action;

  if (deviceKindFlags(deviceKind(index)).load_spi_commands) {
    const FlashCommandSet& set =
        kFlashCommandSets[detection_.command_set < kFlashCommandSetCount ? detection_.command_set
                                                                         : 0];
    const std::uint8_t write_enable = plan.catalogue_opcodes ? set.write_enable : kOpWriteEnable;
    const std::uint8_t program = plan.catalogue_opcodes        ? set.program
                                 : flash_type == kSstFlashType ? kOpProgramSst
                                                               : kOpProgram;
    writeRegister(index, kRegWriteEnableOpcode, write_enable);
    for (std::size_t i = 0; i < std::size(kRegCommandSetup); ++i) {
      writeRegister(index, kRegCommandSetup[i], kCommandSetupValues[i]);
    }
    writeRegister(index, kRegProgramOpcode, program);
  }

  if (plan.action != 0) {
    value = plan.action == 1 ? static_cast<std::uint8_t>(~plan.mask) : plan.mask;
    writeRegister(index, kRegPinMask, plan.mask);
    writeRegister(index, kRegPinLevel, value);
    restore_register = kRegPinLevel;
  }

  if (bypass_status) return;

  // Clear the flash's block-protect bits: write enable, then status 0x00.
  takePort(index);
  select(index);
  sendByte(index, kOpWriteEnable);
  release(index);
  waitFlashReady(index);
  if (flash_type == kSstFlashType) {
    select(index);
    sendByte(index, kOpEnableWriteStatus);
    release(index);
  }
  select(index);
  sendByte(index, kOpWriteStatus);
  sendByte(index, kStatusUnprotected);
  release(index);
  waitFlashReady(index);
  givePort(index);

  modifyRegister(index, kRegPinLevel, 0x04, 0);
  modifyRegister(index, kRegPinMask, 0x04, 0);
  modifyRegister(index, kRegLiftFlagA, 0x01, 0);
  modifyRegister(index, kRegLiftFlagB, 0x01, 0);
}

void SerialFlash::restoreWriteProtect(int index, bool bypass_status, std::uint16_t restore_register,
                                      std::uint8_t value) {
  if (restore_register != kNoRestoreRegister) {
    writeRegister(index, restore_register, static_cast<std::uint8_t>(~value));
  }
  if (!bypass_status) modifyRegister(index, kRegProtectState, 0, 0x01);
}

}  // namespace emberline::serialflash
