#include "sim/camera_from_trace.h"

#include <algorithm>
#include <map>

#include "core/device/protocol.h"
#include "sim/dsp.h"

namespace emberline::sim {

namespace {

constexpr std::uint32_t kFlashSize = 0x20000;
constexpr std::uint8_t kReadMarker = 0xFF;
constexpr std::uint8_t kWriteMarker = 0x00;
constexpr std::uint8_t kCommandRead = 0x80;
constexpr std::uint8_t kCommandOther = 0x40;
constexpr std::uint8_t kCommandUpperBank = 0x10;
constexpr std::size_t kBlockData = 3;
constexpr std::size_t kDriverValueOffset = 28;
constexpr int kProbedKind = 23;
constexpr std::uint8_t kTransientStatusBits = 0x03;  // busy and write-enable latch

// The SPI port's own registers: they hold a transfer in passing, not state a
// camera keeps.
bool isPortRegister(std::uint16_t address) {
  return address == reg::kSpiOwner || address == reg::kChipSelect || isSpiShiftRegister(address);
}

// Follows the requests as the camera's DSP takes them.
class Decoder {
 public:
  explicit Decoder(const Trace& trace) : trace_(trace) {}

  bool take(const TracedRequest& r, std::string& error) {
    if (r.op == TracedOp::Length) return true;
    if (r.op == TracedOp::Support) {
      if (r.result == 0) support_node_ = r.node;
      else support_failed_ = true;
      return true;
    }
    if (r.driver) return driver(r, error);
    if (!sizeFits(r, error)) return false;
    if (r.result != 0) {
      failed(r);
      return true;
    }
    used_node_ = r.node;
    switch (r.selector) {
      case device::XU_SEL_REGISTER: return registerRequest(r, error);
      case device::XU_SEL_FLASH: return blockRequest(r, error);
      case device::XU_SEL_SPACE9: return space9Request(r, error);
      case device::XU_SEL_INFO:
        if (r.op == TracedOp::Get) {
          info_chip_ = r.payload[0];
          mode_byte_ = r.payload[2];
        }
        return true;
      default: return true;  // selector 2 keeps nothing the camera acts on
    }
  }

  void build(TracedCamera& out) const {
    SimSettings settings;
    settings.name = "Traced camera";
    out.chip_id = register_chip_ ? register_chip_ : driver_chip_ ? driver_chip_ : info_chip_;
    if (out.chip_id) settings.chip_id = *out.chip_id;
    settings.device_kind = space9_answered_ ? kProbedKind : space9_refused_ ? 0 : kProbedKind;
    if (mode_byte_) settings.mode_byte = *mode_byte_;
    if (const auto mode = registers_.find(reg::kTransferMode); mode != registers_.end())
      settings.reg_3c5 = mode->second;
    if (flash_id_) {
      settings.flash_id = *flash_id_;
      settings.flash_id_continuation = continuation_;
      out.flash_id = flash_id_;
    }
    if (status_) {
      out.flash_status = static_cast<std::uint8_t>(*status_ & ~kTransientStatusBits);
      settings.flash_status = out.flash_status;
    }
    settings.node_id = used_node_.value_or(support_node_.value_or(settings.node_id));
    settings.node_findable = support_node_.has_value() || !support_failed_;
    settings.flash_size = kFlashSize;

    out.camera = std::make_shared<SimCamera>(settings);
    out.camera->setFlash(flash_);
    if (out.flash_status) out.camera->setFlashStatus(*out.flash_status);
    for (const auto& [address, value] : registers_) out.camera->setReg(address, value);
    for (const auto& [address, value] : memory9_) out.camera->setMemory(9, address, std::span(&value, 1));
    FaultPlan plan;
    plan.driver_set_a = driver_a_;
    plan.driver_set_b = driver_b_;
    out.camera->setFaults(plan);
    out.flash_bytes = static_cast<std::size_t>(std::count(known_.begin(), known_.end(), true));
    out.registers = registers_.size();
    out.memory9_bytes = memory9_.size();
  }

 private:
  struct Area {
    bool active = false;
    std::uint32_t bank = 0;
    std::uint16_t address = 0;
    std::uint8_t count = 0;
  };

  std::string at(const TracedRequest& r) const { return where(trace_, r.line) + ": "; }

  bool sizeFits(const TracedRequest& r, std::string& error) const {
    std::size_t a = 0, b = 0;
    switch (r.selector) {
      case device::XU_SEL_REGISTER: a = b = device::kRegisterPayloadSize; break;
      case device::XU_SEL_MULTI: a = b = device::kMultiPayloadSize; break;
      case device::XU_SEL_FLASH: a = device::kDialogFlashPayloadSize, b = device::kLibraryPayloadSize; break;
      case device::XU_SEL_SPACE9:
      case device::XU_SEL_INFO: a = b = device::kLibraryPayloadSize; break;
      default: return true;
    }
    if (r.payload.size() == a || r.payload.size() == b) return true;
    error = at(r) + "selector " + std::to_string(r.selector) + " carries " + std::to_string(a) +
            (a == b ? "" : " or " + std::to_string(b)) + " bytes, this request " + std::to_string(r.payload.size());
    return false;
  }

