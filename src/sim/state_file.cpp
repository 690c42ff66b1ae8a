#include "sim/state_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <optional>
#include <set>

#include <nlohmann/json.hpp>

#include "sim/camera_core.h"

namespace emberline::sim {

namespace {

using nlohmann::json;

constexpr std::array<std::uint8_t, 8> kMagic{'E', 'M', 'B', 'S', 'I', 'M', 'S', 'T'};

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}
constexpr auto kCrcTable = makeCrcTable();

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putSection(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
  putU32(out, static_cast<std::uint32_t>(bytes.size()));
  out.insert(out.end(), bytes.begin(), bytes.end());
}

json numbers(const auto& set) { return json::array_t(set.begin(), set.end()); }

json faultsToJson(const FaultPlan& f) {
  const auto optional = [](const auto& value) { return value ? json(*value) : json(nullptr); };
  return {{"unplug_after", optional(f.vanish_after)},
          {"refuse_request", optional(f.fail_request)},
          {"refuse_selectors", numbers(f.fail_selectors)},
          {"refuse_selector_sets", numbers(f.fail_selector_sets)},
          {"refuse_selector_gets", numbers(f.fail_selector_gets)},
          {"refuse_registers", numbers(f.fail_registers)},
          {"fail_read_at", optional(f.fail_read_at)},
          {"wrong_byte_at", optional(f.wrong_byte_at)},
          {"stuck_busy", f.flash_never_ready},
          {"transfer_never_done", f.transfer_never_done},
          {"slow_request", optional(f.slow_request)},
          {"slow_us", f.slow_by.count()},
          {"driver_set_a", f.driver_set_a},
          {"driver_set_b", f.driver_set_b},
          {"errno", -f.error}};
}

json settingsToJson(const SimSettings& s, const FaultPlan& faults) {
  return {{"chip_id", s.chip_id},
          {"device_kind", s.device_kind},
          {"mode_byte", s.mode_byte},
          {"reg_3c5", s.reg_3c5},
          {"flash_id", s.flash_id},
          {"flash_id_continuation", s.flash_id_continuation},
          {"flash_size", s.flash_size},
          {"busy_polls_after_erase", s.busy_polls_after_erase},
          {"busy_polls_after_program", s.busy_polls_after_program},
          {"busy_polls_after_status_write", s.busy_polls_after_status_write},
          {"flash_status", s.flash_status ? json(*s.flash_status) : json(nullptr)},
          {"wp_pin", s.wp_pin},
          {"node_id", s.node_id},
          {"node_findable", s.node_findable},
          {"name", s.name},
          {"latency_us", s.latency.count()},
          {"faults", faultsToJson(faults)}};
}

// Reads the settings back, checking every key's presence, type and range.
class SettingsReader {
 public:
  explicit SettingsReader(const json& object) : object_(object) {}
  const std::string& problem() const { return problem_; }

  template <typename T>
  void unsignedValue(const char* key, T& out,
                     std::uint64_t max = std::numeric_limits<T>::max()) {
    const json* value = find(key);
    if (!value) return;
    if (!value->is_number_unsigned() || value->get<std::uint64_t>() > max) {
      fail(key);
      return;
    }
    out = static_cast<T>(value->get<std::uint64_t>());
  }
  // A number, or null for none.
  template <typename T>
  void optionalValue(const char* key, std::optional<T>& out) {
    const json* value = find(key);
    if (!value) return;
    if (value->is_null()) {
      out.reset();
      return;
    }
    T number{};
    unsignedValue(key, number);
    out = number;
  }
  template <typename T>
  void setValue(const char* key, std::set<T>& out) {
    const json* value = find(key);
    if (!value) return;
    if (!value->is_array()) return fail(key);
    out.clear();
    for (const json& item : *value) {
      if (!item.is_number_unsigned() || item.get<std::uint64_t>() > std::numeric_limits<T>::max())
        return fail(key);
      out.insert(static_cast<T>(item.get<std::uint64_t>()));
    }
  }
  void intValue(const char* key, int& out) {
    const json* value = find(key);
    if (!value) return;
    if (!value->is_number_integer() || value->get<std::int64_t>() < std::numeric_limits<int>::min() ||
        value->get<std::int64_t>() > std::numeric_limits<int>::max()) {
      fail(key);
      return;
    }
    out = static_cast<int>(value->get<std::int64_t>());
  }
  void boolValue(const char* key, bool& out) {
    const json* value = find(key);
    if (!value) return;
    if (!value->is_boolean()) return fail(key);
    out = value->get<bool>();
  }
  void stringValue(const char* key, std::string& out) {
    const json* value = find(key);
    if (!value) return;
    if (!value->is_string()) return fail(key);
    out = value->get<std::string>();
  }
  void idValue(const char* key, std::array<std::uint8_t, 3>& out) {
    const json* value = find(key);
    if (!value) return;
    if (!value->is_array() || value->size() != out.size()) return fail(key);
    for (std::size_t i = 0; i < out.size(); ++i) {
      const json& byte = (*value)[i];
      if (!byte.is_number_unsigned() || byte.get<std::uint64_t>() > 0xFF) return fail(key);
      out[i] = static_cast<std::uint8_t>(byte.get<std::uint64_t>());
    }
  }

