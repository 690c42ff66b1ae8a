#pragma once

// A scripted capture device and device list for tests: every request is
// recorded, GETs are answered from a queue or a function, and any request can
// be made to fail. Header-only so that any test target can use it. Not
// thread-safe: drive it from one thread (the simulated camera is for threads).

#include <cerrno>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/device/transport.h"

namespace emberline::test {

using Bytes = std::vector<std::uint8_t>;

// One request as the scripted device saw it.
struct RecordedRequest {
  bool driver_property = false;  // driverProperty() rather than control()
  device::Guid property_set;
  std::uint32_t selector = 0;
  std::uint32_t flags = 0;
  std::uint32_t node_id = 0;
  device::XuOp op = device::XuOp::Set;
  Bytes payload;  // as sent
  Bytes answer;   // a Get's payload as returned (empty for a Set)
  int result = 0;
};

class ScriptedDevice : public device::CaptureDevice {
 public:
  using Responder = std::function<int(const device::ControlRequest&)>;
  using DriverResponder =
      std::function<int(const device::Guid&, device::XuOp, std::span<std::uint8_t, 40>)>;
  using FailWhen = std::function<bool(const RecordedRequest&)>;

  // What the extension-unit lookup answers (nullopt: nothing found).
  void setNode(std::optional<std::uint32_t> node) { node_ = node; }
  // Answers control requests instead of the default (Sets succeed, Gets take
  // the next queued answer, zeros when none is queued).
  void setResponder(Responder responder) { responder_ = std::move(responder); }
  // Answers driverProperty(); without one the device refuses with -ENOTSUP.
  void setDriverResponder(DriverResponder driver) { driver_ = std::move(driver); }
  void queueAnswer(Bytes answer) { answers_.push_back(std::move(answer)); }

  // Failures on demand, checked before any responder. Requests are numbered
  // from 1 over control and driver requests alike (see requestCount()).
  void failWhen(FailWhen predicate, int error = -EIO) {
    fail_rules_.emplace_back(std::move(predicate), error);
  }
  void failRequest(std::size_t number, int error = -EIO) {
    failWhen([this, number](const RecordedRequest&) { return count_ == number; }, error);
  }
  // Every control request fails (driver requests follow the driver responder).
  void failAll(int error = -EIO) {
    failWhen([](const RecordedRequest& r) { return !r.driver_property; }, error);
  }

  const std::vector<RecordedRequest>& requests() const { return log_; }
  std::vector<RecordedRequest> controls() const {
    std::vector<RecordedRequest> out;
    for (const auto& r : log_)
      if (!r.driver_property) out.push_back(r);
    return out;
  }
  std::size_t lookups() const { return lookups_; }
  std::size_t requestCount() const { return count_; }  // kept across clearLog()
  void clearLog() { log_.clear(); }

  std::optional<std::uint32_t> findExtensionUnitNode(const device::Guid&) override {
    ++lookups_;
    return node_;
  }
  void setLookupProblem(std::string problem) { lookup_problem_ = std::move(problem); }
  std::string unitLookupProblem() const override { return node_ ? std::string() : lookup_problem_; }

  int control(const device::ControlRequest& request) override {
    RecordedRequest rec{false, request.property_set, request.selector, request.flags,
                        request.node_id, request.op(),
                        Bytes(request.payload.begin(), request.payload.end()), {}, 0};
    int result = failure(rec);
    if (result == 0 && responder_) {
      result = responder_(request);
    } else if (result == 0 && rec.op == device::XuOp::Get && !answers_.empty()) {
      const Bytes answer = std::move(answers_.front());
      answers_.pop_front();
      for (std::size_t i = 0; i < answer.size() && i < request.payload.size(); ++i)
        request.payload[i] = answer[i];
    }
    if (rec.op == device::XuOp::Get) rec.answer.assign(request.payload.begin(), request.payload.end());
    return record(std::move(rec), result);
  }

  int driverProperty(const device::Guid& set, device::XuOp op,
                     std::span<std::uint8_t, 40> record_bytes) override {
    RecordedRequest rec{true, set, 0, 0, 0, op, Bytes(record_bytes.begin(), record_bytes.end()),
                        {}, 0};
    int result = failure(rec);
    if (result == 0) result = driver_ ? driver_(set, op, record_bytes) : -ENOTSUP;
    if (op == device::XuOp::Get) rec.answer.assign(record_bytes.begin(), record_bytes.end());
    return record(std::move(rec), result);
  }

