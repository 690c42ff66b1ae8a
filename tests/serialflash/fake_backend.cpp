#include "serialflash/fake_backend.h"

#include <algorithm>
#include <cstdio>

namespace emberline::serialflash::testing {

namespace {

std::string hex(const char* format, unsigned a, unsigned b = 0) {
  char text[32];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

bool FakeBackend::BeWriteRegister(int index, std::uint16_t reg, unsigned value) {
  calls.push_back({Call::Kind::Write, index, reg, value & 0xFF});
  return !failing_writes.contains(reg);
}

bool FakeBackend::BeReadRegister(int index, std::uint16_t reg, std::uint8_t& value) {
  calls.push_back({Call::Kind::Read, index, reg});
  std::optional<std::uint8_t> answer = 0;
  if (auto q = queued.find(reg); q != queued.end() && !q->second.empty()) {
    answer = q->second.front();
    q->second.pop_front();
  } else if (auto s = steady.find(reg); s != steady.end()) {
    answer = s->second;
  }
  if (!answer) return false;
  value = *answer;
  return true;
}

bool FakeBackend::BeReadInfoByte(int index, std::uint8_t& value) {
  calls.push_back({Call::Kind::Info, index});
  if (!info) return false;
  value = *info;
  return true;
}

bool FakeBackend::BeTransferBlock(int index, std::uint8_t space, std::uint32_t address,
                                  std::span<std::uint8_t> buffer, std::uint32_t chunk) {
  calls.push_back({Call::Kind::Transfer, index, address, space, buffer.size(), chunk});
  if (!transfer_ok(space, address)) return false;
  for (std::size_t i = 0; i < buffer.size(); ++i) {
    buffer[i] = static_cast<std::uint8_t>(address + i);  // recognisable content
  }
  return true;
}

bool FakeBackend::BeClose(int index) {
  calls.push_back({Call::Kind::Close, index});
  return close_result;
}

std::vector<std::string> FakeBackend::trace() const {
  std::vector<std::string> out;
  for (const Call& c : calls) {
    switch (c.kind) {
      case Call::Kind::Write:
        if (c.where == 0x1080) out.push_back(c.value ? "take" : "give");
        else if (c.where == 0x1091) out.push_back(c.value ? "rel" : "sel");
        else if (c.where == 0x1082) out.push_back(hex("tx %02X", c.value));
        else if (c.where != 0x1081 && c.where != 0x1083) out.push_back(hex("w %X=%02X", c.where, c.value));
        break;
      case Call::Kind::Read:
        if (c.where == 0x1083) out.push_back("rx");
        else if (c.where != 0x1084) out.push_back(hex("r %X", c.where));
        break;
      case Call::Kind::Transfer:
        out.push_back(hex("xfer %u@%X", c.value, c.where) + "+" + std::to_string(c.length) + "/" +
                      std::to_string(c.chunk));
        break;
      case Call::Kind::Info: out.push_back("info"); break;
      case Call::Kind::Close: out.push_back("close"); break;
      case Call::Kind::ClearBanks: out.push_back("clear"); break;
      case Call::Kind::Open: out.push_back("open"); break;
      case Call::Kind::Unexpected: out.push_back("unexpected"); break;
    }
  }
  return out;
}

std::vector<std::string> FakeBackend::rawTrace() const {
  std::vector<std::string> out;
  for (const Call& c : calls) {
    if (c.kind == Call::Kind::Write) out.push_back(hex("w%X=%02X", c.where, c.value));
    else if (c.kind == Call::Kind::Read) out.push_back(hex("r%X", c.where));
    else out.push_back("other");
  }
  return out;
}

std::size_t FakeBackend::countReads(std::uint16_t reg) const {
  return static_cast<std::size_t>(std::count_if(calls.begin(), calls.end(), [reg](const Call& c) {
    return c.kind == Call::Kind::Read && c.where == reg;
  }));
}

}  // namespace emberline::serialflash::testing
