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
constexpr std::uint32_t kPageSize = 256;

std::uint8_t pairByte(const IdPair& pair, std::size_t k) {
  if (!pair.present) return 0xFF;
  return (k % 2 == 0) ? pair.first : pair.second;
}
}  // namespace

SpiNorFlash::SpiNorFlash(const SimFlashPart& part, std::array<std::uint8_t, 3> id,
                         bool continuation, std::uint32_t size, std::uint32_t busy_polls)
    : part_(part),
      id_(id),
      continuation_(continuation),
      busy_polls_(busy_polls),
      content_(size == 0 ? 1 : size, 0xFF),
      status_(part.protect_bits) {}

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
  const bool was_busy = busy();
  if (sampled && busy_reads_left_ > 0) --busy_reads_left_;
  return static_cast<std::uint8_t>(status_ | (was_busy ? kStatusBusy : 0));
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

void SpiNorFlash::execute() {
  const std::uint8_t opcode = command_[0];
  const std::size_t length = command_.size();
  if (opcode == kWriteEnable) {
    status_ |= kStatusWriteEnable;
  } else if (opcode == kWriteDisable) {
    status_ &= static_cast<std::uint8_t>(~kStatusWriteEnable);
  } else if (opcode == kEnableWriteStatus) {
    status_write_armed_ = part_.status_write_needs_ewsr;
  } else if (opcode == kWriteStatus && length >= 2) {
    writeStatus(command_[1]);
  } else if (length == 1 && acceptsChipErase(opcode)) {
    eraseRange(0, static_cast<std::uint32_t>(content_.size()));
  } else if (opcode == part_.sector_erase && length == 4) {
    const std::uint32_t sector = std::min<std::uint32_t>(part_.sector_size,
                                                         static_cast<std::uint32_t>(content_.size()));
    const std::uint32_t start = (addressAt(1) % content_.size()) / sector * sector;
    eraseRange(start, sector);
  } else if (opcode == part_.program && length >= 5) {
    program();
  }
}

bool SpiNorFlash::acceptsChipErase(std::uint8_t opcode) const {
  return opcode != 0 &&
         std::find(part_.chip_erase.begin(), part_.chip_erase.end(), opcode) != part_.chip_erase.end();
}

void SpiNorFlash::writeStatus(std::uint8_t value) {
  const bool allowed = part_.status_write_needs_ewsr ? status_write_armed_ : writeEnabled();
  if (!allowed) return;
  const std::uint8_t writable = static_cast<std::uint8_t>(part_.protect_bits | 0x80);
  status_ = static_cast<std::uint8_t>((status_ & ~writable) | (value & writable));
  status_ &= static_cast<std::uint8_t>(~kStatusWriteEnable);
}

void SpiNorFlash::eraseRange(std::uint32_t start, std::uint32_t length) {
  if (!writeEnabled()) return;
  status_ &= static_cast<std::uint8_t>(~kStatusWriteEnable);
  if (protectedArray()) return;
  std::fill_n(content_.begin() + start, std::min<std::size_t>(length, content_.size() - start),
              std::uint8_t{0xFF});
  busy_reads_left_ = busy_polls_;
}

void SpiNorFlash::program() {
  if (!writeEnabled()) return;
  status_ &= static_cast<std::uint8_t>(~kStatusWriteEnable);
  if (protectedArray()) return;
  const std::uint32_t start = addressAt(1);
  const bool page_wrap = part_.program != 0xAF;  // auto-increment parts run on
  for (std::size_t i = 4; i < command_.size(); ++i) {
    const std::uint32_t step = static_cast<std::uint32_t>(i - 4);
    const std::uint32_t address =
        page_wrap ? (start & ~(kPageSize - 1)) | ((start + step) & (kPageSize - 1)) : start + step;
    content_[address % content_.size()] &= command_[i];  // NOR: programming only clears bits
  }
}

void SpiNorFlash::setContent(std::span<const std::uint8_t> bytes) {
  std::copy_n(bytes.begin(), std::min(bytes.size(), content_.size()), content_.begin());
}

std::uint8_t SpiNorFlash::status() const {
  return static_cast<std::uint8_t>(status_ | (busy() ? kStatusBusy : 0));
}

void SpiNorFlash::setStatus(std::uint8_t status) {
  status_ = static_cast<std::uint8_t>(status & ~kStatusBusy);
  busy_reads_left_ = (status & kStatusBusy) ? std::max<std::uint32_t>(busy_polls_, 1) : 0;
}

}  // namespace emberline::sim