 private:
  int failure(const RecordedRequest& rec) {
    ++count_;
    for (const auto& [predicate, error] : fail_rules_)
      if (predicate(rec)) return error;
    return 0;
  }

  int record(RecordedRequest rec, int result) {
    rec.result = result;
    log_.push_back(std::move(rec));
    return result;
  }

  std::optional<std::uint32_t> node_;
  std::string lookup_problem_;
  Responder responder_;
  DriverResponder driver_;
  std::deque<Bytes> answers_;
  std::vector<std::pair<FailWhen, int>> fail_rules_;
  std::vector<RecordedRequest> log_;
  std::size_t count_ = 0;
  std::size_t lookups_ = 0;
};

// One line per request, for comparing whole exchanges at a glance:
//   "S3/12 00 3E 88"  SET of selector 3, 12 bytes, shown up to the last non-zero
//   "G3/12"           GET of selector 3, 12 bytes
//   "A.Set" "B.Get"   driver-property request on set A or B
// A failed request ends with " !".
inline std::vector<std::string> describe(const std::vector<RecordedRequest>& log) {
  static const char* digits = "0123456789ABCDEF";
  std::vector<std::string> lines;
  for (const auto& r : log) {
    const bool set = r.op == device::XuOp::Set;
    std::string line;
    if (r.driver_property) {
      line = (r.property_set == device::kDriverPropertySetA ? "A." : "B.");
      line += set ? "Set" : "Get";
    } else {
      line = (set ? "S" : "G") + std::to_string(r.selector) + "/" + std::to_string(r.payload.size());
      std::size_t shown = set ? r.payload.size() : 0;
      while (shown > 0 && r.payload[shown - 1] == 0) --shown;
      for (std::size_t i = 0; i < shown; ++i)
        line += {' ', digits[r.payload[i] >> 4], digits[r.payload[i] & 15]};
    }
    if (r.result != 0) line += " !";
    lines.push_back(line);
  }
  return lines;
}

// A camera of the family as far as discovery needs: register reads through
// selector 1 answer `chip_id` in byte 2.
inline void answerChipId(ScriptedDevice& device, std::uint8_t chip_id) {
  device.setResponder([chip_id](const device::ControlRequest& request) {
    if (request.op() == device::XuOp::Get && request.selector == 1 && request.payload.size() > 2)
      request.payload[2] = chip_id;
    return 0;
  });
}

// Devices in the order added; ids "scripted:N", paths "/dev/scriptedN".
class ScriptedDeviceList : public device::DeviceList {
 public:
  std::shared_ptr<ScriptedDevice> add(std::string name = "Scripted Camera") {
    auto device = std::make_shared<ScriptedDevice>();
    addEntry(nextEntry(std::move(name)), device);
    return device;
  }
  void addEntry(device::DeviceEntry entry, std::shared_ptr<ScriptedDevice> device,
                int open_error = 0) {
    slots_.push_back({std::move(entry), std::move(device), open_error, 0});
  }
  // Listed, but open() fails with `error`.
  void addUnopenable(std::string name, int error = -EACCES) {
    addEntry(nextEntry(std::move(name)), nullptr, error);
  }
  void setEnumerateError(int error) { enumerate_error_ = error; }
  int opens(const std::string& id) const {
    for (const auto& slot : slots_)
      if (slot.entry.id == id) return slot.opens;
    return 0;
  }

  int enumerate(std::vector<device::DeviceEntry>& out) override {
    out.clear();
    if (enumerate_error_ != 0) return enumerate_error_;
    for (const auto& slot : slots_) out.push_back(slot.entry);
    return 0;
  }

  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry& entry,
                                              int* error = nullptr) override {
    for (auto& slot : slots_) {
      if (slot.entry.id != entry.id) continue;
      ++slot.opens;
      if (slot.device && slot.open_error == 0) return slot.device;
      if (error) *error = slot.open_error != 0 ? slot.open_error : -ENODEV;
      return nullptr;
    }
    if (error) *error = -ENODEV;
    return nullptr;
  }

 private:
  struct Slot {
    device::DeviceEntry entry;
    std::shared_ptr<ScriptedDevice> device;
    int open_error = 0;
    int opens = 0;
  };
  device::DeviceEntry nextEntry(std::string name) const {
    const std::string n = std::to_string(slots_.size());
    return {"scripted:" + n, std::move(name), "/dev/scripted" + n};
  }

  std::vector<Slot> slots_;
  int enumerate_error_ = 0;
};

}  // namespace emberline::test
