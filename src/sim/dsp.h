#pragma once

// The camera's DSP as the extension unit reaches it: a 16-bit register space
// with the SPI port among it, memory spaces 7 and 9, and the block path that
// moves 8-byte blocks between the host and the flash with the opcodes its
// registers hold.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace emberline::sim {

class SpiNorFlash;
struct SimSettings;

namespace reg {
inline constexpr std::uint16_t kChipId = 0x101F;
inline constexpr std::uint16_t kTransferMode = 0x03C5;
inline constexpr std::uint16_t kWriteEnableOpcode = 0x05F3;
inline constexpr std::uint16_t kProgramOpcode = 0x05F5;
inline constexpr std::uint16_t kSpiOwner = 0x1080;
inline constexpr std::uint16_t kSpiStart = 0x1081;
inline constexpr std::uint16_t kSpiOut = 0x1082;
inline constexpr std::uint16_t kSpiIn = 0x1083;
inline constexpr std::uint16_t kSpiDone = 0x1084;
inline constexpr std::uint16_t kStatusOpcode = 0x1087;
inline constexpr std::uint16_t kReadOpcode = 0x1088;
inline constexpr std::uint16_t kReadDummies = 0x108C;
inline constexpr std::uint16_t kChipSelect = 0x1091;
}  // namespace reg

class SimDsp {
 public:
  static constexpr std::size_t kRegisterCount = 0x10000;
  static constexpr std::size_t kMemory7Size = 0x20000;  // 16-bit address plus the bank bit
  static constexpr std::size_t kMemory9Size = 0x10000;

  // Power-on state: registers, and chip memory laid out from `settings`.
  SimDsp(const SimSettings& settings, SpiNorFlash& flash);

  // Register access over the extension unit, with the SPI port's side effects.
  void writeRegister(std::uint16_t address, std::uint8_t value);
  std::uint8_t readRegister(std::uint16_t address) const;

  // A done flag that never reads 1.
  void setTransferNeverDone(bool never) { transfer_never_done_ = never; }

  // Block path: `offset` is the 17-bit flash offset.
  void readFlash(std::uint32_t offset, std::span<std::uint8_t> out);
  void writeFlash(std::uint32_t offset, std::span<const std::uint8_t> data);

  // Plain storage, without side effects (state accessors and saved state).
  std::vector<std::uint8_t>& registers() { return registers_; }
  std::vector<std::uint8_t>& memory7() { return memory7_; }
  std::vector<std::uint8_t>& memory9() { return memory9_; }

 private:
  void sendAddress(std::uint32_t offset);

  SpiNorFlash& flash_;
  std::vector<std::uint8_t> registers_;
  std::vector<std::uint8_t> memory7_;
  std::vector<std::uint8_t> memory9_;
  bool transfer_never_done_ = false;
};

}  // namespace emberline::sim
