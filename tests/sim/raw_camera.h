#pragma once

// Drives a simulated camera the way the product does, with raw extension-unit
// payloads only, so these tests do not lean on the product's protocol code.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/device/transport.h"
#include "sim/sim_camera.h"

namespace emberline::sim::testing {

class RawCamera {
 public:
  explicit RawCamera(SimCamera& camera)
      : device_(camera.open()), node_(camera.settings().node_id) {}
  explicit RawCamera(std::shared_ptr<device::CaptureDevice> device, std::uint32_t node)
      : device_(std::move(device)), node_(node) {}

  int set(std::uint32_t selector, std::vector<std::uint8_t> payload) {
    return send(selector, device::kFlagsSet, payload);
  }
  // A GET of `size` zero bytes; the answer lands in `payload`.
  int get(std::uint32_t selector, std::size_t size, std::vector<std::uint8_t>& payload) {
    payload.assign(size, 0);
    return send(selector, device::kFlagsGet, payload);
  }
  std::vector<std::uint8_t> get(std::uint32_t selector, std::size_t size) {
    std::vector<std::uint8_t> payload;
    last_result = get(selector, size, payload);
    return payload;
  }

  int writeReg(std::uint16_t address, std::uint8_t value) {
    return set(1, {lo(address), hi(address), value, 0x00});
  }
  std::uint8_t readReg(std::uint16_t address) {
    set(1, {lo(address), hi(address), 0x00, 0xFF});
    return get(1, 4)[2];
  }

  // The SPI port's byte steps.
  void send(std::uint8_t byte) {
    writeReg(0x1082, byte);
    writeReg(0x1081, 1);
  }
  std::uint8_t receive() {
    writeReg(0x1083, 0);
    writeReg(0x1081, 2);
    return readReg(0x1083);
  }
  void takePort() { writeReg(0x1080, 1); }
  void givePort() { writeReg(0x1080, 0); }
  // One SPI command with the port taken around it: chip select, bytes out,
  // bytes in, release.
  std::vector<std::uint8_t> spi(std::vector<std::uint8_t> out, std::size_t in) {
    takePort();
    writeReg(0x1091, 0);
    for (const auto byte : out) send(byte);
    std::vector<std::uint8_t> received;
    for (std::size_t i = 0; i < in; ++i) received.push_back(receive());
    writeReg(0x1091, 1);
    givePort();
    return received;
  }
  std::uint8_t status() { return spi({0x05}, 1)[0]; }
  void waitReady() {
    for (int i = 0; i < 100 && (status() & 1); ++i) {
    }
  }
  // Write enable, write status 0, and the wait the status write needs.
  void unprotect(bool enable_write_status = false) {
    spi({0x06}, 0);
    if (enable_write_status) spi({0x50}, 0);
    spi({0x01, 0x00}, 0);
    waitReady();
  }

  // The dialog's 8-byte block requests at a 17-bit flash offset.
  int writeBlock(std::uint32_t offset, std::array<std::uint8_t, 8> data) {
    std::vector<std::uint8_t> payload{lo(offset), hi(offset), bankCommand(offset, 0x08)};
    payload.insert(payload.end(), data.begin(), data.end());
    return set(3, payload);
  }
  std::array<std::uint8_t, 8> readBlock(std::uint32_t offset) {
    std::vector<std::uint8_t> payload(11, 0);
    payload[0] = lo(offset);
    payload[1] = hi(offset);
    payload[2] = bankCommand(offset, 0x88);
    set(3, payload);
    const auto answer = get(3, 11);
    std::array<std::uint8_t, 8> data{};
    std::copy(answer.begin() + 3, answer.begin() + 11, data.begin());
    return data;
  }

  int last_result = 0;

 private:
  static std::uint8_t lo(std::uint32_t v) { return static_cast<std::uint8_t>(v); }
  static std::uint8_t hi(std::uint32_t v) { return static_cast<std::uint8_t>(v >> 8); }
  static std::uint8_t bankCommand(std::uint32_t offset, std::uint8_t command) {
    return static_cast<std::uint8_t>(command | ((offset & 0x10000) ? 0x10 : 0));
  }
  int send(std::uint32_t selector, std::uint32_t flags, std::vector<std::uint8_t>& payload) {
    device::ControlRequest request;
    request.selector = selector;
    request.flags = flags;
    request.node_id = node_;
    request.payload = payload;
    return device_->control(request);
  }

  std::shared_ptr<device::CaptureDevice> device_;
  std::uint32_t node_;
};

}  // namespace emberline::sim::testing