 private:
  const json* find(const char* key) {
    if (!problem_.empty()) return nullptr;
    const auto it = object_.find(key);
    if (it == object_.end()) {
      problem_ = std::string("settings lack \"") + key + "\"";
      return nullptr;
    }
    return &*it;
  }
  void fail(const char* key) {
    if (problem_.empty()) problem_ = std::string("settings: \"") + key + "\" has a wrong value";
  }

  const json& object_;
  std::string problem_;
};

// Values a command would hang on (latencies beyond the documented maximum,
// busy times beyond the host's wait) are refused rather than cut.
bool faultsFromJson(const json& object, FaultPlan& f, std::string& what) {
  if (!object.is_object()) {
    what = "settings: \"faults\" has a wrong value";
    return false;
  }
  SettingsReader r(object);
  std::uint64_t slow_us = 0;
  int error = 0;
  r.optionalValue("unplug_after", f.vanish_after);
  r.optionalValue("refuse_request", f.fail_request);
  r.setValue("refuse_selectors", f.fail_selectors);
  r.setValue("refuse_selector_sets", f.fail_selector_sets);
  r.setValue("refuse_selector_gets", f.fail_selector_gets);
  r.setValue("refuse_registers", f.fail_registers);
  r.optionalValue("fail_read_at", f.fail_read_at);
  r.optionalValue("wrong_byte_at", f.wrong_byte_at);
  r.boolValue("stuck_busy", f.flash_never_ready);
  r.boolValue("transfer_never_done", f.transfer_never_done);
  r.optionalValue("slow_request", f.slow_request);
  r.unsignedValue("slow_us", slow_us, static_cast<std::uint64_t>(kMaxLatency.count()));
  r.boolValue("driver_set_a", f.driver_set_a);
  r.boolValue("driver_set_b", f.driver_set_b);
  r.intValue("errno", error);
  if (r.problem().empty() && (error <= 0 || error > 4095)) what = "settings: \"errno\" has a wrong value";
  if (!r.problem().empty()) what = "faults: " + r.problem().substr(std::string("settings: ").size());
  if (!what.empty()) return false;
  f.slow_by = std::chrono::microseconds(slow_us);
  f.error = -error;
  return true;
}

bool settingsFromJson(std::span<const std::uint8_t> text, SimSettings& s, FaultPlan& faults,
                      std::string& what) {
  const json object = json::parse(text.begin(), text.end(), nullptr, false);
  if (object.is_discarded() || !object.is_object()) {
    what = "settings are not a JSON object";
    return false;
  }
  SettingsReader r(object);
  std::uint64_t latency_us = 0;
  r.unsignedValue("chip_id", s.chip_id);
  r.intValue("device_kind", s.device_kind);
  r.unsignedValue("mode_byte", s.mode_byte);
  r.unsignedValue("reg_3c5", s.reg_3c5);
  r.idValue("flash_id", s.flash_id);
  r.boolValue("flash_id_continuation", s.flash_id_continuation);
  r.unsignedValue("flash_size", s.flash_size);
  r.unsignedValue("busy_polls_after_erase", s.busy_polls_after_erase, kMaxBusyPolls);
  r.unsignedValue("busy_polls_after_program", s.busy_polls_after_program, kMaxBusyPolls);
  r.unsignedValue("busy_polls_after_status_write", s.busy_polls_after_status_write, kMaxBusyPolls);
  r.optionalValue("flash_status", s.flash_status);
  r.unsignedValue("wp_pin", s.wp_pin);
  r.unsignedValue("node_id", s.node_id);
  r.boolValue("node_findable", s.node_findable);
  r.stringValue("name", s.name);
  r.unsignedValue("latency_us", latency_us, static_cast<std::uint64_t>(kMaxLatency.count()));
  if (!r.problem().empty()) {
    what = r.problem();
    return false;
  }
  if (s.wp_pin > 7 && s.wp_pin != kNoWriteProtectPin) {
    what = "settings: \"wp_pin\" has a wrong value";
    return false;
  }
  s.latency = std::chrono::microseconds(latency_us);
  const auto faults_entry = object.find("faults");
  if (faults_entry == object.end()) {
    what = "settings lack \"faults\"";
    return false;
  }
  return faultsFromJson(*faults_entry, faults, what);
}

// Walks the file front to back; every read is bounds-checked.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t position() const { return pos_; }
  std::size_t left() const { return bytes_.size() - pos_; }

