#include "sim/spi_nor_flash.h"

#include <algorithm>

namespace emberline::sim {

namespace {
constexpr std::size_t kMaxCommandBytes = 4 + 4 + 256;  // opcode, address, dummies, one page
constexpr std::uint8_t kWriteEnable = 0x06;
constexpr std::uint8_t kWriteDisable = 0x04;
constexpr std::uint8_t kReadStatus = 0x05;
constexpr std::uint8_t kWriteStatus = 0x01;
constexpr std::uint8_t kEnableWriteStatus = 0x50;
constexpr std::uint8_t kReadJedecId = 0x9F;
constexpr std::uint8_t kReadId15 = 0x15;
constexpr std::uint8_t kReadId90 = 0x90;
constexpr std::uint8_t kReadIdAB = 0xAB;
constexpr std::uint8_t kStatusD7 = 0xD7;
constexpr std::uint8_t kAutoIncrementProgram = 0xAF;
constexpr std::uint32_t kPageSize = 256;

std::uint8_t pairByte(const IdPair& pair, std::size_t k) {
  if (!pair.present) return 0xFF;
  return (k % 2 == 0) ? pair.first : pair.second;
}
}  // namespace

SpiNorFlash::SpiNorFlash(const SimFlashPart& part, std::array<std::uint8_t, 3> id,
                         bool continuation, std::uint32_t size, BusyPolls busy_polls,
                         std::uint8_t status)
    : part_(part),
      id_(id),
      continuation_(continuation),
      busy_polls_(busy_polls),
      content_(size == 0 ? 1 : size, 0xFF),
      status_(static_cast<std::uint8_t>(status & ~(kStatusBusy | kStatusWriteEnable | kStatusAai))) {}

void SpiNorFlash::select() {
  if (selected_) return;
  selected_ = true;
  ignoring_ = busy();
  command_.clear();
  clocked_ = 0;
}

void SpiNorFlash::release() {
  if (!selected_) return;
  selected_ = false;
  if (!ignoring_ && !command_.empty()) execute();
  if (command_.empty() || command_[0] != kEnableWriteStatus) status_write_armed_ = false;
  command_.clear();
}

void SpiNorFlash::abandon() {
  selected_ = false;
  command_.clear();
}

std::uint8_t SpiNorFlash::clock(std::uint8_t in, bool sampled) {
  if (!selected_) return 0xFF;
  const std::size_t index = clocked_++;
  if (command_.size() < kMaxCommandBytes) command_.push_back(in);
  if (index == 0) return 0xFF;  // nothing is driven while the opcode shifts in
  const std::uint8_t opcode = command_[0];
  if (opcode == kReadStatus) return readStatus(sampled);
  if (ignoring_) return 0xFF;
  return answer(index);
}

std::uint8_t SpiNorFlash::readStatus(bool sampled) {
  const std::uint8_t now = status();
  if (sampled) pollStatus();
  return now;
}

std::uint32_t SpiNorFlash::addressAt(std::size_t index) const {
  std::uint32_t address = 0;
  for (std::size_t i = index; i < index + 3; ++i) {
    address = (address << 8) | (i < command_.size() ? command_[i] : 0u);
  }
  return address;
}

std::uint8_t SpiNorFlash::wrap(std::uint32_t offset) const {
  return content_[offset % content_.size()];
}

int SpiNorFlash::readDummies(std::uint8_t opcode) const {
  if (opcode == 0x03) return 0;
  if (opcode == 0x0B && part_.fast_read) return 1;
  if (opcode == 0xE8 && part_.array_read_e8) return 4;
  return -1;
}

std::uint8_t SpiNorFlash::answer(std::size_t index) const {
  const std::uint8_t opcode = command_[0];
  switch (opcode) {
    case kReadJedecId: {
      if (!part_.answers_jedec) return 0xFF;
      std::size_t k = index - 1;
      if (continuation_) {
        if (k == 0) return 0x7F;
        --k;
      }
      return k < id_.size() ? id_[k] : 0xFF;
    }
    case kReadId15:
      return pairByte(part_.id_15, index - 1);
    case kReadId90:
      if (index < 4) return 0xFF;  // address bytes
      return pairByte(part_.id_90, index - 4 + (command_[3] & 1));
    case kReadIdAB:
      if (index < 4) return 0xFF;
      if (part_.id_ab.present) return pairByte(part_.id_ab, index - 4 + (command_[3] & 1));
      return part_.signature_ab >= 0 ? static_cast<std::uint8_t>(part_.signature_ab) : 0xFF;
    case kStatusD7:
      return part_.status_d7 >= 0 ? static_cast<std::uint8_t>(part_.status_d7) : 0xFF;
    default:
      break;
  }
  const int dummies = readDummies(opcode);
  if (dummies < 0) return 0xFF;
  const std::size_t first_data = 4 + static_cast<std::size_t>(dummies);
  if (index < first_data) return 0xFF;
  return wrap(addressAt(1) + static_cast<std::uint32_t>(index - first_data));
}

// A command runs only with exactly the bytes it takes (a program: at least
// one data byte); anything else is ignored, as the parts' datasheets have it.
void SpiNorFlash::execute() {
  const std::uint8_t opcode = command_[0];
  const std::size_t length = clocked_;
  const bool aai_part = part_.program == kAutoIncrementProgram;
  if (aai_) {
    // Inside a run only the next byte and the write disable that ends it count.
    if (opcode == kAutoIncrementProgram && length == 2) {
      programAai();
    } else if (opcode == kWriteDisable && length == 1) {
      aai_ = false;
      status_ &= static_cast<std::uint8_t>(~kStatusWriteEnable);
    }
    return;
  }
  if (opcode == kWriteEnable) {
    if (length == 1) status_ |= kStatusWriteEnable;
  } else if (opcode == kWriteDisable) {
    if (length == 1) status_ &= static_cast<std::uint8_t>(~kStatusWriteEnable);
  } else if (opcode == kEnableWriteStatus) {
    if (length == 1) status_write_armed_ = part_.status_write_needs_ewsr;
  } else if (opcode == kWriteStatus) {
    if (length == 2) writeStatus(command_[1]);
  } else if (acceptsChipErase(opcode)) {
    if (length == 1) eraseRange(0, static_cast<std::uint32_t>(content_.size()));
  } else if (opcode == part_.sector_erase) {
    if (length != 4) return;
    const std::uint32_t sector = std::min<std::uint32_t>(part_.sector_size,
                                                         static_cast<std::uint32_t>(content_.size()));
    const std::uint32_t start = (addressAt(1) % content_.size()) / sector * sector;
    eraseRange(start, sector);
  } else if (opcode == part_.program) {
    if (aai_part && length == 5) {
      programAai();
    } else if (!aai_part && length >= 5) {
      program();
    }
  }
}

bool SpiNorFlash::acceptsChipErase(std::uint8_t opcode) const {
  return opcode != 0 &&
         std::find(part_.chip_erase.begin(), part_.chip_erase.end(), opcode) != part_.chip_erase.end();
}

// With SRWD set, a low WP# pin locks the status register (hardware protection).
void SpiNorFlash::writeStatus(std::uint8_t value) {
  const bool allowed = part_.status_write_needs_ewsr ? status_write_armed_ : writeEnabled();
  if (!allowed) return;
  if ((status_ & kStatusWriteDisable) && wp_low_) return;
  const std::uint8_t writable = static_cast<std::uint8_t>(part_.protect_bits | kStatusWriteDisable);
  status_ = static_cast<std::uint8_t>((status_ & ~writable) | (value & writable));
  finishWrite(part_.instant_status_write ? 0 : busy_polls_.status_write);
}

void SpiNorFlash::finishWrite(std::uint32_t busy_polls) {
  status_ &= static_cast<std::uint8_t>(~kStatusWriteEnable);
  busy_reads_left_ = busy_polls;
}

void SpiNorFlash::eraseRange(std::uint32_t start, std::uint32_t length) {
  if (!writeEnabled()) return;
  if (protectedArray()) {
    status_ &= static_cast<std::uint8_t>(~kStatusWriteEnable);
    return;
  }
  std::fill_n(content_.begin() + start, std::min<std::size_t>(length, content_.size() - start),
              std::uint8_t{0xFF});
  finishWrite(busy_polls_.erase);
}

// A page program wraps within its 256-byte page.
void SpiNorFlash::program() {
  if (!writeEnabled()) return;
  if (protectedArray()) {
    status_ &= static_cast<std::uint8_t>(~kStatusWriteEnable);
    return;
  }
  const std::uint32_t start = addressAt(1);
  const std::size_t data_bytes = std::min<std::size_t>(command_.size() - 4, kPageSize);
  for (std::size_t i = 0; i < data_bytes; ++i) {
    const std::uint32_t step = static_cast<std::uint32_t>(i);
    const std::uint32_t address = (start & ~(kPageSize - 1)) | ((start + step) & (kPageSize - 1));
    content_[address % content_.size()] &= command_[4 + i];  // NOR: programming only clears bits
  }
  finishWrite(busy_polls_.program);
}

// Auto-increment programming: the first command carries the address and one
// byte, each further one a byte for the next address; write disable ends the
// run. The write-enable latch stays set for the whole run.
void SpiNorFlash::programAai() {
  std::uint8_t data = 0;
  if (!aai_) {
    if (!writeEnabled()) return;
    if (protectedArray()) {
      status_ &= static_cast<std::uint8_t>(~kStatusWriteEnable);
      return;
    }
    aai_ = true;
    aai_address_ = addressAt(1);
    data = command_[4];
  } else {
    data = command_[1];
  }
  content_[aai_address_ % content_.size()] &= data;
  ++aai_address_;
  busy_reads_left_ = busy_polls_.program;
}

void SpiNorFlash::setContent(std::span<const std::uint8_t> bytes) {
  std::copy_n(bytes.begin(), std::min(bytes.size(), content_.size()), content_.begin());
}

std::uint8_t SpiNorFlash::status() const {
  return static_cast<std::uint8_t>(status_ | (busy() ? kStatusBusy : 0) | (aai_ ? kStatusAai : 0));
}

void SpiNorFlash::setStatus(std::uint8_t status) {
  status_ = static_cast<std::uint8_t>(status & ~(kStatusBusy | kStatusAai));
  busy_reads_left_ = (status & kStatusBusy) ? std::max<std::uint32_t>(busy_polls_.erase, 1) : 0;
}

}  // namespace emberline::sim
