#pragma once

// A scripted SfBackend for the library's tests: records every entry call,
// answers register reads from per-register scripts and fails on demand. It
// knows nothing about flash parts; each test scripts the bytes it needs.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/device/backend.h"
#include "core/device/discovery.h"

namespace emberline::serialflash::testing {

using Bytes = std::vector<std::optional<std::uint8_t>>;  // nullopt = the read fails

class FakeBackend final : public device::SfBackend {
 public:
  struct Call {
    char kind;            // 'w' write, 'r' read, 'x' transfer, or the token itself
    std::uint32_t where;  // register or transfer address
    unsigned value;       // value written, or transfer space
    std::size_t length;   // transfer length
    std::uint32_t chunk;  // transfer chunk
    std::string token;    // for every other call
  };

  // Answers for the next reads of `reg`, before it falls back to `steady`.
  void queue(std::uint16_t reg, const Bytes& values) {
    queued[reg].insert(queued[reg].end(), values.begin(), values.end());
  }

  std::map<std::uint16_t, std::deque<std::optional<std::uint8_t>>> queued;
  std::map<std::uint16_t, std::optional<std::uint8_t>> steady{{0x1084, 1}};  // unset reads 0
  std::set<std::uint16_t> failing_writes;
  std::function<bool(std::uint8_t space, std::uint32_t address)> transfer_ok =
      [](std::uint8_t, std::uint32_t) { return true; };
  std::optional<std::uint8_t> info = 0;  // the mode byte
  int open_code = device::kOpenOk;
  bool gone = false;  // the device was unplugged
  std::vector<Call> calls;

  // Calls as tokens. Folded, the SPI port steps read "take", "give", "sel",
  // "rel", "tx 06" and "rx", and the steps that start a transfer or poll its
  // done flag drop out. Raw, every call is "w 1082=9F", "r 1084", ...
  std::vector<std::string> trace(bool fold = true) const {
    std::vector<std::string> out;
    for (const Call& c : calls) {
      std::string t = token(c, fold);
      if (!t.empty()) out.push_back(std::move(t));
    }
    return out;
  }
  std::size_t count(const std::string& token, bool fold = true) const {
    const auto t = trace(fold);
    return static_cast<std::size_t>(std::count(t.begin(), t.end(), token));
  }

  bool BeWriteRegister(int, std::uint16_t reg, unsigned value) override {
    calls.push_back({'w', reg, value & 0xFF, 0, 0, {}});
    return !failing_writes.contains(reg);
  }
  bool BeReadRegister(int, std::uint16_t reg, std::uint8_t& value) override {
    calls.push_back({'r', reg, 0, 0, 0, {}});
    std::optional<std::uint8_t> answer = 0;
    if (auto q = queued.find(reg); q != queued.end() && !q->second.empty()) {
      answer = q->second.front();
      q->second.pop_front();
    } else if (auto s = steady.find(reg); s != steady.end()) {
      answer = s->second;
    }
    if (answer) value = *answer;
    return answer.has_value();
  }
  bool BeReadInfoByte(int, std::uint8_t& value) override {
    record("info");
    if (info) value = *info;
    return info.has_value();
  }
  bool BeTransferBlock(int, std::uint8_t space, std::uint32_t address,
                       std::span<std::uint8_t> buffer, std::uint32_t chunk) override {
    calls.push_back({'x', address, space, buffer.size(), chunk, {}});
    if (!transfer_ok(space, address)) return false;
    for (std::size_t i = 0; i < buffer.size(); ++i)
      buffer[i] = static_cast<std::uint8_t>(address + i);
    return true;
  }
  bool BeClose(int) override { return record("close"); }
  void ClearBankFlags() override { record("clear"); }
  int OpenDevice() override {
    record("open");
    return open_code;
  }
  bool DeviceGone() const override { return gone; }

  // Entries the library never calls.
  bool BeFlashCommandC8(int) override { return !record("unexpected"); }
  bool BeReadInfoWord(int, std::uint16_t&) override { return !record("unexpected"); }
  bool BeFlashCommand40(int, std::uint8_t, std::uint16_t) override { return !record("unexpected"); }
  bool BeWriteMulti(std::uint8_t, std::uint8_t, std::span<const std::uint8_t>) override {
    return !record("unexpected");
  }
  bool BeReadMulti(std::uint8_t, std::uint8_t, std::span<std::uint8_t>) override {
    return !record("unexpected");
  }
  std::string BeGetDevicePath() override {
    record("unexpected");
    return {};
  }

 private:
  static std::string token(const Call& c, bool fold) {
    char t[48];
    const bool w = c.kind == 'w', r = c.kind == 'r';
    if (c.kind == 'x') {
      std::snprintf(t, sizeof t, "xfer %u@%X+%zu/%u", c.value, c.where, c.length, c.chunk);
      return t;
    }
    if (!w && !r) return c.token;
    if (fold && w && c.where == 0x1080) return c.value ? "take" : "give";
    if (fold && w && c.where == 0x1091) return c.value ? "rel" : "sel";
    if (fold && w && c.where == 0x1082) {
      std::snprintf(t, sizeof t, "tx %02X", c.value);
      return t;
    }
    if (fold && r && c.where == 0x1083) return "rx";
    if (fold && (w ? c.where == 0x1081 || c.where == 0x1083 : c.where == 0x1084)) return {};
    std::snprintf(t, sizeof t, w ? "w %X=%02X" : "r %X", c.where, c.value);
    return t;
  }

  bool record(const char* what) {
    calls.push_back({'-', 0, 0, 0, 0, what});
    return true;
  }
};

}  // namespace emberline::serialflash::testing
