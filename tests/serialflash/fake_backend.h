#pragma once

// A scripted SfBackend for the library's tests: it records every entry call,
// answers register reads from per-register scripts and fails on demand. It
// knows nothing about flash parts; each test scripts the bytes it needs.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/device/backend.h"
#include "core/device/discovery.h"

namespace emberline::serialflash::testing {

struct Call {
  enum class Kind { Write, Read, Transfer, Info, Close, ClearBanks, Open, Unexpected };
  Kind kind;
  int index = 0;
  std::uint32_t where = 0;  // register, or transfer address
  unsigned value = 0;       // value written, or transfer space
  std::size_t length = 0;   // transfer length
  std::uint32_t chunk = 0;  // transfer chunk
};

class FakeBackend final : public device::SfBackend {
 public:
  FakeBackend() { steady[0x1084] = 1; }  // SPI transfers finish at once unless scripted

  // Answers for reads of `reg`, one per read, before falling back to `steady`.
  void queue(std::uint16_t reg, std::vector<std::optional<std::uint8_t>> values) {
    queued[reg].insert(queued[reg].end(), values.begin(), values.end());
  }

  std::map<std::uint16_t, std::deque<std::optional<std::uint8_t>>> queued;
  std::map<std::uint16_t, std::optional<std::uint8_t>> steady;  // nullopt = fail; unset = 0
  std::set<std::uint16_t> failing_writes;
  std::function<bool(std::uint8_t space, std::uint32_t address)> transfer_ok =
      [](std::uint8_t, std::uint32_t) { return true; };
  std::optional<std::uint8_t> info = 0;  // the mode byte; nullopt = the read fails
  int open_code = device::kOpenOk;
  bool close_result = true;

  std::vector<Call> calls;

  // Calls folded into short tokens: SPI port steps become "take", "give",
  // "sel", "rel", "tx 06" and "rx"; everything else "w 5F3=06", "r 1006",
  // "info", "xfer 9@9FF8+8/8", "close", "clear", "open".
  std::vector<std::string> trace() const;
  // One token per call, nothing folded: "w1082=9F", "r1084", ...
  std::vector<std::string> rawTrace() const;
  std::size_t countReads(std::uint16_t reg) const;

  bool BeWriteRegister(int index, std::uint16_t reg, unsigned value) override;
  bool BeReadRegister(int index, std::uint16_t reg, std::uint8_t& value) override;
  bool BeReadInfoByte(int index, std::uint8_t& value) override;
  bool BeTransferBlock(int index, std::uint8_t space, std::uint32_t address,
                       std::span<std::uint8_t> buffer, std::uint32_t chunk) override;
  bool BeClose(int index) override;
  void ClearBankFlags() override { calls.push_back({Call::Kind::ClearBanks}); }
  int OpenDevice() override {
    calls.push_back({Call::Kind::Open});
    return open_code;
  }

  // Entries the library must never call.
  bool BeFlashCommandC8(int) override { return unexpected(); }
  bool BeReadInfoWord(int, std::uint16_t&) override { return unexpected(); }
  bool BeFlashCommand40(int, std::uint8_t, std::uint16_t) override { return unexpected(); }
  bool BeWriteMulti(std::uint8_t, std::uint8_t, std::span<const std::uint8_t>) override {
    return unexpected();
  }
  bool BeReadMulti(std::uint8_t, std::uint8_t, std::span<std::uint8_t>) override {
    return unexpected();
  }
  std::string BeGetDevicePath() override {
    unexpected();
    return {};
  }

 private:
  bool unexpected() {
    calls.push_back({Call::Kind::Unexpected});
    return false;
  }
};

}  // namespace emberline::serialflash::testing