  // A failed set-up leaves nothing for the answers that follow.
  void failed(const TracedRequest& r) {
    if (r.op != TracedOp::Set) {
      if (r.selector == device::XU_SEL_SPACE9) space9_refused_ = true;
      return;
    }
    if (r.selector == device::XU_SEL_REGISTER) read_register_.reset();
    if (r.selector == device::XU_SEL_FLASH) area_.active = false;
    if (r.selector == device::XU_SEL_SPACE9) {
      space9_.active = false;
      space9_refused_ = true;
    }
  }

  bool driver(const TracedRequest& r, std::string& error) {
    if (r.payload.size() != device::kDriverRecordSize) {
      error = at(r) + "a driver request carries a record of " + std::to_string(device::kDriverRecordSize) +
              " bytes, this one " + std::to_string(r.payload.size());
      return false;
    }
    if (r.result != 0 || r.op != TracedOp::Get) return true;
    driver_chip_ = r.payload[kDriverValueOffset];
    if (r.property_set == device::kDriverPropertySetA) driver_a_ = true;
    if (r.property_set == device::kDriverPropertySetB) driver_b_ = true;
    return true;
  }

  bool registerRequest(const TracedRequest& r, std::string& error) {
    const auto address = static_cast<std::uint16_t>(r.payload[0] | r.payload[1] << 8);
    if (r.op == TracedOp::Set) {
      if (r.payload[3] == kReadMarker) read_register_ = address;
      else if (r.payload[3] == kWriteMarker) registerWritten(address, r.payload[2]);
      return true;
    }
    if (!read_register_) {
      error = at(r) + "a register's value came with no request for a register before it: the trace is "
                      "cut short at its start or reordered";
      return false;
    }
    registerRead(*read_register_, r.payload[2]);
    return true;
  }

  void registerRead(std::uint16_t address, std::uint8_t value) {
    if (address == reg::kSpiIn && receive_pending_) {
      received_.push_back(value);
      receive_pending_ = false;
    }
    if (address == reg::kChipId) register_chip_ = value;
    if (!isPortRegister(address)) registers_[address] = value;
  }

  // The SPI port as the DSP runs it: bytes move only while the host owns the
  // port, a command is carried out when chip select rises.
  void registerWritten(std::uint16_t address, std::uint8_t value) {
    switch (address) {
      case reg::kSpiOwner: port_owned_ = value == 1; break;
      case reg::kChipSelect:
        chip_select_ = value;
        if (!port_owned_) break;
        if (value == 0 && !selected_) {
          selected_ = true;
          sent_.clear();
          received_.clear();
        } else if (value != 0 && selected_) {
          selected_ = false;
          command();
        }
        break;
      case reg::kSpiOut: tx_ = value; break;
      case reg::kSpiStart:
        if (port_owned_ && selected_ && value == 1) sent_.push_back(tx_);
        receive_pending_ = port_owned_ && selected_ && value == 2;
        break;
      default:
        if (!isPortRegister(address)) registers_[address] = value;
        break;
    }
  }

  std::uint32_t commandAddress() const {
    return (static_cast<std::uint32_t>(sent_[1]) << 16 | sent_[2] << 8 | sent_[3]) % kFlashSize;
  }

  void erase(std::uint32_t from, std::uint32_t size) {
    from -= from % size;
    for (std::uint32_t i = from; i < from + size && i < kFlashSize; ++i) {
      flash_[i] = 0xFF;
      known_[i] = true;
    }
  }

  // One SPI command, as the flash takes it when chip select rises.
  void command() {
    if (sent_.empty()) return;
    switch (sent_[0]) {
      case 0x9F:
        if (!flash_id_) {
          const bool skip = !received_.empty() && received_[0] == 0x7F;
          if (received_.size() >= (skip ? 4u : 3u)) {
            flash_id_ = {received_[skip], received_[skip + 1], received_[skip + 2]};
            continuation_ = skip;
          }
        }
        break;
      case 0x05:
        if (!received_.empty()) status_ = received_.back();
        break;
      case 0x01:
        if (sent_.size() >= 2) status_ = sent_[1];
        break;
      case 0xC7:
      case 0x60: erase(0, kFlashSize); break;
      case 0x20:
        if (sent_.size() >= 4) erase(commandAddress(), 0x1000);
        break;
      case 0x52:
        if (sent_.size() >= 4) erase(commandAddress(), 0x8000);
        break;
      case 0xD8:
        if (sent_.size() >= 4) erase(commandAddress(), 0x10000);
        break;
      case 0x02:
        if (sent_.size() >= 5) {
          const std::uint32_t page = commandAddress() & ~0xFFu;
          const std::uint32_t start = commandAddress() & 0xFFu;
          for (std::size_t i = 4; i < sent_.size(); ++i)
            program((page | ((start + i - 4) & 0xFFu)) % kFlashSize, sent_[i]);
        }
        break;
      case 0x03:
        if (sent_.size() >= 4)
          for (std::size_t i = 0; i < received_.size(); ++i) read((commandAddress() + i) % kFlashSize, received_[i]);
        break;
      default: break;
    }
  }