  bool take(std::size_t n, std::span<const std::uint8_t>& out, const char* part, std::string& what) {
    if (n > left()) {
      what = std::string("truncated in ") + part + " (needs " + std::to_string(n) + " bytes, " +
             std::to_string(left()) + " left)";
      return false;
    }
    out = bytes_.subspan(pos_, n);
    pos_ += n;
    return true;
  }
  bool u32(std::uint32_t& value, const char* part, std::string& what) {
    std::span<const std::uint8_t> raw;
    if (!take(4, raw, part, what)) return false;
    value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | raw[static_cast<std::size_t>(i)];
    return true;
  }
  bool section(std::span<const std::uint8_t>& out, const char* part, std::string& what) {
    std::uint32_t length = 0;
    return u32(length, part, what) && take(length, out, part, what);
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

bool sizeIs(std::span<const std::uint8_t> section, std::size_t expected, const char* part,
            std::string& what) {
  if (section.size() == expected) return true;
  what = std::string("wrong size: ") + part + " holds " + std::to_string(section.size()) +
         " bytes, expected " + std::to_string(expected);
  return false;
}

std::string hex32(std::uint32_t value) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (const auto b : bytes) c = kCrcTable[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::vector<std::uint8_t> encodeState(const SavedState& state) {
  std::vector<std::uint8_t> out(kMagic.begin(), kMagic.end());
  putU32(out, kStateFormatVersion);
  // Text settings may hold any byte (a camera's name): escape what is not UTF-8.
  const std::string settings =
      settingsToJson(state.settings, state.faults).dump(-1, ' ', true, json::error_handler_t::replace);
  putSection(out, {reinterpret_cast<const std::uint8_t*>(settings.data()), settings.size()});
  putSection(out, state.registers);
  putSection(out, state.memory9);
  putSection(out, state.flash);
  out.push_back(state.flash_status);
  putU32(out, crc32(out));
  return out;
}

bool decodeState(std::span<const std::uint8_t> bytes, SavedState& state, std::string& what) {
  const std::size_t magic_seen = std::min(bytes.size(), kMagic.size());
  if (!std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(magic_seen),
                  kMagic.begin())) {
    what = "not a simulated-camera state file (bad magic)";
    return false;
  }
  Reader in(bytes);
  std::span<const std::uint8_t> magic, settings, registers, memory9, flash, status;
  std::uint32_t version = 0, stored_crc = 0;
  if (!in.take(kMagic.size(), magic, "the header", what)) return false;
  if (!in.u32(version, "the header", what)) return false;
  if (version != kStateFormatVersion) {
    what = "format version " + std::to_string(version) + ", expected " +
           std::to_string(kStateFormatVersion) + " (create the camera again with 'emberline sim init --force')";
    return false;
  }
  if (!in.section(settings, "the settings", what) || !in.section(registers, "the registers", what) ||
      !in.section(memory9, "memory space 9", what) ||
      !in.section(flash, "the flash", what) || !in.take(1, status, "the flash status", what)) {
    return false;
  }
  const std::size_t checked = in.position();
  if (!in.u32(stored_crc, "the checksum", what)) return false;
  if (in.left() != 0) {
    what = std::to_string(in.left()) + " unexpected bytes after the checksum";
    return false;
  }
  const std::uint32_t computed = crc32(bytes.first(checked));
  if (computed != stored_crc) {
    what = "checksum mismatch (stored " + hex32(stored_crc) + ", computed " + hex32(computed) + ")";
    return false;
  }

  SavedState result;
  if (!settingsFromJson(settings, result.settings, result.faults, what)) return false;
  if (result.settings.flash_size == 0 || result.settings.flash_size > kMaxFlashSize) {
    what = "wrong size: flash size " + std::to_string(result.settings.flash_size) + " out of range";
    return false;
  }
  if (!sizeIs(registers, SimDsp::kRegisterCount, "the registers", what) ||
      !sizeIs(memory9, SimDsp::kMemory9Size, "memory space 9", what) ||
      !sizeIs(flash, result.settings.flash_size, "the flash", what)) {
    return false;
  }
  result.registers.assign(registers.begin(), registers.end());
  result.memory9.assign(memory9.begin(), memory9.end());
  result.flash.assign(flash.begin(), flash.end());
  result.flash_status = status[0];
  state = std::move(result);
  return true;
}

}  // namespace emberline::sim
