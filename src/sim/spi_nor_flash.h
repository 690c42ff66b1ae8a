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
inline constexpr std::uint8_t kStatusAai = 0x40;         // auto-increment programming under way
inline constexpr std::uint8_t kStatusWriteDisable = 0x80;  // SRWD: WP# low locks the status register

// How many status reads each kind of operation stays busy for. A host that
// polls once per millisecond sees a program finish after one poll and a
// status write after a few, as the parts' typical timings give.
struct BusyPolls {
  std::uint32_t erase = 3;
  std::uint32_t program = 1;
  std::uint32_t status_write = 2;
};

class SpiNorFlash {
 public:
  // `size` bytes of array (offsets wrap), powering up with `status` (its busy
  // and write-enable bits ignored).
  SpiNorFlash(const SimFlashPart& part, std::array<std::uint8_t, 3> id, bool continuation,
              std::uint32_t size, BusyPolls busy_polls, std::uint8_t status);

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
  // The level of the part's WP# pin: low with SRWD set locks the status register.
  void setWriteProtectPinLow(bool low) { wp_low_ = low; }
  // True while a program, erase or status write is still running.
  bool busy() const { return never_ready_ || busy_reads_left_ > 0; }
  // One status read as a controller polling on its own would make it.
  void pollStatus() {
    if (busy_reads_left_ > 0) --busy_reads_left_;
  }

  std::span<const std::uint8_t> content() const { return content_; }
  void setContent(std::span<const std::uint8_t> bytes);  // from offset 0, up to the size
  void poke(std::uint32_t offset, std::uint8_t value) { content_[offset % content_.size()] = value; }
  // The status register; bit 0 is busy.
  std::uint8_t status() const;
  // Bit 0 set makes the part busy for `busy_polls` status reads (at least one).
  void setStatus(std::uint8_t status);

 private:
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
  void programAai();
  void writeStatus(std::uint8_t value);
  void finishWrite(std::uint32_t busy_polls);  // WEL clears, the part goes busy

  const SimFlashPart& part_;
  std::array<std::uint8_t, 3> id_;
  bool continuation_;
  BusyPolls busy_polls_;
  std::vector<std::uint8_t> content_;
  std::uint8_t status_;  // without the busy bit
  std::uint32_t busy_reads_left_ = 0;
  bool never_ready_ = false;
  bool status_write_armed_ = false;  // 0x50 seen, for parts that need it
  bool wp_low_ = false;
  bool aai_ = false;                 // inside an auto-increment programming run
  std::uint32_t aai_address_ = 0;

  bool selected_ = false;
  bool ignoring_ = false;  // command began while busy: the part does not listen
  std::vector<std::uint8_t> command_;  // bytes in since select (capped)
  std::size_t clocked_ = 0;            // bytes exchanged since select
};

}  // namespace emberline::sim
