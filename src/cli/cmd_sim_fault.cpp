#include "cli/cmd_sim_fault.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>

#include "cli/number_parsing.h"
#include "cli/text_format.h"

namespace emberline::cli {

namespace {

constexpr std::uint64_t kMaxRequestNumber = 1'000'000'000;
constexpr std::uint64_t kMaxFlashOffset = 0xFFFFFF;

bool number(const char* option, const std::string& text, std::uint64_t min, std::uint64_t max,
            std::uint64_t& out, std::string& error) {
  const auto value = parseNumber(text);
  if (!value || *value < min || *value > max) {
    error = std::string(option) + " takes a number from " + std::to_string(min) + " to " +
            std::to_string(max) + ", not '" + text + "'";
    return false;
  }
  out = *value;
  return true;
}

// "3" (both directions), "3:set" or "3:get".
bool refuseSelector(const std::string& text, sim::FaultPlan& plan, std::string& error) {
  const auto colon = text.find(':');
  const std::string direction = colon == std::string::npos ? "" : text.substr(colon + 1);
  std::uint64_t selector = 0;
  if (!number("--refuse", text.substr(0, colon), 1, 255, selector, error)) return false;
  const auto id = static_cast<std::uint32_t>(selector);
  if (direction.empty()) {
    plan.fail_selectors.insert(id);
  } else if (direction == "set") {
    plan.fail_selector_sets.insert(id);
  } else if (direction == "get") {
    plan.fail_selector_gets.insert(id);
  } else {
    error = "--refuse takes SELECTOR, SELECTOR:set or SELECTOR:get, not '" + text + "'";
    return false;
  }
  return true;
}

std::string list(const auto& numbers, bool hex) {
  std::string out;
  for (const auto n : numbers) {
    if (!out.empty()) out += ", ";
    out += hex ? hexOffset(static_cast<std::uint32_t>(n)) : std::to_string(n);
  }
  return out;
}

}  // namespace

void declareSimFault(CLI::App& fault, SimFaultOptions& o) {
  fault.add_option("PATH", o.path, "The state file")->required();
  fault.add_flag("--clear", o.clear, "Remove every fault (before adding the ones given)");
  fault.add_option("--unplug-after", o.unplug_after,
                   "The camera leaves the bus after N requests: every later one fails (ENODEV)")
      ->option_text("N");
  fault.add_option("--refuse-request", o.refuse_request, "Request N fails (EIO)")->option_text("N");
  fault.add_option("--refuse", o.refuse_selectors,
                   "Every request of this selector fails; SEL:set or SEL:get only that direction")
      ->option_text("SEL[:set|:get]");
  fault.add_option("--refuse-register", o.refuse_registers,
                   "Every register request (selector 1) addressing this register fails")
      ->option_text("ADDR");
  fault.add_option("--fail-read-at", o.fail_read_at,
                   "A block read covering this flash offset fails")
      ->option_text("OFFSET");
  fault.add_option("--wrong-byte-at", o.wrong_byte_at,
                   "A block read covering this flash offset gives that byte inverted")
      ->option_text("OFFSET");
  fault.add_flag("--stuck-busy", o.stuck_busy, "The flash never leaves busy");
  fault.add_flag("--transfer-never-done", o.transfer_never_done,
                 "The SPI port's done flag (0x1084) never reads 1");
  fault.add_option("--slow-request", o.slow_request, "Request N takes --slow-us longer")
      ->option_text("N");
  fault.add_option("--slow-us", o.slow_us, "How much longer, in microseconds (0 to 1,000,000)")
      ->option_text("US");
  fault.footer(
      "Requests are numbered from 1 at the start of every command on the camera. Faults stay in "
      "the state file until --clear; without options the command shows them.");
}

bool applySimFault(const SimFaultOptions& o, sim::FaultPlan& plan, std::string& error) {
  sim::FaultPlan result = o.clear ? sim::FaultPlan{} : plan;
  std::uint64_t value = 0;
  if (!o.unplug_after.empty()) {
    if (!number("--unplug-after", o.unplug_after, 0, kMaxRequestNumber, value, error)) return false;
    result.vanish_after = value;
  }
  if (!o.refuse_request.empty()) {
    if (!number("--refuse-request", o.refuse_request, 1, kMaxRequestNumber, value, error)) return false;
    result.fail_request = value;
  }
  for (const auto& text : o.refuse_selectors) {
    if (!refuseSelector(text, result, error)) return false;
  }
  for (const auto& text : o.refuse_registers) {
    if (!number("--refuse-register", text, 0, 0xFFFF, value, error)) return false;
    result.fail_registers.insert(static_cast<std::uint16_t>(value));
  }
  if (!o.fail_read_at.empty()) {
    if (!number("--fail-read-at", o.fail_read_at, 0, kMaxFlashOffset, value, error)) return false;
    result.fail_read_at = static_cast<std::uint32_t>(value);
  }
  if (!o.wrong_byte_at.empty()) {
    if (!number("--wrong-byte-at", o.wrong_byte_at, 0, kMaxFlashOffset, value, error)) return false;
    result.wrong_byte_at = static_cast<std::uint32_t>(value);
  }
  if (o.stuck_busy) result.flash_never_ready = true;
  if (o.transfer_never_done) result.transfer_never_done = true;
  if (o.slow_request.empty() != o.slow_us.empty()) {
    error = "--slow-request and --slow-us go together";
    return false;
  }
  if (!o.slow_request.empty()) {
    if (!number("--slow-request", o.slow_request, 1, kMaxRequestNumber, value, error)) return false;
    result.slow_request = value;
    if (!number("--slow-us", o.slow_us, 0, static_cast<std::uint64_t>(sim::kMaxLatency.count()), value,
                error))
      return false;
    result.slow_by = std::chrono::microseconds(value);
  }
  plan = result;
  return true;
}

std::vector<std::string> describeFaults(const sim::FaultPlan& f) {
  std::vector<std::string> lines;
  if (f.vanish_after) lines.push_back("unplugged after request " + std::to_string(*f.vanish_after));
  if (f.fail_request) lines.push_back("request " + std::to_string(*f.fail_request) + " fails");
  if (!f.fail_selectors.empty()) lines.push_back("every request of selector " + list(f.fail_selectors, false) + " fails");
  if (!f.fail_selector_sets.empty()) lines.push_back("every SET of selector " + list(f.fail_selector_sets, false) + " fails");
  if (!f.fail_selector_gets.empty()) lines.push_back("every GET of selector " + list(f.fail_selector_gets, false) + " fails");
  if (!f.fail_registers.empty()) lines.push_back("requests for register " + list(f.fail_registers, true) + " fail");
  if (f.fail_read_at) lines.push_back("a read of flash offset " + hexOffset(*f.fail_read_at) + " fails");
  if (f.wrong_byte_at) lines.push_back("a read of flash offset " + hexOffset(*f.wrong_byte_at) + " gives a wrong byte");
  if (f.flash_never_ready) lines.push_back("the flash stays busy");
  if (f.transfer_never_done) lines.push_back("SPI transfers never read done");
  if (f.slow_request) lines.push_back("request " + std::to_string(*f.slow_request) + " takes " + std::to_string(f.slow_by.count()) + " us longer");
  if (f.driver_set_a || f.driver_set_b) lines.push_back("the driver property sets answer the chip id");
  if (lines.empty()) lines.push_back("none");
  return lines;
}

nlohmann::ordered_json faultsJson(const sim::FaultPlan& f) {
  const auto optional = [](const auto& v) { return v ? nlohmann::ordered_json(*v) : nlohmann::ordered_json(nullptr); };
  return {{"unplug_after", optional(f.vanish_after)},
          {"refuse_request", optional(f.fail_request)},
          {"refuse_selectors", f.fail_selectors},
          {"refuse_selector_sets", f.fail_selector_sets},
          {"refuse_selector_gets", f.fail_selector_gets},
          {"refuse_registers", f.fail_registers},
          {"fail_read_at", optional(f.fail_read_at)},
          {"wrong_byte_at", optional(f.wrong_byte_at)},
          {"stuck_busy", f.flash_never_ready},
          {"transfer_never_done", f.transfer_never_done},
          {"slow_request", optional(f.slow_request)},
          {"slow_us", f.slow_by.count()}};
}

}  // namespace emberline::cli