  // A program clears bits; on a byte never seen it is taken as written on an
  // erased flash.
  void program(std::uint32_t offset, std::uint8_t value) {
    flash_[offset] = known_[offset] ? static_cast<std::uint8_t>(flash_[offset] & value) : value;
    known_[offset] = true;
  }
  void read(std::uint32_t offset, std::uint8_t value) {
    flash_[offset] = value;
    known_[offset] = true;
  }

  // While the host owns the SPI port or holds chip select, the block path
  // does not reach the flash: what it reads then is not the flash's.
  bool blockPathFree() const { return !port_owned_ && chip_select_ != 0; }

  bool blockRequest(const TracedRequest& r, std::string& error) {
    if (r.op == TracedOp::Set) {
      const auto address = static_cast<std::uint16_t>(r.payload[0] | r.payload[1] << 8);
      const std::uint8_t command = r.payload[2];
      area_.active = false;
      if (command & kCommandOther) return true;
      const std::uint32_t bank = (command & kCommandUpperBank) ? 0x10000u : 0u;
      const auto count = static_cast<std::uint8_t>(std::min(command & 0x0F, 8));
      if (command & kCommandRead) {
        area_ = {true, bank, address, count};
      } else if (blockPathFree()) {
        for (std::uint8_t i = 0; i < count; ++i) program(((bank | address) + i) % kFlashSize, r.payload[kBlockData + i]);
      }
      return true;
    }
    if (!area_.active) {
      error = at(r) + "flash bytes came with no request for them before it: the trace is cut short at "
                      "its start or reordered";
      return false;
    }
    if (blockPathFree()) {
      for (std::uint8_t i = 0; i < area_.count; ++i)
        read(((area_.bank | area_.address) + i) % kFlashSize, r.payload[kBlockData + i]);
    }
    area_.address = static_cast<std::uint16_t>(area_.address + area_.count);
    return true;
  }

  bool space9Request(const TracedRequest& r, std::string& error) {
    if (r.op == TracedOp::Set) {
      space9_ = {true, 0, static_cast<std::uint16_t>(r.payload[0] | r.payload[1] << 8),
                 std::min<std::uint8_t>(r.payload[2], 8)};
      return true;
    }
    if (!space9_.active) {
      error = at(r) + "memory bytes came with no request for them before it: the trace is cut short at "
                      "its start or reordered";
      return false;
    }
    space9_answered_ = true;
    for (std::uint8_t i = 0; i < space9_.count; ++i)
      memory9_[static_cast<std::uint16_t>(space9_.address + i)] = r.payload[kBlockData + i];
    space9_.address = static_cast<std::uint16_t>(space9_.address + space9_.count);
    return true;
  }

  const Trace& trace_;
  std::vector<std::uint8_t> flash_ = std::vector<std::uint8_t>(kFlashSize, 0xFF);
  std::vector<bool> known_ = std::vector<bool>(kFlashSize, false);
  std::map<std::uint16_t, std::uint8_t> registers_;
  std::map<std::uint16_t, std::uint8_t> memory9_;
  std::optional<std::uint16_t> read_register_;
  Area area_;
  Area space9_;
  bool space9_answered_ = false;
  bool space9_refused_ = false;
  // The SPI port.
  bool port_owned_ = false;
  std::uint8_t chip_select_ = 1;
  bool selected_ = false;
  bool receive_pending_ = false;
  std::uint8_t tx_ = 0;
  std::vector<std::uint8_t> sent_;
  std::vector<std::uint8_t> received_;
  // What the camera is.
  std::optional<std::uint8_t> register_chip_, driver_chip_, info_chip_, mode_byte_, status_;
  std::optional<std::array<std::uint8_t, 3>> flash_id_;
  bool continuation_ = false;
  std::optional<std::uint32_t> support_node_, used_node_;
  bool support_failed_ = false;
  bool driver_a_ = false;
  bool driver_b_ = false;
};

}  // namespace

bool cameraFromTrace(const Trace& trace, const std::vector<TracedRequest>& requests, TracedCamera& out,
                     std::string& error) {
  Decoder decoder(trace);
  for (const auto& request : requests)
    if (!decoder.take(request, error)) return false;
  decoder.build(out);
  return true;
}

}  // namespace emberline::sim
