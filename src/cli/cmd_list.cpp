// emberline list: every video-capture device, and which of them are cameras
// of the family.

#include <cstdio>

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/report.h"
#include "cli/text_format.h"
#include "frontend/camera_probe.h"
#include "frontend/device_selection.h"

namespace emberline::cli {

namespace {

std::string chipText(const std::optional<std::uint8_t>& chip) {
  if (!chip) return "-";
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(*chip));
  return text;
}

class ListCommand final : public Command {
 public:
  std::string name() const override { return "list"; }
  std::string summary() const override {
    return "List the video-capture devices: index, device path, whether the vendor extension "
           "unit answers, chip id, name.";
  }
  DeviceNeed need() const override { return DeviceNeed::List; }
  void declare(CLI::App& command) override {
    command.footer("Exit status 3 when no device answers the vendor extension unit.");
  }

  Outcome run(RunContext& ctx) override {
    Report& report = ctx.report;
    const auto probe = frontend::probeDevices(*ctx.devices);

    auto& devices = report.details()["devices"] = nlohmann::ordered_json::array();
    for (const auto& d : probe.devices) {
      nlohmann::ordered_json j;
      j["index"] = d.index;
      j["id"] = d.entry.id;
      j["path"] = d.entry.path ? nlohmann::ordered_json(*d.entry.path) : nlohmann::ordered_json();
      j["name"] = d.entry.display_name ? nlohmann::ordered_json(*d.entry.display_name) : nlohmann::ordered_json();
      j["vendor_unit"] = d.answers;
      j["chip_id"] = d.chip_id ? nlohmann::ordered_json(*d.chip_id) : nlohmann::ordered_json();
      j["node"] = d.node_id ? nlohmann::ordered_json(*d.node_id) : nlohmann::ordered_json();
      if (d.open_error != 0) j["error"] = ctx.context->describeOpenError(d.open_error, d.entry.id);
      if (!d.unit_problem.empty()) j["unit_problem"] = d.unit_problem;
      devices.push_back(std::move(j));
    }

    if (probe.enumerate_error != 0 || probe.devices.empty()) {
      report.fail("no video-capture device found (searched " + ctx.context->searched() + ")");
      return Outcome::NoCamera;
    }

    char line[512];
    std::snprintf(line, sizeof line, "%-5s %-24s %-7s %-5s %s", "INDEX", "DEVICE", "ANSWERS", "CHIP", "NAME");
    report.say(line);
    for (const auto& d : probe.devices) {
      std::snprintf(line, sizeof line, "%-5zu %-24s %-7s %-5s %s", d.index,
                    visibleText(d.entry.path.value_or(d.entry.id)).c_str(), d.answers ? "yes" : "no",
                    chipText(d.chip_id).c_str(),
                    visibleText(d.entry.display_name.value_or("(no name)")).c_str());
      report.say(line);
      if (d.open_error != 0) report.say("      " + ctx.context->describeOpenError(d.open_error, d.entry.id));
      if (!d.unit_problem.empty()) report.say("      " + d.unit_problem);
    }

    if (probe.answering() == 0) {
      report.fail("no camera found: no listed device answers the vendor extension unit");
      return Outcome::NoCamera;
    }
    return Outcome::Success;
  }
};

}  // namespace

std::unique_ptr<Command> makeListCommand() { return std::make_unique<ListCommand>(); }

}  // namespace emberline::cli
