#pragma once

// A SPI NOR flash as seen from its four wires: chip select and a byte
// exchanged per eight clocks. A command is collected while the part is
// selected and carried out when it is released, as real parts do.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/flash_parts.h"

namespace emberline::sim {

inline constexpr std::uint8_t kStatusBusy = 0x01;
inline constexpr std::uint8_t kStatusWriteEnable = 0x02;

class SpiNorFlash {
 public:
  // `size` bytes of array (offsets wrap); `busy_polls` status reads stay busy
  // after an erase. The part powers up with every block-protect bit set.
  SpiNorFlash(const SimFlashPart& part, std::array<std::uint8_t, 3> id, bool continuation,
              std::uint32_t size, std::uint32_t busy_polls);

  void select();
  void release();  // carries out the command collected since select()
  void abandon();  // drops a half-sent command without carrying it out
  bool selected() const { return selected_; }
  // One byte out on MOSI, the byte on MISO back (0xFF when nothing drives it).
  std::uint8_t exchange(std::uint8_t in) { return clock(in, true); }
  // One byte out whose answer nobody samples. Busy time is counted in status
  // bytes the host reads, so this does not count as a status read.
  void send(std::uint8_t in) { clock(in, false); }

  // A flash that never gets ready: status reads keep the busy bit.
  void setNeverReady(bool never) { never_ready_ = never; }

  std::span<const std::uint8_t> content() const { return content_; }
  void setContent(std::span<const std::uint8_t> bytes);  // from offset 0, up to the size
  // The status register; bit 0 is busy.
  std::uint8_t status() const;
  // Bit 0 set makes the part busy for `busy_polls` status reads (at least one).
  void setStatus(std::uint8_t status);

 private:
  bool busy() const { return never_ready_ || busy_reads_left_ > 0; }
  bool protectedArray() const { return (status_ & part_.protect_bits) != 0; }
  bool writeEnabled() const { return (status_ & kStatusWriteEnable) != 0; }
  std::uint32_t addressAt(std::size_t index) const;  // 24-bit address from command bytes
  std::uint8_t wrap(std::uint32_t offset) const;

  std::uint8_t answer(std::size_t index) const;  // MISO for command byte `index`
  std::uint8_t clock(std::uint8_t in, bool sampled);
  std::uint8_t readStatus(bool sampled);
  int readDummies(std::uint8_t opcode) const;   // -1: not a read opcode of the part
  void execute();
  bool acceptsChipErase(std::uint8_t opcode) const;
  void eraseRange(std::uint32_t start, std::uint32_t length);
  void program();
  void writeStatus(std::uint8_t value);

  const SimFlashPart& part_;
  std::array<std::uint8_t, 3> id_;
  bool continuation_;
  std::uint32_t busy_polls_;
  std::vector<std::uint8_t> content_;
  std::uint8_t status_;  // without the busy bit
  std::uint32_t busy_reads_left_ = 0;
  bool never_ready_ = false;
  bool status_write_armed_ = false;  // 0x50 seen, for parts that need it

  bool selected_ = false;
  bool ignoring_ = false;  // command began while busy: the part does not listen
  std::vector<std::uint8_t> command_;  // bytes in since select (capped)
  std::size_t clocked_ = 0;            // bytes exchanged since select
};

}  // namespace emberline::sim
