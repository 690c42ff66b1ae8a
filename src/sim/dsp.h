#pragma once

// The camera's DSP as the extension unit reaches it: a 16-bit register space
// with the SPI port and the general-purpose pins among it, the memory the
// device-kind probe reads (space 9), and the block path that moves blocks
// between the host and the flash with the opcodes its registers hold.

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
inline constexpr std::uint16_t kPinLevel = 0x1006;   // a set bit drives its pin high
inline constexpr std::uint16_t kPinOutput = 0x1007;  // a set bit makes its pin an output
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

// Registers whose content is the SPI port's passing state: they do not make a
// saved camera differ.
bool isSpiShiftRegister(std::uint16_t address);

class SimDsp {
 public:
  static constexpr std::size_t kRegisterCount = 0x10000;
  static constexpr std::size_t kMemory9Size = 0x10000;

  // Power-on state: registers, and the probe memory laid out from `settings`.
  SimDsp(const SimSettings& settings, SpiNorFlash& flash);

  // Register access over the extension unit, with the SPI port's and the
  // pins' side effects. The SPI port moves bytes only while the host owns it
  // (0x1080 = 1); the done flag reads 1 only once a transfer has finished.
  void writeRegister(std::uint16_t address, std::uint8_t value);
  std::uint8_t readRegister(std::uint16_t address) const;

  // A done flag that never reads 1.
  void setTransferNeverDone(bool never) { transfer_never_done_ = never; }

  // Block path: `offset` is the 17-bit flash offset. The DSP's own SPI
  // controller runs whole flash commands, waiting for the flash to be ready
  // first; while the host owns the port or holds chip select the block path
  // does not reach the flash: writes do nothing and reads give 0xFF.
  void readFlash(std::uint32_t offset, std::span<std::uint8_t> out);
  void writeFlash(std::uint32_t offset, std::span<const std::uint8_t> data);

  // Plain storage, without side effects (state accessors and saved state).
  std::vector<std::uint8_t>& registers() { return registers_; }
  std::vector<std::uint8_t>& memory9() { return memory9_; }
  const std::vector<std::uint8_t>& registers() const { return registers_; }
  const std::vector<std::uint8_t>& memory9() const { return memory9_; }
  // Applies the pin registers to the flash's WP# (after a load).
  void updateWriteProtectPin();

 private:
  bool blockPathFree() const;
  bool waitFlashReady();
  void sendAddress(std::uint32_t offset);
  void programAutoIncrement(std::uint32_t offset, std::span<const std::uint8_t> data);

  SpiNorFlash& flash_;
  std::uint8_t wp_pin_;
  std::vector<std::uint8_t> registers_;
  std::vector<std::uint8_t> memory9_;
  bool transfer_never_done_ = false;
};

}  // namespace emberline::sim
