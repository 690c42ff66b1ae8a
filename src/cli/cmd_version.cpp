// emberline version: the four-line firmware version text of the camera, as
// the dialog's "F/W Version" shows it.

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/recording_ui.h"
#include "cli/report.h"
#include "cli/text_format.h"
#include "core/workflows/camera_session.h"

namespace emberline::cli {

namespace {

class VersionCommand final : public Command {
 public:
  std::string name() const override { return "version"; }
  std::string summary() const override {
    return "Print the camera's firmware version text (ROM tag and three version fields, one a line).";
  }
  DeviceNeed need() const override { return DeviceNeed::Camera; }
  void declare(CLI::App& command) override {
    command.footer("This is the camera's firmware; 'emberline --version' prints this program's version.");
  }

  Outcome run(RunContext& ctx) override {
    const auto before = ctx.ui->messages().size();
    const auto text = ctx.session->FirmwareVersionText();
    if (!text) {
      // The session has shown why ("Camera Init Failed!", ...); report that.
      const auto& shown = ctx.ui->messages();
      if (shown.size() > before)
        ctx.report.fail(shown[before]);
      else
        ctx.report.fail("the firmware version cannot be read");
      return Outcome::OperationFailed;
    }
    const auto lines = splitLines(*text);
    ctx.report.details()["chip_id"] = ctx.session->chipId();
    ctx.report.details()["version_text"] = lines;
    for (const auto& line : lines) ctx.report.say(visibleText(line));
    return Outcome::Success;
  }
};

}  // namespace

std::unique_ptr<Command> makeVersionCommand() { return std::make_unique<VersionCommand>(); }

}  // namespace emberline::cli
