#pragma once

// The DSP's SPI port driven one register access at a time through the
// library's public operations, for the flash type detection and the chip
// erase. Register results are not checked: a sequence always runs through,
// and the caller learns from its blank check whether the flash obeyed.

#include <cstdint>

namespace emberline::serialflash {
class SerialFlash;
}

namespace emberline::workflows {

class SpiSequencer {
 public:
  // `echo_read`: after each byte sent, read (and drop) the byte shifted in,
  // as the identification series do; the erase series do not.
  SpiSequencer(serialflash::SerialFlash& library, bool echo_read)
      : library_(library), echo_read_(echo_read) {}

  void takePort();
  void givePort();
  void select();
  void release();
  void send(std::uint8_t byte);
  // 0xFF when the register read fails (an idle, pulled-up bus).
  std::uint8_t receive();
  // select, send `opcode`, release.
  void command(std::uint8_t opcode);
  // Writes one register (result ignored, like every step of a sequence).
  void write(std::uint16_t reg, std::uint8_t value);

 private:
  serialflash::SerialFlash& library_;
  bool echo_read_;
};

}  // namespace emberline::workflows
