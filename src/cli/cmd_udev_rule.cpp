// emberline udev-rule: the rule that lets a desktop user open the camera.

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/report.h"
#include "platform/linux/linux_device_list.h"

namespace emberline::cli {

namespace {

class UdevRuleCommand final : public Command {
 public:
  std::string name() const override { return "udev-rule"; }
  std::string summary() const override {
    return "Print the udev rule that gives the logged-in user access to the cameras.";
  }
  DeviceNeed need() const override { return DeviceNeed::None; }
  void declare(CLI::App& command) override {
    command.footer("For example: emberline udev-rule | sudo tee /etc/udev/rules.d/70-emberline.rules");
  }

  Outcome run(RunContext& ctx) override {
    const auto rule = platform::linux_uvc::udevRuleText();
    ctx.report.details()["rule"] = std::string(rule);
    // Without --json the rule alone goes to stdout, ready for a rules file.
    if (!ctx.report.json()) {
      std::string_view text = rule;
      while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
      ctx.report.say(text);
    }
    return Outcome::Success;
  }
};

}  // namespace

std::unique_ptr<Command> makeUdevRuleCommand() { return std::make_unique<UdevRuleCommand>(); }

}  // namespace emberline::cli
